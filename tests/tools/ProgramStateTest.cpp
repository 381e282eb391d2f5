#include "tools/render/ProgramState.h"

#include <gtest/gtest.h>

using zr::host::ProgramState;

namespace
{
std::vector<char> chunkOf(const std::string& text)
{
    std::vector<char> chunk(text.begin(), text.end());
    chunk.push_back('\0');
    return chunk;
}

// The program Soft of docs/chunk-format.md: 52 bytes, no final line feed.
const std::string kSoftPreset = "Name\n\tSoft\nParameterList\n\tattack\n\t\t0.5\n\tratio\n\t\t0.25";
} // namespace

TEST(ProgramState, ReadsTheSoftProgram)
{
    ASSERT_EQ(kSoftPreset.size(), 52u);
    const ProgramState state = ProgramState::fromChunk(chunkOf(kSoftPreset));
    EXPECT_TRUE(state.hasParameterList());
    EXPECT_EQ(state.name(), "Soft");
    const std::vector<ProgramState::Entry> expected = {{"attack", "0.5"}, {"ratio", "0.25"}};
    EXPECT_EQ(state.parameters(), expected);
    EXPECT_EQ(state.toText(), kSoftPreset);
}

TEST(ProgramState, ChunkListsReadBackExactly)
{
    struct Case
    {
        const char* what;
        std::vector<ProgramState::Entry> chunks;
        std::string text;
    };
    const Case table[] = {
        {"empty data is a single tab", {{"L", ""}}, "L\n\t"},
        {"nested data with a final line feed", {{"x", "a\n\tb\n"}}, "x\n\ta\n\t\tb\n\t"},
        {"two chunks, joined by one line feed", {{"a", "1"}, {"b", "2"}}, "a\n\t1\nb\n\t2"},
        {"an empty label", {{"", "v"}}, "\n\tv"},
    };
    for (const Case& c : table) {
        EXPECT_EQ(ProgramState::writeChunkList(c.chunks), c.text) << c.what;
        EXPECT_EQ(ProgramState::parseChunkList(c.text), c.chunks) << c.what;
    }
}

TEST(ProgramState, DataBeforeTheFirstLabelIsSkipped)
{
    const std::vector<ProgramState::Entry> expected = {{"a", "1"}};
    EXPECT_EQ(ProgramState::parseChunkList("\tstray\na\n\t1"), expected);
}

TEST(ProgramState, EditsOneValueAndKeepsTheRest)
{
    ProgramState state = ProgramState::fromChunk(chunkOf(kSoftPreset));
    EXPECT_TRUE(state.setValue("ratio", "0.125"));
    EXPECT_FALSE(state.setValue("release", "1"));
    EXPECT_EQ(state.toText(), "Name\n\tSoft\nParameterList\n\tattack\n\t\t0.5\n\tratio\n\t\t0.125");
    EXPECT_EQ(state.toChunk().back(), '\0');
    EXPECT_EQ(state.value("attack").value_or(""), "0.5");
    EXPECT_FALSE(state.value("release").has_value());
}

TEST(ProgramState, TextsWithoutParameterListAreNotEditable)
{
    EXPECT_FALSE(ProgramState::fromChunk(chunkOf("Name\n\tSoft")).hasParameterList());
    EXPECT_FALSE(ProgramState::fromChunk({}).hasParameterList());
    EXPECT_FALSE(ProgramState::fromChunk({'\x01', '\x02', '\0', 'x'}).hasParameterList());
    // A fresh preset without entries still is one.
    const ProgramState fresh = ProgramState::fromChunk(chunkOf("Name\n\tDefault\nParameterList\n\t"));
    EXPECT_TRUE(fresh.hasParameterList());
    EXPECT_TRUE(fresh.parameters().empty());
    EXPECT_EQ(fresh.toText(), "Name\n\tDefault\nParameterList\n\t");
}

// The chunk ends at its first zero byte, whatever its reported size says.
TEST(ProgramState, StopsAtTheFirstZeroByte)
{
    std::vector<char> chunk = chunkOf(kSoftPreset);
    chunk.push_back('x');
    EXPECT_EQ(ProgramState::fromChunk(chunk).toText(), kSoftPreset);
    const std::vector<char> unterminated(kSoftPreset.begin(), kSoftPreset.end());
    EXPECT_EQ(ProgramState::fromChunk(unterminated).toText(), kSoftPreset);
}
