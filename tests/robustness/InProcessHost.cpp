#include "InProcessHost.h"

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "ZaRorurarozePlugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace zr::robustness
{
namespace
{
VstIntPtr VST_CALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string terminated(const char* buffer, std::size_t bytes)
{
    return std::string(buffer, strnlen(buffer, bytes));
}
} // namespace

HostedEffect::HostedEffect() : HostedEffect(new ZaRorurarozePlugin()) {}

HostedEffect::HostedEffect(MusicPlugin* plugin)
    : effect_((new MusicPluginVstAdaptor(hostCallback, plugin))->getAeffect())
{}

HostedEffect::~HostedEffect()
{
    dispatch(effClose);
}

VstIntPtr HostedEffect::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void HostedEffect::start(float sampleRateHz, VstInt32 blockFrames)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateHz);
    dispatch(effSetBlockSize, 0, blockFrames);
    dispatch(effMainsChanged, 0, 1);
}

void HostedEffect::setKnob(VstInt32 index, float knobPos)
{
    effect_->setParameter(effect_, index, knobPos);
}

float HostedEffect::knob(VstInt32 index)
{
    return effect_->getParameter(effect_, index);
}

std::string HostedEffect::paramDisplay(VstInt32 index)
{
    char text[paramTextBytes];
    dispatch(effGetParamDisplay, index, 0, text);
    return terminated(text, sizeof text);
}

std::string HostedEffect::programName()
{
    char name[programNameBytes];
    dispatch(effGetProgramName, 0, 0, name);
    return terminated(name, sizeof name);
}

std::string HostedEffect::chunk(bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (bytes <= 0 || data == nullptr) return std::string();
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(bytes));
}

VstIntPtr HostedEffect::setChunk(const std::string& bytes, bool isPreset)
{
    std::unique_ptr<char[]> buffer(new char[bytes.size()]);
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(bytes.size()), buffer.get());
}

Stereo HostedEffect::processReplacing(const Stereo& input, std::size_t blockFrames)
{
    Stereo output{std::vector<float>(input.left.size()), std::vector<float>(input.right.size())};
    for (std::size_t start = 0; start < input.left.size(); start += blockFrames) {
        std::size_t frames = std::min(blockFrames, input.left.size() - start);
        float* inputs[2] = {const_cast<float*>(input.left.data()) + start,
                            const_cast<float*>(input.right.data()) + start};
        float* outputs[2] = {output.left.data() + start, output.right.data() + start};
        effect_->processReplacing(effect_, inputs, outputs, static_cast<VstInt32>(frames));
    }
    return output;
}

Stereo HostedEffect::processAccumulating(const Stereo& input, const Stereo& previous, std::size_t blockFrames)
{
    Stereo output = previous;
    for (std::size_t start = 0; start < input.left.size(); start += blockFrames) {
        std::size_t frames = std::min(blockFrames, input.left.size() - start);
        float* inputs[2] = {const_cast<float*>(input.left.data()) + start,
                            const_cast<float*>(input.right.data()) + start};
        float* outputs[2] = {output.left.data() + start, output.right.data() + start};
        effect_->process(effect_, inputs, outputs, static_cast<VstInt32>(frames));
    }
    return output;
}

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
} // namespace zr::robustness
