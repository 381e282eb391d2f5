#pragma once
// A minimal offline VST 2 host: loads one plug-in binary and drives it through its AEffect record only,
// the way a sequencer does. Shared by the render tool and the benchmarks.

#include "Common/vst/VstInterface.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host
{
// A failure the user can act on (missing file, not a plug-in, refused request); the message says which.
class HostError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class VstHost
{
public:
    // Loads the binary, calls its entry point with our callback and opens the effect.
    explicit VstHost(const std::string& pluginPath);
    // Suspends a running effect, closes it and unloads the binary.
    ~VstHost();
    VstHost(const VstHost&) = delete;
    VstHost& operator=(const VstHost&) = delete;

    const std::string& path() const { return path_; }
    AEffect* effect() const { return effect_; }

    int numParams() const { return effect_->numParams; }
    int numPrograms() const { return effect_->numPrograms; }
    int numInputs() const { return effect_->numInputs; }
    int numOutputs() const { return effect_->numOutputs; }
    VstInt32 uniqueId() const { return effect_->uniqueID; }
    VstInt32 version() const { return effect_->version; }
    bool hasProgramChunks() const { return (effect_->flags & effFlagsProgramChunks) != 0; }

    std::string effectName();
    std::string vendorString();
    std::string productString();

    // Parameter calls by index; an index out of range gives an empty text or 0 and changes nothing.
    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    float getParameter(int index);
    void setParameter(int index, float knobPos);

    int program();
    void setProgram(int index);
    std::string programName();
    void setProgramName(const std::string& name);

    // The plug-in's state as it hands it over: a single program (isPreset) or the whole bank.
    // Empty when the plug-in keeps no chunk.
    std::vector<char> getChunk(bool isPreset);
    // Hands a copy followed by one extra zero byte to the plug-in, so a plug-in that reads its chunk as
    // a C string stops inside our buffer even when the data carries no terminator. Answers the
    // plug-in's result.
    VstIntPtr setChunk(const std::vector<char>& data, bool isPreset);

    void setSampleRate(double sampleRateHz);
    void setBlockSize(int blockFrames);
    double sampleRateHz() const { return sampleRateHz_; }
    int blockFrames() const { return blockFrames_; }

    void resume();
    void suspend();
    bool isResumed() const { return resumed_; }

    // Replaces numOutputs() channels of frames samples from numInputs() input channels. Larger counts
    // than the block size are handed over a block size at a time. Allocates nothing.
    void process(float* const* inputs, float* const* outputs, int frames);

    // The transport the plug-in sees through the host's time query.
    void setTempo(double beatsPerMinute) { tempoBpm_ = beatsPerMinute; }
    double samplePosition() const { return timeInfo_.samplePos; }

private:
    static VstIntPtr VST_CALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt);
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string textCall(VstInt32 opcode, VstInt32 index);
    bool validIndex(int index) const { return index >= 0 && index < effect_->numParams; }
    VstTimeInfo* currentTime();
    void processPiece(float* const* inputs, float* const* outputs, int offset, int frames);

    std::string path_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    double sampleRateHz_ = 44100.0;
    int blockFrames_ = 512;
    bool resumed_ = false;
    double tempoBpm_ = 120.0;
    VstTimeInfo timeInfo_{};
    std::vector<float*> pieceInputs_;
    std::vector<float*> pieceOutputs_;
};
} // namespace zr::host
