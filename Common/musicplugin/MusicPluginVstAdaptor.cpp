#include "Common/musicplugin/MusicPluginVstAdaptor.h"

#include "Common/Assert.h"
#include "Common/dsp/misc.h"
#include "Common/musicplugin/Chunk.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/vst/AEffEditor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace
{
// Copies at most maxChars characters of text into dest, pads with zero bytes up to maxChars and writes the
// terminator at dest[maxChars]: the host's buffers are fixed-size records.
void copyPadded(const std::string& text, char* dest, size_t maxChars)
{
    size_t n = std::min(text.size(), maxChars);
    std::memcpy(dest, text.data(), n);
    std::memset(dest + n, 0, maxChars + 1 - n);
}

// Longest program name read from a host buffer: hosts write short, terminated names, but a missing
// terminator must not make us read on through the host's memory.
constexpr size_t maxHostNameChars = 256;
} // namespace

MusicPluginVstAdaptor::MusicPluginVstAdaptor(audioMasterCallback audioMaster, MusicPlugin* fx)
    : AudioEffectX(audioMaster, 0, 0), effect(fx),
      meters(fx != nullptr ? *fx : throw std::invalid_argument("MusicPluginVstAdaptor needs a plug-in")),
      scratchOutputs(nullptr), scratchFrames(0), pendingEvents(nullptr), blockInputs(nullptr),
      blockOutputs(nullptr)
{
    numParams = cEffect.numParams = effect->paramList.numParams();
    numPrograms = cEffect.numPrograms = static_cast<VstInt32>(effect->presetBank.presetList.size());
    cEffect.numInputs = effect->numAudioInputs;
    cEffect.numOutputs = effect->numAudioOutputs;
    try {
        scratchOutputs = newArray<float*>(effect->numAudioOutputs, nullptr);
        blockInputs = newArray<const float*>(effect->numAudioInputs, nullptr);
        blockOutputs = newArray<float*>(effect->numAudioOutputs, nullptr);
        // Accumulating hosts may process before announcing a block size: have buffers for the default one.
        allocateScratchOutputs(blockSize);
    } catch (...) {
        // The caller keeps the plug-in when construction fails.
        for (int i = 0; scratchOutputs != nullptr && i < effect->numAudioOutputs; ++i)
            delete[] scratchOutputs[i];
        delete[] scratchOutputs;
        delete[] blockInputs;
        delete[] blockOutputs;
        throw;
    }
    cEffect.uniqueID = effect->uniqueId;
    // Until an editor opens nobody reads the editor's meters.
    effect->editorMetersWanted = false;
    canMono(true);
    canProcessReplacing(true);
    if (effect->numAudioInputs == 0) isSynth(true);
    programsAreChunks(true);
}

MusicPluginVstAdaptor::~MusicPluginVstAdaptor()
{
    mutex.lock();
    for (int i = 0; i < effect->numAudioOutputs; ++i)
        zapArray<float>(scratchOutputs[i], nullptr);
    delete[] scratchOutputs;
    delete[] blockInputs;
    delete[] blockOutputs;
    delete editor;
    editor = nullptr;
    delete effect;
    mutex.unlock();
}

void MusicPluginVstAdaptor::allocateScratchOutputs(VstInt32 frames)
{
    VstInt32 newFrames = std::min(frames, maxScratchFrames);
    if (newFrames == scratchFrames) return;
    // Allocate everything first so that a failed allocation leaves the old buffers in place.
    int channels = effect->numAudioOutputs;
    float** fresh = newArray<float*>(channels, nullptr);
    try {
        for (int i = 0; i < channels; ++i)
            fresh[i] = new float[newFrames];
    } catch (...) {
        for (int i = 0; i < channels; ++i)
            delete[] fresh[i];
        delete[] fresh;
        throw;
    }
    for (int i = 0; i < channels; ++i) {
        zapArray(scratchOutputs[i], fresh[i]);
    }
    delete[] fresh;
    scratchFrames = newFrames;
}

bool MusicPluginVstAdaptor::curProgramValid() const
{
    return curProgram >= 0 && curProgram < static_cast<int>(effect->presetBank.presetList.size());
}

// --- lifecycle and audio ---

void MusicPluginVstAdaptor::suspend()
{
    MutexLock lock(mutex);
    effect->clear();
    pendingEvents = nullptr;
}

void MusicPluginVstAdaptor::resume()
{
    if (effect->receivesMidi) wantEvents(1);
    // The audio thread reads pendingEvents under the lock; so must we write it.
    MutexLock lock(mutex);
    pendingEvents = nullptr;
}

bool MusicPluginVstAdaptor::needIdle()
{
    return true;
}

VstInt32 MusicPluginVstAdaptor::canDo(char* text)
{
    if (text == nullptr) return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
    if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0)
        return effect->receivesMidi ? 1 : 0;
    return 0;
}

void MusicPluginVstAdaptor::setSampleRate(float sampleRate)
{
    ZR_ASSERT(sampleRate>0);
    // A non-positive or non-finite rate would poison every coefficient: keep the current one.
    if (!(sampleRate > 0.0f) || !std::isfinite(sampleRate)) return;
    MutexLock lock(mutex);
    this->sampleRate = sampleRate;
    effect->sampleRate.setValue(static_cast<double>(sampleRate));
}

void MusicPluginVstAdaptor::setBlockSize(VstInt32 blockSize)
{
    ZR_ASSERT(blockSize>0);
    if (blockSize <= 0) return;
    MutexLock lock(mutex);
    allocateScratchOutputs(blockSize);
    this->blockSize = blockSize;
}

void MusicPluginVstAdaptor::setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate)
{
    ZR_ASSERT(blockSize>0);
    ZR_ASSERT(sampleRate>0);
    setBlockSize(blockSize);
    setSampleRate(sampleRate);
}

VstInt32 MusicPluginVstAdaptor::processEvents(VstEvents* events)
{
    ZR_ASSERT(events);
    if (events == nullptr) return 0;
    MutexLock lock(mutex);
    pendingEvents = events;
    return 1;
}

void MusicPluginVstAdaptor::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    process(inputs, outputs, sampleFrames, false);
}

void MusicPluginVstAdaptor::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    process(inputs, outputs, sampleFrames, true);
}

void MusicPluginVstAdaptor::process(float** inputs, float** outputs, VstInt32 sampleFrames, bool replacing)
{
    ZR_ASSERT(inputs || effect->numAudioInputs == 0);
    ZR_ASSERT(outputs || effect->numAudioOutputs == 0);
    ZR_ASSERT(sampleFrames>0);
    MutexLock lock(mutex);
    if (!blockIsUsable(inputs, outputs, sampleFrames)) {
        // A refused block still consumes the events handed over for it: the host may free them now.
        pendingEvents = nullptr;
        return;
    }

    const VstTimeInfo* timeInfo = getTimeInfo(kVstTempoValid);
    if (timeInfo != nullptr && (timeInfo->flags & kVstTempoValid) != 0 && std::isfinite(timeInfo->tempo))
        effect->tempo.setValue(timeInfo->tempo);

    VstEvents* events = pendingEvents;
    pendingEvents = nullptr;
    VstEvent* const* events_iterator = nullptr;
    VstEvent* const* events_end = nullptr;
    if (events != nullptr && events->numEvents > 0) {
        // The record declares two entries but holds numEvents: index through a plain pointer.
        VstEvent* const* first = events->events;
        events_iterator = first;
        events_end = first + events->numEvents;
    }

    VstInt32 current_pos = 0;
    for (; events_iterator != events_end; ++events_iterator) {
        const VstEvent* event = *events_iterator;
        ZR_ASSERT(event);
        if (event == nullptr || event->type != kVstMidiType || !effect->receivesMidi) continue;
        VstInt32 eventPos = std::min(event->deltaFrames, sampleFrames);
        if (eventPos > current_pos) {
            process_block(inputs, outputs, current_pos, eventPos - current_pos, replacing);
            current_pos = eventPos;
        }
        const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
        effect->processMidi(reinterpret_cast<const unsigned char*>(midi->midiData));
    }
    if (current_pos < sampleFrames) {
        process_block(inputs, outputs, current_pos, sampleFrames - current_pos, replacing);
        current_pos = sampleFrames;
    }
    ZR_ASSERT(events_iterator == events_end);
    ZR_ASSERT(current_pos == sampleFrames);
    meters.publish(*effect, sampleFrames);
}

bool MusicPluginVstAdaptor::blockIsUsable(float** inputs, float** outputs, VstInt32 sampleFrames) const
{
    if ((inputs == nullptr && effect->numAudioInputs != 0) ||
        (outputs == nullptr && effect->numAudioOutputs != 0) || sampleFrames <= 0)
        return false;
    // A host that hands a null channel gets its block ignored rather than a crash.
    for (int i = 0; i < effect->numAudioInputs; ++i)
        if (inputs[i] == nullptr) return false;
    for (int i = 0; i < effect->numAudioOutputs; ++i)
        if (outputs[i] == nullptr) return false;
    return true;
}

void MusicPluginVstAdaptor::process_block(const float* const* inputs, float* const* outputs, int offset,
                                          VstInt32 length, bool replacing)
{
    for (int i = 0; i < effect->numAudioInputs; ++i)
        blockInputs[i] = inputs[i] + offset;
    for (int i = 0; i < effect->numAudioOutputs; ++i)
        blockOutputs[i] = outputs[i] + offset;
    if (replacing) {
        effect->process(blockInputs, blockOutputs, length);
        return;
    }
    // Accumulating: the plug-in writes into scratch buffers, in blocks no longer than they are.
    for (VstInt32 done = 0; done < length;) {
        VstInt32 count = std::min(length - done, scratchFrames);
        effect->process(blockInputs, scratchOutputs, count);
        for (int i = 0; i < effect->numAudioOutputs; ++i) {
            float* out = blockOutputs[i];
            const float* scratch = scratchOutputs[i];
            for (VstInt32 j = 0; j < count; ++j)
                out[j] = scratch[j] + out[j];
        }
        done += count;
        for (int i = 0; i < effect->numAudioInputs; ++i)
            blockInputs[i] += count;
        for (int i = 0; i < effect->numAudioOutputs; ++i)
            blockOutputs[i] += count;
    }
}

void MusicPluginVstAdaptor::setEditor(AEffEditor* newEditor)
{
    delete editor;
    editor = newEditor;
    if (editor != nullptr)
        cEffect.flags |= effFlagsHasEditor;
    else
        cEffect.flags &= ~effFlagsHasEditor;
}

// --- parameters ---

void MusicPluginVstAdaptor::setParameter(VstInt32 index, float value)
{
    MutexLock lock(mutex);
    effect->paramList.vstSetParameter(index, value);
}

float MusicPluginVstAdaptor::getParameter(VstInt32 index)
{
    MutexLock lock(mutex);
    return effect->paramList.vstGetParameter(index);
}

void MusicPluginVstAdaptor::getParameterName(VstInt32 index, char* text)
{
    MutexLock lock(mutex);
    effect->paramList.vstGetParameterName(index, text);
}

void MusicPluginVstAdaptor::getParameterLabel(VstInt32 index, char* label)
{
    MutexLock lock(mutex);
    effect->paramList.vstGetParameterLabel(index, label);
}

void MusicPluginVstAdaptor::getParameterDisplay(VstInt32 index, char* text)
{
    MutexLock lock(mutex);
    effect->paramList.vstGetParameterDisplay(index, text);
}

// --- names ---

bool MusicPluginVstAdaptor::getEffectName(char* name)
{
    if (name == nullptr) return false;
    copyPadded(effect->effectName, name, 31);
    return true;
}

bool MusicPluginVstAdaptor::getVendorString(char* text)
{
    if (text == nullptr) return false;
    copyPadded(effect->vendorName, text, 63);
    return true;
}

bool MusicPluginVstAdaptor::getProductString(char* text)
{
    MutexLock lock(mutex);
    if (effect->productName.empty()) return getEffectName(text);
    if (text == nullptr) return false;
    copyPadded(effect->productName, text, 63);
    return true;
}

// --- programs ---

VstInt32 MusicPluginVstAdaptor::getProgram()
{
    MutexLock lock(mutex);
    return curProgram;
}

void MusicPluginVstAdaptor::setProgram(VstInt32 program)
{
    MutexLock lock(mutex);
    ZR_ASSERT(program>=0 && program<int(effect->presetBank.presetList.size()));
    if (program < 0 || program >= static_cast<int>(effect->presetBank.presetList.size()) ||
        !curProgramValid())
        return;
    effect->paramList.savePreset(effect->presetBank.getPreset(curProgram));
    curProgram = program;
    effect->paramList.loadPreset(effect->presetBank.getPreset(curProgram));
}

void MusicPluginVstAdaptor::setProgramName(char* name)
{
    ZR_ASSERT(name);
    if (name == nullptr) return;
    MutexLock lock(mutex);
    if (curProgramValid()) {
        char* end = std::find(name, name + maxHostNameChars, '\0');
        effect->presetBank.getPreset(curProgram).name.assign(name, end);
    }
}

void MusicPluginVstAdaptor::getProgramName(char* name)
{
    ZR_ASSERT(name);
    if (name == nullptr) return;
    MutexLock lock(mutex);
    if (curProgramValid())
        copyPadded(effect->presetBank.getPreset(curProgram).name, name, 24);
    else
        name[0] = '\0';
}

bool MusicPluginVstAdaptor::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
    ZR_ASSERT(text);
    if (text == nullptr) return false;
    MutexLock lock(mutex);
    ZR_ASSERT(index>=0 && index<int(effect->presetBank.presetList.size()));
    if (index < 0 || index >= static_cast<int>(effect->presetBank.presetList.size())) {
        text[0] = '\0';
        return false;
    }
    copyPadded(effect->presetBank.getPreset(index).name, text, 24);
    return true;
}

bool MusicPluginVstAdaptor::copyProgram(VstInt32 destination)
{
    MutexLock lock(mutex);
    int size = static_cast<int>(effect->presetBank.presetList.size());
    if (!curProgramValid() || destination < 0 || destination >= size) return false;
    effect->presetBank.copyPreset(curProgram, destination);
    return true;
}

// --- chunks ---

VstInt32 MusicPluginVstAdaptor::getChunk(void** data, bool isPreset)
{
    ZR_ASSERT(data);
    if (data == nullptr) return 0;
    MutexLock lock(mutex);
    if (!curProgramValid()) return 0;
    effect->paramList.savePreset(effect->presetBank.getPreset(curProgram));
    std::string text;
    if (isPreset) {
        text = effect->presetBank.getPreset(curProgram).save();
    } else {
        std::string presets;
        for (const Preset& preset : effect->presetBank.presetList)
            Chunk::push_back(presets, "Preset", preset.save());
        Chunk::push_back(text, "presetList", presets);
    }
    // Built aside first: the previous buffer stays valid if anything above fails.
    chunkText.swap(text);
    *data = const_cast<char*>(chunkText.c_str());
    return static_cast<VstInt32>(chunkText.size() + 1);
}

VstInt32 MusicPluginVstAdaptor::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    ZR_ASSERT(data);
    if (data == nullptr || byteSize <= 0) return 0;
    // Up to the first zero byte or byteSize, whichever comes first: a chunk from a damaged project may lack
    // its terminator.
    const char* bytes = static_cast<const char*>(data);
    std::string text(bytes, static_cast<const char*>(std::memchr(bytes, 0, static_cast<size_t>(byteSize)))
                                ? std::strlen(bytes)
                                : static_cast<size_t>(byteSize));
    MutexLock lock(mutex);
    if (!curProgramValid()) return 0;
    if (isPreset) {
        effect->presetBank.getPreset(curProgram).load(text);
    } else {
        try {
            effect->presetBank.load(text);
        } catch (const std::invalid_argument&) {
            return 0; // no "presetList" chunk: the bank and the parameters stay as they were
        }
    }
    effect->paramList.loadPreset(effect->presetBank.getPreset(curProgram));
    return 1;
}
