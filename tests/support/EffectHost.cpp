#include "EffectHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zr::test
{
namespace
{
// The callback receives no user pointer before the effect exists: remember who is being opened.
thread_local EffectHost* opening = nullptr;
} // namespace

bool allFinite(const std::vector<float>& samples)
{
    return std::all_of(samples.begin(), samples.end(), [](float s) { return std::isfinite(s); });
}

bool allFinite(const Stereo& samples)
{
    return allFinite(samples.left) && allFinite(samples.right);
}

float peakMagnitude(const Stereo& samples)
{
    float peak = 0.0f;
    for (const std::vector<float>* channel : {&samples.left, &samples.right})
        for (float s : *channel)
            peak = std::max(peak, std::fabs(s));
    return peak;
}

void EffectHost::open(const std::function<AEffect*(audioMasterCallback)>& create)
{
    opening = this;
    effect_ = create(&EffectHost::hostCallback);
    opening = nullptr;
    if (effect_ != nullptr) effect_->user = this;
}

VstIntPtr EffectHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                   float opt)
{
    EffectHost* self =
        effect != nullptr && effect->user != nullptr ? static_cast<EffectHost*>(effect->user) : opening;
    if (self != nullptr && self->recordsHostCalls) self->hostCalls.push_back({opcode, index, value, opt});
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return self != nullptr && self->givesTimeInfo ? reinterpret_cast<VstIntPtr>(&self->timeInfo) : 0;
    default:
        return 0;
    }
}

VstIntPtr EffectHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void EffectHost::start(float sampleRateHz, VstInt32 blockFrames)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateHz);
    dispatch(effSetBlockSize, 0, blockFrames);
    dispatch(effMainsChanged, 0, 1);
}

void EffectHost::close()
{
    if (effect_ != nullptr) dispatch(effClose);
    effect_ = nullptr;
}

void EffectHost::setKnob(VstInt32 index, float knobPos)
{
    effect_->setParameter(effect_, index, knobPos);
}

float EffectHost::knob(VstInt32 index)
{
    return effect_->getParameter(effect_, index);
}

std::string EffectHost::text(VstInt32 opcode, VstInt32 index, std::size_t bytes)
{
    std::vector<char> buffer(bytes, 'x'); // so that a missing terminator shows
    dispatch(opcode, index, 0, buffer.data());
    return std::string(buffer.data(), strnlen(buffer.data(), bytes));
}

std::string EffectHost::paramName(VstInt32 index)
{
    return text(effGetParamName, index, paramTextBytes);
}

std::string EffectHost::paramLabel(VstInt32 index)
{
    return text(effGetParamLabel, index, paramTextBytes);
}

std::string EffectHost::paramDisplay(VstInt32 index)
{
    return text(effGetParamDisplay, index, paramTextBytes);
}

std::string EffectHost::programName()
{
    return text(effGetProgramName, 0, programNameBytes);
}

std::string EffectHost::chunk(bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (bytes <= 0 || data == nullptr) return std::string();
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(bytes));
}

VstIntPtr EffectHost::setChunk(const std::string& bytes, bool isPreset)
{
    std::vector<char> copy(bytes.begin(), bytes.end());
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

Stereo EffectHost::processReplacing(const Stereo& input, std::size_t blockFrames)
{
    return run(input, Stereo{std::vector<float>(input.left.size()), std::vector<float>(input.right.size())},
               blockFrames, false);
}

Stereo EffectHost::processAccumulating(const Stereo& input, const Stereo& previous, std::size_t blockFrames)
{
    return run(input, previous, blockFrames, true);
}

Stereo EffectHost::run(const Stereo& input, Stereo output, std::size_t blockFrames, bool accumulating)
{
    Stereo in = input; // the interface lends the plug-in writable inputs
    for (std::size_t start = 0; start < in.left.size(); start += blockFrames) {
        const auto frames = static_cast<VstInt32>(std::min(blockFrames, in.left.size() - start));
        float* inputs[2] = {in.left.data() + start, in.right.data() + start};
        float* outputs[2] = {output.left.data() + start, output.right.data() + start};
        if (accumulating)
            effect_->process(effect_, inputs, outputs, frames);
        else
            effect_->processReplacing(effect_, inputs, outputs, frames);
    }
    return output;
}
} // namespace zr::test
