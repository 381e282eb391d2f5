#pragma once
// One effect instance as the fuzz targets drive it: built the way the library's entry point builds it and
// reached only through its AEffect record, with buffers of exactly the size a host provides, so that any
// write or read past them is an AddressSanitizer report.

#include "Common/vst/VstInterface.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zr::fuzz
{
// Host text buffers: the most characters the interface allows plus the terminator.
constexpr std::size_t paramTextBytes = 9;    // parameter name, label, display
constexpr std::size_t programNameBytes = 25; // program name, current or by index
constexpr std::size_t effectNameBytes = 32;
constexpr std::size_t vendorTextBytes = 64; // vendor and product strings

// With the environment variable ZR_FUZZ_TRACE set, every host call is printed to stderr, so that a
// finding can be written down as the plain sequence of calls that causes it.
bool tracing();

// What the host gets back from the host callback's time query; null answers "no time information".
extern const VstTimeInfo* hostTimeInfo;

// Everything a host can read back of the plug-in's state.
struct ObservedState
{
    std::string bankChunk;
    std::string programChunk;
    std::string programName;
    std::vector<float> knobPositions;
    std::vector<std::string> displays;

    bool operator==(const ObservedState& other) const;
};

class FuzzEffect
{
public:
    FuzzEffect();
    ~FuzzEffect();
    FuzzEffect(const FuzzEffect&) = delete;
    FuzzEffect& operator=(const FuzzEffect&) = delete;

    AEffect* effect() const { return effect_; }
    int numParams() const { return effect_->numParams; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // Sends the close opcode (which destroys the effect) and builds a new one, as a host reopening it.
    void reopen();

    // A copy of the chunk the plug-in hands out; checks that its size counts exactly one terminator.
    std::string chunk(bool isPreset);
    // Hands bytes over in a heap buffer of exactly their size, with byteSize the buffer's size.
    VstIntPtr setChunk(const std::string& bytes, bool isPreset);
    // The same buffer, but with a byteSize a damaged project or a careless host might pass.
    VstIntPtr setChunk(const std::string& bytes, bool isPreset, VstIntPtr byteSize);

    // One of the parameter texts (opcode 6, 7 or 8) read through a 9-byte buffer; checks its terminator.
    std::string paramText(VstInt32 opcode, VstInt32 index);
    std::string programName();
    ObservedState observe();

    // Every knob position finite and in [0, 1]; every text terminated inside its buffer.
    void checkParametersInRange();
    // Program and bank chunk each read back to exactly the same state: the state is self-consistent.
    void checkChunkRoundTrip();

private:
    AEffect* effect_ = nullptr;
};
} // namespace zr::fuzz
