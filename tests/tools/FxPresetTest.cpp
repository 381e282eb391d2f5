#include "tools/render/FxPreset.h"

#include <gtest/gtest.h>

using namespace zr::host;

namespace
{
FxPreset programChunkPreset()
{
    FxPreset p;
    p.kind = FxKind::ProgramChunk;
    p.pluginId = vstFourCharCode('z', 'l', 'S', 'B');
    p.pluginVersion = 1;
    p.count = 11;
    p.program.name = "Default";
    const std::string text = "Name\n\tDefault\nParameterList\n\t";
    p.chunk.assign(text.begin(), text.end());
    p.chunk.push_back('\0');
    return p;
}

std::vector<FxPreset> oneOfEachKind()
{
    FxPreset programChunk = programChunkPreset();
    FxPreset bankChunk = programChunk;
    bankChunk.kind = FxKind::BankChunk;
    bankChunk.count = 1;
    bankChunk.currentProgram = 0;
    FxPreset programParams = programChunk;
    programParams.kind = FxKind::ProgramParams;
    programParams.chunk.clear();
    programParams.program.knobPositions = {0.0f, 0.25f, 1.0f};
    FxPreset bankParams = programParams;
    bankParams.kind = FxKind::BankParams;
    bankParams.currentProgram = 1;
    bankParams.programs = {{"first", {0.5f, 0.125f}}, {"second", {1.0f, 0.0f}}};
    return {programChunk, bankChunk, programParams, bankParams};
}

std::uint32_t bigEndianAt(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    return (std::uint32_t(bytes[offset]) << 24) | (std::uint32_t(bytes[offset + 1]) << 16) |
           (std::uint32_t(bytes[offset + 2]) << 8) | bytes[offset + 3];
}
} // namespace

// The published program record: 'CcnK', size of the rest, 'FPCh', version 1, ID, plug-in version,
// parameter count, 28-byte name, then the chunk size and bytes; all integers big-endian.
TEST(FxPreset, ProgramChunkHasThePublishedLayout)
{
    const FxPreset preset = programChunkPreset();
    const std::vector<unsigned char> bytes = serializeFxPreset(preset);
    ASSERT_EQ(bytes.size(), 56u + 4u + preset.chunk.size());
    EXPECT_EQ(bigEndianAt(bytes, 0), static_cast<std::uint32_t>(vstFourCharCode('C', 'c', 'n', 'K')));
    EXPECT_EQ(bigEndianAt(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bigEndianAt(bytes, 8), static_cast<std::uint32_t>(vstFourCharCode('F', 'P', 'C', 'h')));
    EXPECT_EQ(bigEndianAt(bytes, 12), 1u);
    EXPECT_EQ(bigEndianAt(bytes, 16), 0x7A6C5342u); // "zlSB"
    EXPECT_EQ(bigEndianAt(bytes, 20), 1u);
    EXPECT_EQ(bigEndianAt(bytes, 24), 11u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), "Default");
    EXPECT_EQ(bigEndianAt(bytes, 56), preset.chunk.size());
    EXPECT_EQ(bytes.back(), 0u);
}

// A bank header is 156 bytes: 7 integers, the current program of version 2 and 124 reserved bytes.
TEST(FxPreset, BankChunkHasThePublishedLayout)
{
    FxPreset bank = oneOfEachKind()[1];
    bank.currentProgram = 0;
    const std::vector<unsigned char> bytes = serializeFxPreset(bank);
    ASSERT_EQ(bytes.size(), 156u + 4u + bank.chunk.size());
    EXPECT_EQ(bigEndianAt(bytes, 8), static_cast<std::uint32_t>(vstFourCharCode('F', 'B', 'C', 'h')));
    EXPECT_EQ(bigEndianAt(bytes, 12), 2u);
    EXPECT_EQ(bigEndianAt(bytes, 156), bank.chunk.size());
}

TEST(FxPreset, EveryKindReadsBackAsWritten)
{
    for (const FxPreset& written : oneOfEachKind()) {
        SCOPED_TRACE(static_cast<int>(written.kind));
        const FxPreset read = parseFxPreset(serializeFxPreset(written));
        EXPECT_EQ(read.kind, written.kind);
        EXPECT_EQ(read.pluginId, written.pluginId);
        EXPECT_EQ(read.pluginVersion, written.pluginVersion);
        EXPECT_EQ(read.chunk, written.chunk);
        EXPECT_EQ(read.currentProgram, written.currentProgram);
        if (!written.isBank()) {
            EXPECT_EQ(read.program.name, written.program.name);
            EXPECT_EQ(read.program.knobPositions, written.program.knobPositions);
        }
        ASSERT_EQ(read.programs.size(), written.programs.size());
        for (std::size_t i = 0; i < read.programs.size(); ++i) {
            EXPECT_EQ(read.programs[i].name, written.programs[i].name);
            EXPECT_EQ(read.programs[i].knobPositions, written.programs[i].knobPositions);
        }
    }
}

TEST(FxPreset, NamesAreCutToTheFieldWithItsTerminator)
{
    FxPreset p = oneOfEachKind()[2];
    p.program.name = std::string(40, 'x');
    EXPECT_EQ(parseFxPreset(serializeFxPreset(p)).program.name, std::string(27, 'x'));
}

// Every proper prefix of a valid file is refused cleanly: no read past the end, no crash.
TEST(FxPreset, EveryTruncationIsRefused)
{
    for (const FxPreset& written : oneOfEachKind()) {
        const std::vector<unsigned char> bytes = serializeFxPreset(written);
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<unsigned char> cut(bytes.begin(),
                                                 bytes.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_THROW(parseFxPreset(cut), PresetFileError)
                << "kind " << static_cast<int>(written.kind) << ", length " << length;
        }
    }
}

TEST(FxPreset, DamagedFieldsAreRefused)
{
    const std::vector<unsigned char> good = serializeFxPreset(programChunkPreset());
    struct Damage
    {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
    };
    const Damage table[] = {
        {"header magic", 0, 0x52494646u}, // "RIFF": some other file
        {"variant", 8, 0x41424344u},      // "ABCD"
        {"format version", 12, 7u},
        {"negative chunk size", 56, 0x80000000u},
        {"chunk size beyond the end", 56, 0x7FFFFFFFu},
    };
    for (const Damage& d : table) {
        std::vector<unsigned char> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[d.offset + i] = static_cast<unsigned char>(d.value >> (24 - 8 * i));
        EXPECT_THROW(parseFxPreset(bytes), PresetFileError) << d.what;
    }

    FxPreset params = oneOfEachKind()[2];
    std::vector<unsigned char> bytes = serializeFxPreset(params);
    bytes[24] = 0x7F; // a parameter count of two billion in a file of a few bytes
    EXPECT_THROW(parseFxPreset(bytes), PresetFileError);
    params.program.knobPositions = {1.5f};
    EXPECT_THROW(parseFxPreset(serializeFxPreset(params)), PresetFileError);
    params.program.knobPositions = {std::numeric_limits<float>::quiet_NaN()};
    EXPECT_THROW(parseFxPreset(serializeFxPreset(params)), PresetFileError);
}

// Version 1 banks keep all 128 reserved bytes: whatever stands where version 2 keeps the current program
// means nothing there.
TEST(FxPreset, Version1BankHasNoCurrentProgram)
{
    FxPreset bank = oneOfEachKind()[3];
    std::vector<unsigned char> bytes = serializeFxPreset(bank);
    bytes[15] = 1; // version 2 -> 1
    EXPECT_EQ(parseFxPreset(bytes).currentProgram, 0);
    EXPECT_EQ(parseFxPreset(serializeFxPreset(bank)).currentProgram, 1);
}

TEST(FxPreset, UniqueIdsPrintAsTheirCharacters)
{
    EXPECT_EQ(fourCharText(vstFourCharCode('z', 'l', 'S', 'B')), "zlSB");
    EXPECT_EQ(fourCharText(0x01020304), "0x01020304");
}
