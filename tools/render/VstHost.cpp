#include "tools/render/VstHost.h"

#include "Common/Assert.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace zr::host
{
namespace
{
typedef AEffect* (*PluginEntry)(audioMasterCallback);

// The interface version we announce: 2.4, the one every 64-bit plug-in expects.
constexpr VstIntPtr kHostVersion = 2400;
// Sanity limits for the counts a plug-in announces; anything beyond is a broken or foreign record.
constexpr VstInt32 kMaxChannels = 64;
constexpr VstInt32 kMaxCount = 1 << 20;
// Host text buffers are far larger than the 8 (or 24, 64) characters the interface allows, so a
// plug-in that writes too much cannot overrun us.
constexpr std::size_t kTextBufferBytes = 512;
// A chunk larger than this is taken for a broken size field rather than copied.
constexpr VstIntPtr kMaxChunkBytes = VstIntPtr(256) << 20;
} // namespace

VstHost::VstHost(const std::string& pluginPath) : path_(pluginPath)
{
    library_ = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load plug-in " + pluginPath + ": " + (reason ? reason : "unknown reason"));
    }
    auto entry = reinterpret_cast<PluginEntry>(dlsym(library_, "VSTPluginMain"));
    if (entry == nullptr) entry = reinterpret_cast<PluginEntry>(dlsym(library_, "main"));
    if (entry == nullptr) {
        dlclose(library_);
        throw HostError(pluginPath + " is not a VST 2 plug-in: it exports neither VSTPluginMain nor main");
    }
    effect_ = entry(&VstHost::hostCallback);
    if (effect_ == nullptr) {
        dlclose(library_);
        throw HostError(pluginPath + " refused to start: its entry point returned no effect");
    }
    const bool plausible = effect_->magic == kEffectMagic && effect_->dispatcher != nullptr &&
                           effect_->numInputs >= 0 && effect_->numInputs <= kMaxChannels &&
                           effect_->numOutputs >= 0 && effect_->numOutputs <= kMaxChannels &&
                           effect_->numParams >= 0 && effect_->numParams <= kMaxCount &&
                           effect_->numPrograms >= 0 && effect_->numPrograms <= kMaxCount &&
                           (effect_->processReplacing != nullptr || effect_->process != nullptr);
    if (!plausible) {
        // Do not call into a record we cannot trust; leaking it is the lesser harm.
        effect_ = nullptr;
        dlclose(library_);
        throw HostError(pluginPath + " did not return a valid VST 2 effect record");
    }
    // The user field is the host's own: it leads our callback back to this object.
    effect_->user = this;
    pieceInputs_.assign(static_cast<std::size_t>(effect_->numInputs), nullptr);
    pieceOutputs_.assign(static_cast<std::size_t>(effect_->numOutputs), nullptr);
    timeInfo_.sampleRate = sampleRateHz_;
    dispatch(effOpen, 0, 0, nullptr, 0.0f);
}

VstHost::~VstHost()
{
    if (effect_ != nullptr) {
        if (resumed_) dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
        // The effect deletes itself on close; the record must not be touched afterwards.
        dispatch(effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    if (library_ != nullptr) dlclose(library_);
}

VstIntPtr VST_CALLBACK VstHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                             float)
{
    switch (opcode) {
    case audioMasterVersion:
        return kHostVersion;
    case audioMasterGetTime: {
        // Before the effect is ours (inside the entry point) there is no transport to report.
        VstHost* host = effect != nullptr ? static_cast<VstHost*>(effect->user) : nullptr;
        return host != nullptr ? reinterpret_cast<VstIntPtr>(host->currentTime()) : 0;
    }
    default:
        return 0;
    }
}

VstTimeInfo* VstHost::currentTime()
{
    timeInfo_.sampleRate = sampleRateHz_;
    timeInfo_.tempo = tempoBpm_;
    timeInfo_.ppqPos = timeInfo_.samplePos / sampleRateHz_ * tempoBpm_ / 60.0;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    return &timeInfo_;
}

VstIntPtr VstHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstHost::textCall(VstInt32 opcode, VstInt32 index)
{
    char text[kTextBufferBytes] = {};
    dispatch(opcode, index, 0, text, 0.0f);
    text[kTextBufferBytes - 1] = '\0';
    return text;
}

std::string VstHost::effectName()
{
    return textCall(effGetEffectName, 0);
}
std::string VstHost::vendorString()
{
    return textCall(effGetVendorString, 0);
}
std::string VstHost::productString()
{
    return textCall(effGetProductString, 0);
}

std::string VstHost::parameterName(int index)
{
    ZR_ASSERT(validIndex(index));
    return validIndex(index) ? textCall(effGetParamName, index) : std::string();
}

std::string VstHost::parameterLabel(int index)
{
    ZR_ASSERT(validIndex(index));
    return validIndex(index) ? textCall(effGetParamLabel, index) : std::string();
}

std::string VstHost::parameterDisplay(int index)
{
    ZR_ASSERT(validIndex(index));
    return validIndex(index) ? textCall(effGetParamDisplay, index) : std::string();
}

float VstHost::getParameter(int index)
{
    ZR_ASSERT(validIndex(index));
    if (!validIndex(index) || effect_->getParameter == nullptr) return 0.0f;
    return effect_->getParameter(effect_, index);
}

void VstHost::setParameter(int index, float knobPos)
{
    ZR_ASSERT(validIndex(index));
    ZR_ASSERT(knobPos >= 0.0f && knobPos <= 1.0f);
    if (!validIndex(index) || effect_->setParameter == nullptr || !(knobPos >= 0.0f && knobPos <= 1.0f))
        return;
    effect_->setParameter(effect_, index, knobPos);
}

int VstHost::program()
{
    return static_cast<int>(dispatch(effGetProgram, 0, 0, nullptr, 0.0f));
}

void VstHost::setProgram(int index)
{
    ZR_ASSERT(index >= 0 && index < numPrograms());
    if (index >= 0 && index < numPrograms()) dispatch(effSetProgram, 0, index, nullptr, 0.0f);
}

std::string VstHost::programName()
{
    return textCall(effGetProgramName, 0);
}

void VstHost::setProgramName(const std::string& name)
{
    // The interface allows 24 characters; a longer name is cut rather than trusted to the plug-in.
    char text[kTextBufferBytes] = {};
    std::strncpy(text, name.c_str(), 24);
    dispatch(effSetProgramName, 0, 0, text, 0.0f);
}

std::vector<char> VstHost::getChunk(bool isPreset)
{
    if (!hasProgramChunks()) return {};
    void* data = nullptr;
    const VstIntPtr byteSize = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data, 0.0f);
    if (data == nullptr || byteSize <= 0) return {};
    if (byteSize > kMaxChunkBytes) throw HostError("the plug-in reported an implausible chunk size");
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + byteSize);
}

VstIntPtr VstHost::setChunk(const std::vector<char>& data, bool isPreset)
{
    std::vector<char> copy(data);
    copy.push_back('\0');
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(data.size()), copy.data(), 0.0f);
}

void VstHost::setSampleRate(double sampleRateHz)
{
    ZR_ASSERT(sampleRateHz > 0.0);
    if (!(sampleRateHz > 0.0)) return;
    sampleRateHz_ = sampleRateHz;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRateHz));
}

void VstHost::setBlockSize(int blockFrames)
{
    ZR_ASSERT(blockFrames > 0);
    if (blockFrames <= 0) return;
    blockFrames_ = blockFrames;
    dispatch(effSetBlockSize, 0, blockFrames, nullptr, 0.0f);
}

void VstHost::resume()
{
    if (resumed_) return;
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
    resumed_ = true;
}

void VstHost::suspend()
{
    if (!resumed_) return;
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    resumed_ = false;
}

void VstHost::process(float* const* inputs, float* const* outputs, int frames)
{
    ZR_ASSERT(inputs != nullptr || numInputs() == 0);
    ZR_ASSERT(outputs != nullptr || numOutputs() == 0);
    if ((inputs == nullptr && numInputs() > 0) || (outputs == nullptr && numOutputs() > 0)) return;
    for (int offset = 0; offset < frames; offset += blockFrames_)
        processPiece(inputs, outputs, offset, std::min(blockFrames_, frames - offset));
}

void VstHost::processPiece(float* const* inputs, float* const* outputs, int offset, int frames)
{
    for (std::size_t i = 0; i < pieceInputs_.size(); ++i)
        pieceInputs_[i] = inputs[i] + offset;
    for (std::size_t i = 0; i < pieceOutputs_.size(); ++i)
        pieceOutputs_[i] = outputs[i] + offset;
    const bool replacing = effect_->processReplacing != nullptr &&
                           ((effect_->flags & effFlagsCanReplacing) != 0 || effect_->process == nullptr);
    if (replacing) {
        effect_->processReplacing(effect_, pieceInputs_.data(), pieceOutputs_.data(), frames);
    } else {
        // An accumulating-only plug-in adds to what is there.
        for (float* channel : pieceOutputs_)
            std::fill(channel, channel + frames, 0.0f);
        effect_->process(effect_, pieceInputs_.data(), pieceOutputs_.data(), frames);
    }
    timeInfo_.samplePos += frames;
}
} // namespace zr::host
