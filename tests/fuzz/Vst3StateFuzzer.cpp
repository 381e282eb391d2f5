// The VST 3 component state as hosts hand it over: any bytes, delivered any number at a time, possibly
// followed by more than the state. Properties: a refused state changes nothing the saved state shows; an
// accepted one saves, loads and saves again to the same bytes, and the stream is left right behind our
// terminator; the audio stays finite afterwards.
//
// Input: one byte of bytes per read (0: everything at once), then the stream's bytes.

#include "FuzzCheck.h"
#include "tests/vst3/Vst3TestHost.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace vst3test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    static Instance a(48000.0, 64);
    const int bytesPerRead = data[0] == 0 ? 1 << 30 : data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string before = a.state();
    MemoryStream stream(bytes, bytesPerRead);
    if (a.component->setState(&stream) != kResultOk) {
        ZR_FUZZ_CHECK(a.state() == before);
    } else {
        const std::size_t zero = bytes.find('\0');
        ZR_FUZZ_CHECK(stream.position == (zero == std::string::npos ? bytes.size() : zero + 1));
        const std::string saved = a.state();
        ZR_FUZZ_CHECK(a.setState(saved, bytesPerRead) == kResultOk);
        ZR_FUZZ_CHECK(a.state() == saved);
    }
    for (int c = 0; c < 2; ++c)
        for (int n = 0; n < 64; ++n)
            a.in[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)] =
                std::sin(0.1f * static_cast<float>(n));
    ZR_FUZZ_CHECK(a.process(64) == kResultOk);
    for (int c = 0; c < 2; ++c)
        for (float x : a.out[static_cast<std::size_t>(c)])
            ZR_FUZZ_CHECK(std::isfinite(x));
    return 0;
}
