#include "Common/vst/AudioEffectX.h"

#include "Common/vst/AEffEditor.h"
#include "Common/vst/narrow.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
VstIntPtr answer(bool result)
{
    return result ? 1 : 0;
}

// The key code the host packs into a key opcode: character in index, virtual key in the low byte of
// value, modifiers in the low byte of opt.
VstKeyCode keyCodeOf(VstInt32 index, VstIntPtr value, float opt)
{
    VstKeyCode key;
    key.character = index;
    key.virt = static_cast<unsigned char>(value & 0xFF);
    key.modifier = static_cast<unsigned char>(truncateToInt32(opt) & 0xFF);
    return key;
}

// Bytes for an arrangement of numChannels speakers, or 0 when that does not fit in memory. Never less
// than the published record, so code reading it as declared stays inside the allocation.
std::size_t arrangementBytes(VstInt32 numChannels)
{
    constexpr std::size_t header = offsetof(VstSpeakerArrangement, speakers);
    constexpr std::size_t speaker = sizeof(VstSpeakerProperties);
    const std::size_t count = static_cast<std::size_t>(numChannels);
    if (count > (SIZE_MAX - header) / speaker) return 0;
    const std::size_t bytes = header + count * speaker;
    return bytes < sizeof(VstSpeakerArrangement) ? sizeof(VstSpeakerArrangement) : bytes;
}
} // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams)
{}

AudioEffectX::~AudioEffectX() = default;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return answer(canParameterBeAutomated(index));
    case effString2Parameter:
        return answer(string2parameter(index, static_cast<char*>(ptr)));
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return answer(getProgramNameIndexed(narrowToInt32(value), index, static_cast<char*>(ptr)));
    case effCopyProgram:
        return answer(copyProgram(index));
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return answer(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetOutputProperties:
        return answer(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
        return answer(offlineNotify(static_cast<VstAudioFile*>(ptr), narrowToInt32(value), index != 0));
    case effOfflinePrepare:
        return answer(offlinePrepare(static_cast<VstOfflineTask*>(ptr), narrowToInt32(value)));
    case effOfflineRun:
        return answer(offlineRun(static_cast<VstOfflineTask*>(ptr), narrowToInt32(value)));
    case effProcessVarIo:
        return answer(processVariableIo(static_cast<VstVariableIo*>(ptr)));
    case effSetSpeakerArrangement:
        // The input arrangement's address travels in value.
        return answer(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                            static_cast<VstSpeakerArrangement*>(ptr)));
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(narrowToInt32(value), opt);
        return 1;
    case effSetBypass:
        return answer(setBypass(value != 0));
    case effGetEffectName:
        return answer(getEffectName(static_cast<char*>(ptr)));
    case effGetErrorText:
        return answer(getErrorText(static_cast<char*>(ptr)));
    case effGetVendorString:
        return answer(getVendorString(static_cast<char*>(ptr)));
    case effGetProductString:
        return answer(getProductString(static_cast<char*>(ptr)));
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(static_cast<char*>(ptr));
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return answer(setViewPosition(index, narrowToInt32(value)));
    case effGetParameterProperties:
        return answer(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
    case effKeysRequired:
        // The published question is inverted: 1 means the effect does not need the keys.
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        if (editor != nullptr) {
            VstKeyCode key = keyCodeOf(index, value, opt);
            return answer(editor->onKeyDown(key));
        }
        return 0;
    case effEditKeyUp:
        if (editor != nullptr) {
            VstKeyCode key = keyCodeOf(index, value, opt);
            return answer(editor->onKeyUp(key));
        }
        return 0;
    case effSetEditKnobMode:
        return editor != nullptr ? answer(editor->setKnobMode(narrowToInt32(value))) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return answer(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
        return answer(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
    case effBeginSetProgram:
        return answer(beginSetProgram());
    case effEndSetProgram:
        return answer(endSetProgram());
    case effGetSpeakerArrangement:
        // The address for the input arrangement travels in value.
        return answer(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                            static_cast<VstSpeakerArrangement**>(ptr)));
    case effShellGetNextPlugin:
        return getNextShellPlugin(static_cast<char*>(ptr));
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(narrowToInt32(value));
    case effSetPanLaw:
        return answer(setPanLaw(narrowToInt32(value), opt));
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::wantEvents(VstInt32 filter)
{
    if (audioMaster != nullptr) callHost(audioMasterWantMidi, 0, filter);
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter)
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstIntPtr AudioEffectX::tempoAt(VstInt32 pos)
{
    return audioMaster != nullptr ? callHost(audioMasterTempoAt, 0, pos) : 0;
}

VstIntPtr AudioEffectX::getNumAutomatableParameters()
{
    return audioMaster != nullptr ? callHost(audioMasterGetNumAutomatableParameters) : 0;
}

VstIntPtr AudioEffectX::getParameterQuantization()
{
    return audioMaster != nullptr ? callHost(audioMasterGetParameterQuantization) : 0;
}

bool AudioEffectX::ioChanged()
{
    return audioMaster != nullptr && callHost(audioMasterIOChanged) != 0;
}

bool AudioEffectX::needIdle()
{
    return audioMaster != nullptr && callHost(audioMasterNeedIdle) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height)
{
    return audioMaster != nullptr && callHost(audioMasterSizeWindow, width, height) != 0;
}

float AudioEffectX::updateSampleRate()
{
    if (audioMaster != nullptr) {
        const VstIntPtr rate = callHost(audioMasterGetSampleRate);
        if (rate > 0) sampleRate = static_cast<float>(rate);
    }
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize()
{
    if (audioMaster != nullptr) {
        const VstIntPtr size = callHost(audioMasterGetBlockSize);
        if (size > 0) blockSize = narrowToInt32(size);
    }
    return blockSize;
}

VstIntPtr AudioEffectX::getInputLatency()
{
    return audioMaster != nullptr ? callHost(audioMasterGetInputLatency) : 0;
}

VstIntPtr AudioEffectX::getOutputLatency()
{
    return audioMaster != nullptr ? callHost(audioMasterGetOutputLatency) : 0;
}

// The published call has no pin argument.
AEffect* AudioEffectX::getPreviousPlug(VstInt32 /*input*/)
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(VstInt32 /*output*/)
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

VstInt32 AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}

VstIntPtr AudioEffectX::willProcessReplacing()
{
    return audioMaster != nullptr ? callHost(audioMasterWillReplaceOrAccumulate) : 0;
}

VstIntPtr AudioEffectX::getCurrentProcessLevel()
{
    return audioMaster != nullptr ? callHost(audioMasterGetCurrentProcessLevel) : 0;
}

VstIntPtr AudioEffectX::getAutomationState()
{
    return audioMaster != nullptr ? callHost(audioMasterGetAutomationState) : 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource)
{
    return audioMaster != nullptr &&
           callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option)
{
    return audioMaster != nullptr && callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles)
{
    return audioMaster != nullptr &&
           callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

bool AudioEffectX::offlineGetCurrentPass()
{
    return audioMaster != nullptr && callHost(audioMasterOfflineGetCurrentPass) != 0;
}

bool AudioEffectX::offlineGetCurrentMetaPass()
{
    return audioMaster != nullptr && callHost(audioMasterOfflineGetCurrentMetaPass) != 0;
}

void AudioEffectX::setOutputSamplerate(float samplerate)
{
    if (audioMaster != nullptr) callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement()
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement()
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement));
}

bool AudioEffectX::getHostVendorString(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

VstIntPtr AudioEffectX::getHostVendorVersion()
{
    return audioMaster != nullptr ? callHost(audioMasterGetVendorVersion) : 0;
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg)
{
    return audioMaster != nullptr ? callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg) : 0;
}

bool AudioEffectX::canHostDo(char* text)
{
    return audioMaster != nullptr && callHost(audioMasterCanDo, 0, 0, text) != 0;
}

VstIntPtr AudioEffectX::getHostLanguage()
{
    return audioMaster != nullptr ? callHost(audioMasterGetLanguage) : 0;
}

void* AudioEffectX::openWindow(VstWindow* window)
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window)
{
    return audioMaster != nullptr && callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void* AudioEffectX::getDirectory()
{
    if (audioMaster == nullptr) return nullptr;
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay()
{
    return audioMaster != nullptr && callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                         VstSpeakerArrangement** pluginOutput)
{
    if (pluginInput != nullptr) *pluginInput = nullptr;
    if (pluginOutput != nullptr) *pluginOutput = nullptr;
    return false;
}

bool AudioEffectX::beginEdit(VstInt32 index)
{
    return audioMaster != nullptr && callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index)
{
    return audioMaster != nullptr && callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select)
{
    return audioMaster != nullptr && select != nullptr &&
           callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels)
{
    if (arrangement == nullptr) return false;
    deallocateArrangement(arrangement);
    if (nbChannels < 0) return false;
    const std::size_t bytes = arrangementBytes(nbChannels);
    if (bytes == 0) return false;
    // calloc: the arrangement starts zero-filled, and failure is an answer rather than an exception.
    auto* allocated = static_cast<VstSpeakerArrangement*>(std::calloc(1, bytes));
    if (allocated == nullptr) return false;
    allocated->numChannels = nbChannels;
    *arrangement = allocated;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
    if (arrangement == nullptr) return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (to == nullptr || from == nullptr) return false;
    if (to == from) return true;
    // Bounded: a name without its terminator must not run past the record.
    size_t nameLength = 0;
    while (nameLength < sizeof(to->name) - 1 && from->name[nameLength] != '\0')
        ++nameLength;
    std::memcpy(to->name, from->name, nameLength);
    std::memset(to->name + nameLength, 0, sizeof(to->name) - nameLength);
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    to->type = from->type;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
    if (to == nullptr || from == nullptr) return false;
    // Re-allocating *to would free from itself before it is read.
    if (*to == from) return true;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    // Through plain pointers: the record declares 8 speakers but holds numChannels of them.
    VstSpeakerProperties* toSpeakers = (*to)->speakers;
    VstSpeakerProperties* fromSpeakers = from->speakers;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
        copySpeaker(toSpeakers + i, fromSpeakers + i);
    return true;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
    return audioMaster != nullptr && callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select)
{
    return audioMaster != nullptr && select != nullptr &&
           callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath)
{
    return audioMaster != nullptr && nativePath != nullptr &&
           callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
