#pragma once
// The test-side host of one effect instance, reached only through its AEffect record (dispatcher,
// trampolines and the host callback), as a sequencer reaches it. InProcessHost builds the effect the way
// the entry point does; LoadedPlugin loads the built binary. Buffers handed to the plug-in are exactly as
// large as a host's, so a write or read past them shows under AddressSanitizer.

#include "Common/vst/VstInterface.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace zr::test
{
// The host's text buffers: the most characters the interface allows plus the terminator.
constexpr std::size_t paramTextBytes = 9;
constexpr std::size_t programNameBytes = 25;

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

bool allFinite(const std::vector<float>& samples);
bool allFinite(const Stereo& samples);
float peakMagnitude(const Stereo& samples);

struct HostCall
{
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt; // the automated value, for audioMasterAutomate
};

class EffectHost
{
public:
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // Open, sample rate, block size and resume, as a host does before the first block.
    void start(float sampleRateHz, VstInt32 blockFrames);
    // Sends the close opcode, which destroys the effect; afterwards only the destructor may run.
    void close();

    void setKnob(VstInt32 index, float knobPos);
    float knob(VstInt32 index);
    std::string paramName(VstInt32 index);
    std::string paramLabel(VstInt32 index);
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

    // The calls the plug-in made to the host callback, in order, while recordsHostCalls is set (clear it
    // before several threads drive the plug-in at once).
    std::vector<HostCall> hostCalls;
    bool recordsHostCalls = true;
    // The answer to the time query, or none.
    VstTimeInfo timeInfo{};
    bool givesTimeInfo = true;

protected:
    EffectHost() = default;
    ~EffectHost() = default;
    // Creates the effect with this host's callback, which may be called before the effect exists.
    void open(const std::function<AEffect*(audioMasterCallback)>& create);

private:
    static VstIntPtr VST_CALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt);
    std::string text(VstInt32 opcode, VstInt32 index, std::size_t bytes);
    Stereo run(const Stereo& input, Stereo output, std::size_t blockFrames, bool accumulating);

    AEffect* effect_ = nullptr;
};
} // namespace zr::test
