// Sequences of LV2 host calls through the descriptor: any port floats (NaN, infinities, far out of range),
// any run lengths and samples, ports dropped and reconnected, and any state texts restored. Properties:
// outputs stay finite, the meter stays within 0..60 dB, a refused restore changes nothing a save shows,
// and a saved state restored and saved again is the same text.
//
// Input: a list of operations, each one byte followed by its arguments.
//   0 port  float  sets control port `port` (mod the number of controls) to the float's raw bytes
//   1 lo hi        runs lo + 256 hi frames (mod 4097) of samples taken from the input
//   2 len  text    restores `len` bytes as the state text (bit 7 of len: as a wrong type)
//   3              saves, restores what it saved, saves again: the same text
//   4 port         disconnects audio port `port` (mod 4) until the next operation 4
//   5              activates (clears the history)

#include "FuzzCheck.h"
#include "tests/lv2/Lv2TestHost.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace lv2test;

namespace
{
struct Reader
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool has(std::size_t n) const { return size - at >= n; }
    std::uint8_t byte() { return has(1) ? data[at++] : 0; }
};

std::string savedText(Instance& instance)
{
    Host host;
    ZR_FUZZ_CHECK(instance.save(host) == LV2_STATE_SUCCESS);
    return host.state.at(host.chunkKey()).value;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Host host;
    Instance a(host, 48000.0);
    ZR_FUZZ_CHECK(a.handle != nullptr);
    Reader in{data, size};
    int disconnected = -1;
    while (in.has(1)) {
        switch (in.byte() % 6) {
        case 0: {
            const std::size_t port = in.byte() % a.controls.size();
            float value = 0.0f;
            if (in.has(4)) std::memcpy(&value, data + in.at, 4), in.at += 4;
            a.controls[port] = value;
            break;
        }
        case 1: {
            const uint32_t frames = (in.byte() + 256u * in.byte()) % 4097u;
            for (uint32_t n = 0; n < frames; ++n)
                a.in[0][n] = a.in[1][n] =
                    in.has(1) ? static_cast<float>(static_cast<int8_t>(in.byte())) / 64.0f : 0.0f;
            descriptor.lv2.run(a.handle, frames);
            for (uint32_t n = 0; n < frames; ++n)
                for (int c = 0; c < 2; ++c)
                    ZR_FUZZ_CHECK(c + 2 == disconnected || std::isfinite(a.out[c][n]));
            ZR_FUZZ_CHECK(a.meter >= 0.0f && a.meter <= 60.0f);
            break;
        }
        case 2: {
            const std::uint8_t length = in.byte();
            const std::size_t n = std::min<std::size_t>(length & 0x7f, size - in.at);
            const std::string before = savedText(a);
            host.state[host.chunkKey()] = {
                std::string(reinterpret_cast<const char*>(data + in.at), n),
                Host::mapUri(&host, (length & 0x80) ? LV2_ATOM__Int : LV2_ATOM__String)};
            in.at += n;
            if (a.restore(host) != LV2_STATE_SUCCESS) ZR_FUZZ_CHECK(savedText(a) == before);
            break;
        }
        case 3: {
            ZR_FUZZ_CHECK(a.save(host) == LV2_STATE_SUCCESS);
            const std::string first = host.state.at(host.chunkKey()).value;
            ZR_FUZZ_CHECK(a.restore(host) == LV2_STATE_SUCCESS);
            ZR_FUZZ_CHECK(savedText(a) == first);
            break;
        }
        case 4: {
            const int port = in.byte() % 4;
            if (disconnected >= 0) {
                std::vector<float>& buffer = disconnected < 2 ? a.in[disconnected] : a.out[disconnected - 2];
                descriptor.lv2.connect_port(a.handle, static_cast<uint32_t>(disconnected), buffer.data());
                disconnected = -1;
            } else {
                descriptor.lv2.connect_port(a.handle, static_cast<uint32_t>(port), nullptr);
                disconnected = port;
            }
            break;
        }
        default:
            descriptor.lv2.activate(a.handle);
            break;
        }
    }
    return 0;
}
