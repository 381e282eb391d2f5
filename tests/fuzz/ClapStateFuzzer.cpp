// The CLAP plug-in's state stream: any bytes, handed over in pieces of any size, into a plug-in that is
// active. Properties: a refused load changes nothing a save shows; an accepted one saves what reads back to
// itself; the audio after it stays finite and every parameter within its range.
//
// Input: the first byte is the number of bytes the stream gives per read (1 to 256), the rest the state.

#include "Common/clap/ClapFactory.h"
#include "FuzzCheck.h"
#include "ZaRorurarozePlugin.h"

#include <clap/ext/params.h>
#include <clap/ext/state.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin();
}

const char* features[] = {nullptr};
const clap_plugin_descriptor_t descriptor = {CLAP_VERSION_INIT, "fuzz.state", "fuzz", "", "", "", "", "", "",
                                             features};
const ClapFactory factory(&descriptor, &createPlugin);

struct Stream
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t piece;
    std::size_t at = 0;
};

std::int64_t readPiece(const clap_istream_t* stream, void* buffer, std::uint64_t size)
{
    auto& s = *static_cast<Stream*>(stream->ctx);
    const std::size_t n = std::min<std::size_t>({static_cast<std::size_t>(size), s.piece, s.size - s.at});
    std::memcpy(buffer, s.data + s.at, n);
    s.at += n;
    return static_cast<std::int64_t>(n);
}

std::int64_t writeAll(const clap_ostream_t* stream, const void* buffer, std::uint64_t size)
{
    auto& bytes = *static_cast<std::vector<std::uint8_t>*>(stream->ctx);
    bytes.insert(bytes.end(), static_cast<const std::uint8_t*>(buffer),
                 static_cast<const std::uint8_t*>(buffer) + size);
    return static_cast<std::int64_t>(size);
}

std::vector<std::uint8_t> saved(const clap_plugin_t* plugin, const clap_plugin_state_t* state)
{
    std::vector<std::uint8_t> bytes;
    const clap_ostream_t stream{&bytes, &writeAll};
    ZR_FUZZ_CHECK(state->save(plugin, &stream));
    return bytes;
}

bool load(const clap_plugin_t* plugin, const clap_plugin_state_t* state, const std::uint8_t* data,
          std::size_t size, std::size_t piece)
{
    Stream s{data, size, piece};
    const clap_istream_t stream{&s, &readPiece};
    return state->load(plugin, &stream);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::size_t piece = std::size_t(data[0]) + 1;
    const auto* plugins = static_cast<const clap_plugin_factory_t*>(factory.get(CLAP_PLUGIN_FACTORY_ID));
    const clap_plugin_t* plugin = plugins->create_plugin(plugins, nullptr, descriptor.id);
    ZR_FUZZ_CHECK(plugin != nullptr && plugin->init(plugin));
    const auto* state =
        static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    const auto* params =
        static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    ZR_FUZZ_CHECK(plugin->activate(plugin, 48000.0, 1, 64));

    const std::vector<std::uint8_t> before = saved(plugin, state);
    if (load(plugin, state, data + 1, size - 1, piece)) {
        const std::vector<std::uint8_t> after = saved(plugin, state);
        ZR_FUZZ_CHECK(load(plugin, state, after.data(), after.size(), piece));
        ZR_FUZZ_CHECK(saved(plugin, state) == after);
    } else {
        ZR_FUZZ_CHECK(saved(plugin, state) == before);
    }

    std::vector<float> left(64), right(64), outLeft(64), outRight(64);
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i] = right[i] = std::sin(0.1f * static_cast<float>(i));
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    clap_audio_buffer_t in{inputs, nullptr, 2, 0, 0}, out{outputs, nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = 64;
    process.audio_inputs = &in;
    process.audio_outputs = &out;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    ZR_FUZZ_CHECK(plugin->start_processing(plugin));
    ZR_FUZZ_CHECK(plugin->process(plugin, &process) == CLAP_PROCESS_CONTINUE);
    for (std::size_t i = 0; i < outLeft.size(); ++i)
        ZR_FUZZ_CHECK(std::isfinite(outLeft[i]) && std::isfinite(outRight[i]));
    for (std::uint32_t i = 0; i < params->count(plugin); ++i) {
        clap_param_info_t info{};
        double value = NAN;
        ZR_FUZZ_CHECK(params->get_info(plugin, i, &info) && params->get_value(plugin, info.id, &value));
        ZR_FUZZ_CHECK(value >= info.min_value && value <= info.max_value);
    }
    plugin->destroy(plugin);
    return 0;
}
