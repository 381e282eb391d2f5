// The test plug-in driven by index, as a VST host drives it through the host bridge.

#include "Common/musicplugin/Chunk.h"
#include "TestPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace
{
class EmptyPlugin : public MusicPlugin
{
public:
    EmptyPlugin()
        : MusicPlugin("\xff"
                      "abc",
                      "Empty", "", "", 0, 1, false)
    {}
    void clear() noexcept override {}
    void process(const float* const*, float* const*, int) noexcept override {}
};

// What the host reads from its 9-byte buffer; checks the zero fill and that nothing lands beyond it.
std::string hostText(void (ParamList::*copy)(int, char*) const, const ParamList& list, int index)
{
    char buffer[12];
    std::memset(buffer, 'x', sizeof buffer);
    (list.*copy)(index, buffer);
    for (std::size_t i = std::strlen(buffer); i <= 8; ++i)
        EXPECT_EQ(buffer[i], '\0') << "byte " << i;
    EXPECT_EQ(buffer[9], 'x');
    return buffer;
}
} // namespace

TEST(MusicPlugin, IdentityDefaultsAndListenersAtConstruction)
{
    TestPlugin plugin;
    EXPECT_EQ(plugin.uniqueId, 0x61626364);
    EXPECT_EQ(EmptyPlugin().uniqueId, static_cast<std::int32_t>(0xff616263u)) << "bytes taken unsigned";
    ASSERT_EQ(plugin.presetBank.presetList.size(), 1u);
    EXPECT_EQ(plugin.presetBank.presetList[0].save(), Preset("Default").save());
    EXPECT_EQ(plugin.tempo.getValue(), 60.0);
    plugin.sampleRate.setValue(44100.0);
    plugin.sampleRate.setValue(48000.0);
    EXPECT_EQ(plugin.engine.log, (Log{"cutoff:20", "listen:off", "rate:44100", "rate:48000"}));
}

TEST(MusicPlugin, HostDrivesParametersByIndexAndValueListenersRunFirst)
{
    TestPlugin plugin;
    ParamList& list = plugin.paramList;
    ASSERT_EQ(list.numParams(), 10);
    const char* const names[] = {"Ratio", "Side HP", "Attack", "Threshol", "Out Gain",
                                 "Mix",   "Steps",   "Plain",  "Sd Liste", "Confirm"};
    const char* const labels[] = {"dB/dB", "Hz", "s", "dB", "dB", "%", "", "", "", ""};
    const char* const displays[] = {"32", "20", "200m", "0.0", "0.0", "100", "2", "false", "off", "yes"};
    for (int i = 0; i < list.numParams(); ++i) {
        EXPECT_EQ(hostText(&ParamList::vstGetParameterName, list, i), names[i]);
        EXPECT_EQ(hostText(&ParamList::vstGetParameterLabel, list, i), labels[i]);
        EXPECT_EQ(hostText(&ParamList::vstGetParameterDisplay, list, i), displays[i]);
    }

    plugin.cutoff.addKnobListener(new Recorder<double>(plugin.engine.log, "knob"));
    plugin.engine.log.clear();
    list.vstSetParameter(1, 1.0f);
    list.vstSetParameter(8, 0.75f);
    list.vstSetParameter(8, 0.9f);
    EXPECT_EQ(plugin.engine.log, (Log{"cutoff:2000", "knob:1", "listen:on"}));
    EXPECT_EQ(list.vstGetParameter(8), 1.0f);
    list.vstSetParameter(1, 0.0f);
    EXPECT_EQ(plugin.cutoff.getValue(), 5.0);
    list.vstSetParameter(4, 0.0f);
    EXPECT_EQ(hostText(&ParamList::vstGetParameterDisplay, list, 4), "-oo");
    list.vstSetParameter(6, 0.3f);
    EXPECT_EQ(list.vstGetParameter(6), static_cast<float>(1.0 / 3.0));
    list.vstSetParameter(0, 0.5f);
    EXPECT_EQ(hostText(&ParamList::vstGetParameterDisplay, list, 0), "5.657")
        << "sqrt(0.5 * 64), the geometric mean";
    EXPECT_EQ(list.vstGetParameter(0), 0.5f);
    EXPECT_EQ(EmptyPlugin().paramList.vstGetParameter(0), 0.0f);
}

TEST(MusicPlugin, BankTextRestoresEveryParameterExactly)
{
    TestPlugin source;
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> hostPosition(0.0f, 1.0f);
    for (int i = 0; i < source.paramList.numParams(); ++i)
        source.paramList.vstSetParameter(i, hostPosition(random));
    // Program 0 holds the edits, program 1 nothing; the bank text is built as the host bridge builds it.
    source.presetBank.presetList.emplace_back("Empty");
    source.presetBank.getPreset(0).name = "Edited";
    source.paramList.savePreset(source.presetBank.getPreset(0));
    std::string presets;
    for (const Preset& preset : source.presetBank.presetList)
        Chunk::push_back(presets, "Preset", preset.save());
    std::string bank;
    Chunk::push_back(bank, "presetList", presets);

    TestPlugin target;
    target.presetBank.load(bank);
    target.paramList.loadPreset(target.presetBank.getPreset(0));
    EXPECT_EQ(target.presetBank.getPreset(0).name, "Edited");
    EXPECT_EQ(target.saveStrings(), source.saveStrings());
    std::vector<Param*> sourceParams = source.params(), targetParams = target.params();
    for (std::size_t i = 0; i < sourceParams.size(); ++i)
        EXPECT_EQ(targetParams[i]->getKnobPos(), sourceParams[i]->getKnobPos())
            << sourceParams[i]->getSaveName();
    EXPECT_EQ(target.cutoff.getValue(), source.cutoff.getValue());
    EXPECT_EQ(target.attack.getValue(), source.attack.getValue());

    target.paramList.loadPreset(target.presetBank.getPreset(1));
    EXPECT_EQ(target.saveStrings(), TestPlugin().saveStrings())
        << "no entries: every parameter at its default";
}

TEST(MusicPlugin, SavePresetReplacesEntriesAndLoadPresetSkipsUnknownOnes)
{
    TestPlugin plugin;
    Preset preset("Old");
    preset.values = {{"stale", "1"}, {"steps", "0"}};
    plugin.paramList.savePreset(preset);
    EXPECT_EQ(preset.name, "Old");
    EXPECT_EQ(preset.values.size(), 10u);
    EXPECT_EQ(preset.values.count("stale"), 0u);
    Preset partial("Partial");
    partial.values = {{"mix", "0.25"}, {"unknown", "7"}};
    plugin.steps.setValue(0);
    plugin.paramList.loadPreset(partial);
    EXPECT_EQ(plugin.mix.getValue(), 0.25);
    EXPECT_EQ(plugin.steps.getValue(), 2) << "no entry: back to the default";
}
