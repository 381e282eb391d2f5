// Arbitrary bytes handed to the plug-in's setChunk through the dispatcher, as program or bank, as a host
// restoring a damaged project would. The buffer is exactly as long as the byte size says, so reading past
// it is reported. Properties: every parameter stays inside its range; an answer of 0 (a refused bank, a
// non-positive size) changes nothing the host can see; a program answered 1 never fails; whatever was
// loaded, taking a chunk and restoring it is a fixed point.
//
// Input: one mode byte, then the chunk bytes.
//   bit 0   program (1) or bank (0)
//   bit 1   the host passes a byte size of 0 or less for the same buffer (bits 4-7 give minus the size)
//   bit 2   the plug-in holds edited values and a program name before the load, not its defaults

#include "FuzzEffect.h"

#include <cstddef>
#include <cstdint>
#include <string>

using zr::fuzz::FuzzEffect;
using zr::fuzz::ObservedState;

namespace
{
void editEveryParameter(FuzzEffect& fx)
{
    AEffect* e = fx.effect();
    for (VstInt32 i = 0; i < fx.numParams(); ++i)
        e->setParameter(e, i, static_cast<float>((i * 37 + 11) % 101) / 100.0f);
    char name[] = "Edited before the load";
    fx.dispatch(effSetProgramName, 0, 0, name);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const unsigned mode = data[0];
    const bool isPreset = (mode & 1) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    FuzzEffect fx;
    if ((mode & 4) != 0) editEveryParameter(fx);
    const ObservedState before = fx.observe();

    VstIntPtr answer;
    if ((mode & 2) != 0) {
        answer = fx.setChunk(bytes, isPreset, -static_cast<VstIntPtr>(mode >> 4));
        ZR_FUZZ_CHECK(answer == 0);
    } else {
        answer = fx.setChunk(bytes, isPreset);
        // A program text always loads (unreadable parts take defaults); only a bank can be refused.
        if (isPreset && !bytes.empty()) ZR_FUZZ_CHECK(answer == 1);
    }
    if (answer == 0) ZR_FUZZ_CHECK(fx.observe() == before);

    fx.checkParametersInRange();
    fx.checkChunkRoundTrip();
    return 0;
}
