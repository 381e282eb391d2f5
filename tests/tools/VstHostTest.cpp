// The host and the parameter catalog in-process, against the gain test plug-in binary.

#include "tools/render/VstHost.h"
#include "tools/render/FxPreset.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/ProgramState.h"
#include "tools/render/TransferCurve.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace zr::host;

namespace
{
std::string state(VstHost& host)
{
    return ParameterCatalog::stateText(host);
}
} // namespace

TEST(VstHost, LoadsThePluginThroughItsEntryPoint)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    EXPECT_EQ(host.uniqueId(), vstFourCharCode('z', 'r', 'G', 'T'));
    EXPECT_EQ(host.numParams(), 6);
    EXPECT_EQ(host.numInputs(), 2);
    EXPECT_EQ(host.numOutputs(), 2);
    EXPECT_TRUE(host.hasProgramChunks());
    EXPECT_EQ(host.effectName(), "GainTest");
    // Names come through the 8-character host interface.
    EXPECT_EQ(host.parameterName(1), "Frequenc");
    EXPECT_EQ(host.parameterLabel(0), "dB");
    EXPECT_EQ(host.parameterDisplay(0), "0.0");
}

TEST(VstHost, FallsBackToTheOlderEntryPointName)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN_NO_CHUNKS);
    EXPECT_EQ(host.uniqueId(), vstFourCharCode('z', 'r', 'G', 'N'));
    EXPECT_FALSE(host.hasProgramChunks());
    EXPECT_TRUE(host.getChunk(true).empty());
}

TEST(VstHost, RefusesWhatIsNoPlugin)
{
    try {
        VstHost host("/nonexistent/plugin.so");
        FAIL() << "loaded a missing file";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot load plug-in /nonexistent/plugin.so"),
                  std::string::npos);
    }
    try {
        VstHost host("libm.so.6");
        FAIL() << "took the maths library for a plug-in";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("exports neither VSTPluginMain nor main"), std::string::npos);
    }
}

// The test plug-in aborts unless it is resumed and gets a valid tempo from the host's time query.
TEST(VstHost, ProcessesInBlocksWithTheTransportRunning)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    host.setSampleRate(48000.0);
    host.setBlockSize(7);
    host.setParameter(0, 0.5f);
    host.resume();
    std::vector<float> left(100), right(100), outLeft(100), outRight(100);
    for (int i = 0; i < 100; ++i)
        left[i] = right[i] = 0.01f * static_cast<float>(i);
    float* in[] = {left.data(), right.data()};
    float* out[] = {outLeft.data(), outRight.data()};
    host.process(in, out, 100);
    // Knob 0.5 on the square-root mapping of [0, 4] is gain (0.5 * sqrt(4))^2 = 1.
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(outLeft[i], left[i]);
    // 100 frames in blocks of 7 all reached the plug-in and moved the transport.
    EXPECT_EQ(host.samplePosition(), 100.0);
    host.suspend();
}

TEST(VstHost, ChunksRoundTrip)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    host.setParameter(3, 0.25f);
    const std::vector<char> program = host.getChunk(true);
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '\0');
    host.setParameter(3, 1.0f);
    host.setChunk(program, true);
    EXPECT_EQ(host.getChunk(true), program);

    // A chunk without its terminator still ends inside the host's buffer.
    std::vector<char> unterminated(program.begin(), program.end() - 1);
    host.setParameter(3, 1.0f);
    host.setChunk(unterminated, true);
    EXPECT_EQ(host.getChunk(true), program);
}

TEST(ParameterCatalog, FindsKeysAndRangesAndLeavesTheStateAlone)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    host.setParameter(2, 0.3f);
    const std::string before = state(host);
    const ParameterCatalog catalog(host);
    EXPECT_EQ(state(host), before);

    struct Expected
    {
        const char* key;
        double minValue, maxValue;
        bool isSwitch;
        ValueUnit unit;
    };
    // The test plug-in's table: gain 0..4, frequency 20..20000, time 0..10, mix 0..1, a switch, ratio.
    const Expected table[] = {
        {"outputGain", 0.0, 4.0, false, ValueUnit::Decibel},
        {"frequency", 20.0, 20000.0, false, ValueUnit::Hertz},
        {"time", 0.0, 10.0, false, ValueUnit::Seconds},
        {"mix", 0.0, 1.0, false, ValueUnit::Percent},
        {"invert", 0.0, 1.0, true, ValueUnit::Plain},
        {"ratio", 0.5, 64.0, false, ValueUnit::Plain},
    };
    ASSERT_EQ(catalog.parameters().size(), std::size(table));
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const ParameterInfo& p = catalog.parameters()[i];
        EXPECT_EQ(p.saveKey, table[i].key);
        EXPECT_EQ(p.isSwitch, table[i].isSwitch) << p.saveKey;
        EXPECT_EQ(p.unit, table[i].unit) << p.saveKey;
        if (!p.isSwitch) {
            EXPECT_EQ(p.minValue, table[i].minValue) << p.saveKey;
            EXPECT_EQ(p.maxValue, table[i].maxValue) << p.saveKey;
        }
    }
    EXPECT_TRUE(catalog.editsChunk());
}

TEST(ParameterCatalog, FindsParametersByEitherName)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    const ParameterCatalog catalog(host);
    struct Case
    {
        const char* name;
        int index;
    };
    const Case table[] = {
        {"Out Gain", 0},  {"out gain", 0},  {"OUTPUTGAIN", 0}, {"Frequency", 1}, {"Frequenc", 1},
        {"frequency", 1}, {"FREQUENCY", 1}, {" Mix ", 3},      {"ratio", 5},
    };
    for (const Case& c : table)
        EXPECT_EQ(catalog.find(c.name).index, c.index) << c.name;
    for (const char* unknown : {"Freq", "Threshold", "", "Out"}) {
        try {
            catalog.find(unknown);
            ADD_FAILURE() << "found " << unknown;
        } catch (const SettingError& e) {
            EXPECT_NE(std::string(e.what()).find("valid names: Out Gain (outputGain), Frequenc (frequency)"),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(ParameterCatalog, RefusesBadSettingsBeforeChangingAnything)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    const ParameterCatalog catalog(host);
    const std::string before = state(host);
    const std::vector<std::vector<Setting>> bad = {
        {{"Mix", "50%"}, {"Frequency", "10"}},   // below the range, after a good one
        {{"Mix", "50%"}, {"Out Gain", "+12.1"}}, // above 20 log10(4) = 12.04 dB
        {{"Time", "lots"}},
        {{"Invert", "maybe"}},
        {{"Mix", "@1.5"}},
        {{"Nothing", "1"}},
    };
    for (const auto& settings : bad) {
        EXPECT_THROW(catalog.apply(host, settings), SettingError) << settings.back().name;
        EXPECT_EQ(state(host), before);
    }
}

TEST(ParameterCatalog, RangeEndsInUserUnitsAreAccepted)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    const ParameterCatalog catalog(host);
    // 20 log10(4) rounded up in the last digit still names the top of the range, as typed from a display.
    catalog.apply(host, {{"Out Gain", "12.041199826559248"}, {"Frequency", "20k"}, {"Time", "0"}});
    const auto values = ProgramState::fromChunk(host.getChunk(true));
    EXPECT_EQ(values.value("outputGain").value_or(""), "4");
    EXPECT_EQ(values.value("frequency").value_or(""), "20000");
    EXPECT_EQ(values.value("time").value_or(""), "0");
}

TEST(ParameterCatalog, PluginsWithoutChunksTakeKnobPositionsOnly)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN_NO_CHUNKS);
    const ParameterCatalog catalog(host);
    EXPECT_FALSE(catalog.editsChunk());
    EXPECT_EQ(catalog.find("Out Gain").index, 0);
    EXPECT_TRUE(catalog.find("Invert").isSwitch);
    EXPECT_THROW(catalog.apply(host, {{"Out Gain", "-6"}}), SettingError);
    catalog.apply(host, {{"Out Gain", "@0.25"}, {"Invert", "on"}});
    EXPECT_EQ(host.getParameter(0), 0.25f);
    EXPECT_EQ(host.getParameter(4), 1.0f);
}

TEST(FxPreset, CapturedPresetsRestoreTheState)
{
    for (const char* path : {ZR_GAIN_TEST_PLUGIN, ZR_GAIN_TEST_PLUGIN_NO_CHUNKS}) {
        for (bool bank : {false, true}) {
            SCOPED_TRACE(std::string(path) + (bank ? " bank" : " program"));
            VstHost host(path);
            host.setParameter(1, 0.75f);
            host.setParameter(4, 1.0f);
            const std::vector<float> knobs = {host.getParameter(1), host.getParameter(4)};
            const FxPreset preset = parseFxPreset(serializeFxPreset(captureFxPreset(host, bank)));
            EXPECT_EQ(preset.isBank(), bank);
            VstHost fresh(path);
            applyFxPreset(fresh, preset);
            // The chunk keeps 6 digits of the frequency; the parameter variant keeps the float knob.
            EXPECT_NEAR(fresh.getParameter(1), knobs[0], 1e-6f);
            EXPECT_EQ(fresh.getParameter(4), knobs[1]);
        }
    }
}

TEST(FxPreset, RefusesPresetsOfOtherPlugins)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    FxPreset preset = captureFxPreset(host, false);
    preset.pluginId = vstFourCharCode('a', 'b', 'c', 'd');
    try {
        applyFxPreset(host, preset);
        FAIL() << "took a foreign preset";
    } catch (const PresetFileError& e) {
        EXPECT_STREQ(e.what(), "it was made for the plug-in with ID 'abcd', not for this one ('zrGT')");
    }
    VstHost noChunks(ZR_GAIN_TEST_PLUGIN_NO_CHUNKS);
    preset.pluginId = noChunks.uniqueId();
    EXPECT_THROW(applyFxPreset(noChunks, preset), PresetFileError);
}

// A gain of 0.5 (mix 50 %, wet gain 0) is a line 20 log10(0.5) = -6.0206 dB under unity at every level.
TEST(TransferCurve, OfAGainIsAStraightLine)
{
    VstHost host(ZR_GAIN_TEST_PLUGIN);
    host.setSampleRate(48000.0);
    host.setBlockSize(256);
    host.setParameter(3, 0.5f);
    host.setParameter(0, 0.0f);
    const std::vector<CurvePoint> curve = measureTransferCurve(host);
    ASSERT_EQ(curve.size(), 47u); // -80 to +12 dBFS in 2 dB steps
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_EQ(curve[i].inputDbfs, -80.0 + 2.0 * static_cast<double>(i));
        // The tone is rounded to float, 1e-7 relative; 50 ms hold 50 whole periods of 1 kHz at 48 kHz.
        EXPECT_NEAR(curve[i].outputDbfs - curve[i].inputDbfs, 20.0 * std::log10(0.5), 1e-5);
        EXPECT_TRUE(curve[i].settled);
    }
    EXPECT_FALSE(host.isResumed());
}
