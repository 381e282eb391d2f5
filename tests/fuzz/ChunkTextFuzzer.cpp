// Arbitrary bytes through the chunk text reader, the preset reader and the bank reader, as a damaged or
// foreign project would hand them over. Properties: nothing crashes or reads out of bounds; the reader and
// the writer are inverse on whatever the reader yields; a preset or a bank, once loaded, saves to a text
// that loads back to the same preset or bank and saves to the same bytes (a fixed point); a bank text
// that is refused leaves the bank as it was.

#include "Common/musicplugin/Chunk.h"
#include "Common/musicplugin/PresetBank.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Chunks = std::vector<std::pair<std::string, std::string>>;

Chunks readAll(const std::string& text)
{
    Chunks chunks;
    Chunk::Parser parser(text);
    std::string label;
    std::string data;
    while (parser.getChunk(label, data))
        chunks.emplace_back(label, data);
    return chunks;
}

bool samePresets(const std::vector<Preset>& a, const std::vector<Preset>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].values != b[i].values) return false;
    return true;
}

// The bank text exactly as the adaptor writes it.
std::string saveBank(const PresetBank& bank)
{
    std::string presets;
    for (const Preset& preset : bank.presetList)
        Chunk::push_back(presets, "Preset", preset.save());
    std::string text;
    Chunk::push_back(text, "presetList", presets);
    return text;
}

void checkChunkReader(const std::string& text)
{
    Chunks chunks = readAll(text);
    std::string rewritten;
    for (const auto& chunk : chunks) {
        // A label is one whole line that is not data.
        ZR_FUZZ_CHECK(chunk.first.find('\n') == std::string::npos);
        ZR_FUZZ_CHECK(chunk.first.empty() || chunk.first[0] != '\t');
        Chunk::push_back(rewritten, chunk.first, chunk.second);
    }
    ZR_FUZZ_CHECK(readAll(rewritten) == chunks);

    // find and findChunk see the same first chunk under a label as a pass with getChunk.
    if (!chunks.empty()) {
        std::string data = "unchanged";
        Chunk::Parser parser(text);
        ZR_FUZZ_CHECK(parser.findChunk(chunks.back().first, data));
        bool seen = false;
        for (const auto& chunk : chunks)
            if (!seen && chunk.first == chunks.back().first) {
                ZR_FUZZ_CHECK(data == chunk.second);
                seen = true;
            }
    }
}

void checkPresetReader(const std::string& text)
{
    Preset preset("Default");
    preset.load(text);
    std::string saved = preset.save();
    Preset reloaded("Other");
    reloaded.load(saved);
    ZR_FUZZ_CHECK(reloaded.name == preset.name);
    ZR_FUZZ_CHECK(reloaded.values == preset.values);
    ZR_FUZZ_CHECK(reloaded.save() == saved);
}

void checkBankReader(const std::string& text)
{
    PresetBank bank;
    bank.presetList.emplace_back("Default");
    bank.presetList.back().values["kept"] = "as it was";
    const std::vector<Preset> before = bank.presetList;
    bool hasPresetList = false;
    {
        Chunk::Parser parser(text);
        hasPresetList = parser.find("presetList");
    }
    try {
        bank.load(text);
    } catch (const std::invalid_argument&) {
        ZR_FUZZ_CHECK(!hasPresetList);
        ZR_FUZZ_CHECK(samePresets(bank.presetList, before));
        return;
    }
    ZR_FUZZ_CHECK(hasPresetList);
    ZR_FUZZ_CHECK(bank.presetList.size() >= before.size());

    std::string saved = saveBank(bank);
    PresetBank reloaded;
    reloaded.presetList.emplace_back("Default");
    reloaded.load(saved);
    ZR_FUZZ_CHECK(samePresets(reloaded.presetList, bank.presetList));
    ZR_FUZZ_CHECK(saveBank(reloaded) == saved);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkChunkReader(text);
    checkPresetReader(text);
    checkBankReader(text);
    return 0;
}
