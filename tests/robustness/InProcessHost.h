#pragma once
// A test-side host for one effect instance, built the way the library's entry point builds it and driven
// only through its AEffect record (dispatcher, trampolines and the host callback), as a sequencer does.

#include "Common/vst/VstInterface.h"

#include <cstddef>
#include <string>
#include <vector>

class MusicPlugin;

namespace zr::robustness
{
// Parameter indices of the compressor, in the host's order.
enum ParamIndex
{
    sideHp,
    sideLp,
    listen,
    drive,
    attack,
    release,
    hilbert,
    threshold,
    ratio,
    outGain,
    mix,
    numCompressorParams
};

// The host's text buffers: the most characters the interface allows plus the terminator.
constexpr std::size_t paramTextBytes = 9;
constexpr std::size_t programNameBytes = 25;

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

class HostedEffect
{
public:
    // The compressor, or any plug-in (owned from here on) for tests of the host bridge itself.
    HostedEffect();
    explicit HostedEffect(MusicPlugin* plugin);
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // Open, sample rate, block size and resume, as a host does before the first block.
    void start(float sampleRateHz, VstInt32 blockFrames);

    void setKnob(VstInt32 index, float knobPos);
    float knob(VstInt32 index);
    std::string paramDisplay(VstInt32 index);
    std::string programName();

    // A copy of the chunk the plug-in hands out, its terminating zero byte included.
    std::string chunk(bool isPreset);
    // Hands the bytes over in a buffer of exactly their size, byteSize counting all of them.
    VstIntPtr setChunk(const std::string& bytes, bool isPreset);

    // Runs the input through the plug-in in blocks of blockFrames (the last one shorter).
    Stereo processReplacing(const Stereo& input, std::size_t blockFrames);
    // The same, accumulating onto outputs that hold `previous` on entry.
    Stereo processAccumulating(const Stereo& input, const Stereo& previous, std::size_t blockFrames);

private:
    AEffect* effect_;
};

bool allFinite(const std::vector<float>& samples);
bool allFinite(const Stereo& samples);
float peakMagnitude(const Stereo& samples);
} // namespace zr::robustness
