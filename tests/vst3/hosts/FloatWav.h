#pragma once
// 32-bit float WAV files (what the render tool and the test scripts write) for the VST 3 test hosts,
// which link nothing of the project.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace floatwav
{
struct Wav
{
    double rateHz = 48000.0;
    std::vector<std::vector<float>> channels;
};

inline std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline bool read(const std::string& path, Wav& wav)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 ||
        std::memcmp(data.data() + 8, "WAVE", 4) != 0)
        return false;
    unsigned channels = 0, bits = 0, tag = 0;
    for (std::size_t at = 12; at + 8 <= data.size();) {
        const std::uint32_t size = le32(&data[at + 4]);
        const unsigned char* body = &data[at + 8];
        if (at + 8 + size > data.size()) return false;
        if (std::memcmp(&data[at], "fmt ", 4) == 0 && size >= 16) {
            tag = body[0] | body[1] << 8;
            channels = body[2] | body[3] << 8;
            wav.rateHz = le32(body + 4);
            bits = body[14] | body[15] << 8;
            if (tag == 0xFFFE && size >= 26) tag = body[24] | body[25] << 8;
        } else if (std::memcmp(&data[at], "data", 4) == 0) {
            if (tag != 3 || bits != 32 || channels == 0) return false;
            const std::size_t frames = size / (4 * channels);
            wav.channels.assign(channels, std::vector<float>(frames));
            for (std::size_t n = 0; n < frames; ++n)
                for (unsigned c = 0; c < channels; ++c)
                    std::memcpy(&wav.channels[c][n], body + 4 * (n * channels + c), 4);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

inline void put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline bool write(const std::string& path, const Wav& wav)
{
    const auto channels = static_cast<std::uint32_t>(wav.channels.size());
    const auto frames = static_cast<std::uint32_t>(channels ? wav.channels[0].size() : 0);
    std::string out = "RIFF";
    put32(out, 36 + 4 * channels * frames);
    out += "WAVEfmt ";
    put32(out, 16);
    put32(out, 3 | channels << 16);
    put32(out, static_cast<std::uint32_t>(wav.rateHz));
    put32(out, static_cast<std::uint32_t>(wav.rateHz) * 4 * channels);
    put32(out, 4 * channels | 32 << 16);
    out += "data";
    put32(out, 4 * channels * frames);
    for (std::uint32_t n = 0; n < frames; ++n)
        for (std::uint32_t c = 0; c < channels; ++c)
            out.append(reinterpret_cast<const char*>(&wav.channels[c][n]), 4);
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}
} // namespace floatwav
