#include "Common/musicplugin/Chunk.h"
#include "Common/musicplugin/PresetBank.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
// The program Soft of docs/chunk-format.md: attack 0.5 and ratio 0.25, 52 bytes.
const std::string softText = "Name\n\tSoft\nParameterList\n\tattack\n\t\t0.5\n\tratio\n\t\t0.25";

Preset makePreset(const std::string& name, const std::string& attack, const std::string& ratio)
{
    Preset preset(name);
    preset.values["ratio"] = ratio;
    preset.values["attack"] = attack;
    return preset;
}

// The bank text as the host bridge builds it: "Preset" entries wrapped in one "presetList" chunk.
std::string bankText(const PresetBank& bank)
{
    std::string presets;
    for (const Preset& preset : bank.presetList)
        Chunk::push_back(presets, "Preset", preset.save());
    std::string text;
    Chunk::push_back(text, "presetList", presets);
    return text;
}
} // namespace

TEST(Chunk, SoftProgramWritesAndReadsBackLevelByLevel)
{
    std::string text = Chunk::create("Name", "Soft");
    std::string list;
    Chunk::push_back(list, "attack", "0.5");
    Chunk::push_back(list, "ratio", "0.25");
    Chunk::push_back(text, "ParameterList", list);
    EXPECT_EQ(text, softText);
    EXPECT_EQ(text.size(), 52u);

    std::string label, data, inner, value;
    Chunk::Parser parser(text);
    ASSERT_TRUE(parser.getChunk(label, data));
    EXPECT_EQ(label + "=" + data, "Name=Soft");
    ASSERT_TRUE(parser.getChunk(label, inner));
    EXPECT_EQ(label + "=" + inner, "ParameterList=attack\n\t0.5\nratio\n\t0.25");
    EXPECT_FALSE(parser.getChunk(label, data));
    Chunk::Parser innerParser(inner);
    ASSERT_TRUE(innerParser.getChunk(label, value) && label + "=" + value == "attack=0.5");
    ASSERT_TRUE(innerParser.getChunk(label, value) && label + "=" + value == "ratio=0.25");
    EXPECT_FALSE(innerParser.getChunk(label, value));
}

TEST(Chunk, AnyDataReadsBackUnchangedAndSearchSeesOnlyTopLevelLabels)
{
    const std::pair<const char*, const char*> cases[] = {{"", "L\n\t"},
                                                         {"a\n\tb\n", "L\n\ta\n\t\tb\n\t"},
                                                         {"\n\n", "L\n\t\n\t\n\t"},
                                                         {"\t\tdeep\r", "L\n\t\t\tdeep\r"}};
    for (const auto& c : cases) {
        std::string text = Chunk::create("L", c.first);
        EXPECT_EQ(text, c.second);
        Chunk::push_back(text, "M", "m");
        Chunk::Parser parser(text);
        std::string label, data;
        ASSERT_TRUE(parser.getChunk(label, data));
        EXPECT_EQ(label + "|" + data, std::string("L|") + c.first);
        ASSERT_TRUE(parser.getChunk(label, data));
        EXPECT_EQ(label + "|" + data, "M|m") << "the following chunk is intact";
    }
    std::string data = "unchanged";
    Chunk::Parser nested(Chunk::create("outer", Chunk::create("middle", "v")));
    EXPECT_FALSE(nested.findChunk("middle", data));
    EXPECT_EQ(data, "unchanged");
    Chunk::Parser crlf("Name\r\n\tSoft");
    EXPECT_FALSE(crlf.find("Name")) << "a carriage return is part of the line";
    Chunk::Parser twice("\tstray\nA\n\tfirst\nA\n\tsecond");
    ASSERT_TRUE(twice.findChunk("A", data));
    EXPECT_EQ(data, "first");
}

TEST(Preset, SaveAndLoadRoundTripNamesAndAwkwardValues)
{
    EXPECT_EQ(Preset("Default").save(), "Name\n\tDefault\nParameterList\n\t");
    EXPECT_EQ(makePreset("Soft", "0.5", "0.25").save(), softText) << "keys in byte order";
    Preset awkward("two\nlines");
    awkward.values = {
        {"Zeta", "\tleading tab"}, {"alpha", "line\nfeed\n"}, {"empty", ""}, {"tabs", "\n\t\n\t\t"}};
    Preset loaded("other");
    loaded.values["stale"] = "1";
    loaded.load(awkward.save());
    EXPECT_EQ(loaded.name, awkward.name);
    EXPECT_EQ(loaded.values, awkward.values);
    loaded.load("Name\n\tOnly");
    EXPECT_EQ(loaded.name, "Only");
    EXPECT_TRUE(loaded.values.empty());
}

TEST(PresetBank, SoftAndGentleBankLoadsPadsAndFailsWithoutChangingAnything)
{
    PresetBank bank;
    bank.presetList = {makePreset("Soft", "0.5", "0.25"), makePreset("Gentle", "0.3", "0.5")};
    const std::string expected =
        "presetList\n\tPreset\n\t\tName\n\t\t\tSoft\n\t\tParameterList\n\t\t\tattack\n"
        "\t\t\t\t0.5\n\t\t\tratio\n\t\t\t\t0.25\n\tPreset\n\t\tName\n\t\t\tGentle\n"
        "\t\tParameterList\n\t\t\tattack\n\t\t\t\t0.3\n\t\t\tratio\n\t\t\t\t0.5";
    EXPECT_EQ(bankText(bank), expected);
    EXPECT_EQ(expected.size(), 161u);

    PresetBank three;
    three.presetList = {Preset("A"), Preset("B"), Preset("C")};
    three.load(Chunk::create("presetList", Chunk::create("Program", "ParameterList\n\tattack\n\t\t0.7")));
    ASSERT_EQ(three.presetList.size(), 3u) << "the list never shrinks";
    EXPECT_EQ(three.presetList[0].name, "Default") << "an entry without Name; any inner label loads";
    EXPECT_EQ(three.presetList[0].values.at("attack"), "0.7");
    EXPECT_EQ(three.presetList[2].save(), Preset("Default").save());
    three.load(expected);
    EXPECT_EQ(bankText(three), expected + "\n\tPreset\n\t\tName\n\t\t\tDefault\n\t\tParameterList\n\t\t\t");

    try {
        bank.load(softText);
        ADD_FAILURE() << "a preset text loaded as a bank";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "Couldn't find presetList chunk");
    }
    EXPECT_EQ(bankText(bank), expected);
    bank.copyPreset(1, 0);
    EXPECT_EQ(bank.getPreset(0).save(), bank.getPreset(1).save());
}
