// Arbitrary bytes through the render tool's .fxp/.fxb reader, as a damaged or foreign preset file would
// reach it. The image is a vector of exactly the file's size, so reading past its end is reported.
// Properties: the reader either returns a preset or refuses with PresetFileError (nothing else escapes);
// a preset it returns writes out to an image that reads back to the same preset and writes out to the
// same bytes again, except that a program name filling its whole 28-byte field loses its last character
// (the writer keeps room for the terminator), which the first write settles.

#include "FuzzCheck.h"
#include "tools/render/FxPreset.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using zr::host::FxPreset;
using zr::host::FxProgram;

namespace
{
// The longest name the writer keeps of a 28-byte name field.
constexpr std::size_t writtenNameChars = 27;

bool sameKnobs(const std::vector<float>& a, const std::vector<float>& b)
{
    // Bit for bit, so that NaN payloads and negative zeros count; memcmp must not see empty vectors' nulls.
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

bool sameProgram(const FxProgram& read, const FxProgram& reread)
{
    return reread.name == read.name.substr(0, writtenNameChars) &&
           sameKnobs(read.knobPositions, reread.knobPositions);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<unsigned char> image(data, data + size);
    FxPreset preset;
    try {
        preset = zr::host::parseFxPreset(image);
    } catch (const zr::host::PresetFileError&) {
        return 0;
    }
    const std::vector<unsigned char> written = zr::host::serializeFxPreset(preset);
    // What the tool wrote it must read: a PresetFileError escaping here is a finding.
    const FxPreset reread = zr::host::parseFxPreset(written);
    ZR_FUZZ_CHECK(reread.kind == preset.kind);
    ZR_FUZZ_CHECK(reread.pluginId == preset.pluginId);
    ZR_FUZZ_CHECK(reread.pluginVersion == preset.pluginVersion);
    ZR_FUZZ_CHECK(reread.chunk == preset.chunk);
    ZR_FUZZ_CHECK(sameProgram(preset.program, reread.program));
    ZR_FUZZ_CHECK(reread.programs.size() == preset.programs.size());
    for (std::size_t i = 0; i < preset.programs.size() && i < reread.programs.size(); ++i)
        ZR_FUZZ_CHECK(sameProgram(preset.programs[i], reread.programs[i]));
    if (preset.kind == zr::host::FxKind::BankParams || preset.kind == zr::host::FxKind::BankChunk)
        ZR_FUZZ_CHECK(reread.currentProgram == preset.currentProgram);
    ZR_FUZZ_CHECK(zr::host::serializeFxPreset(reread) == written);
    return 0;
}
