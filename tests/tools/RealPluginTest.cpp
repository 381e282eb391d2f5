// The render tool against the real plug-in binary.

#include "InProcessHost.h"
#include "ToolRunner.h"
#include "ZaRorurarozeParam.h"
#include "ZaRorurarozePlugin.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

// The eleven parameters, their host names cut to 8 characters ("Sd Listen" is shown as "Sd Liste"),
// their save keys in the chunk.
TEST(RealPlugin, ListsItsElevenParametersWithTheirKeys)
{
    const ToolResult result = runRealRender({"--list"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "ZaRoruraroze (zlSB), 11 parameters:")) << result.out;
    const char* const rows[][2] = {{"Side HP", "sidechainHighpassCutoff"},
                                   {"Side LP", "sidechainLowpassCutoff"},
                                   {"Sd Liste", "sidechainListen"},
                                   {"Drive", "drive"},
                                   {"Attack", "attack"},
                                   {"Release", "release"},
                                   {"Hilbert", "hilbert"},
                                   {"Threshol", "threshold"},
                                   {"Ratio", "ratio"},
                                   {"Out Gain", "outputGain"},
                                   {"Mix", "mix"}};
    static_assert(std::size(rows) == Knob::count);
    for (int i = 0; i < Knob::count; ++i) {
        char start[80];
        std::snprintf(start, sizeof start, "%3d  %-9s %-24s", i, rows[i][0], rows[i][1]);
        EXPECT_TRUE(contains(result.out, start)) << start << "\n" << result.out;
    }
}

// Without --plugin the tool takes the ZaRoruraroze.so one folder up from itself, where the build puts it.
TEST(RealPlugin, IsTheDefaultPlugin)
{
    const ToolResult result = runProgram(ZR_RENDER_TOOL, {"--list"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "ZaRoruraroze (zlSB), 11 parameters:")) << result.out;
}

// Threshold is a square-root knob over [0.001, 4]; -12 dB is the factor 10^(-12/20).
TEST(RealPlugin, ThresholdByNameAndUnitMatchesTheKnob)
{
    const double factor = std::pow(10.0, -12.0 / 20.0);
    const double knob = (std::sqrt(factor) - std::sqrt(0.001)) / (std::sqrt(4.0) - std::sqrt(0.001));
    char knobText[64];
    std::snprintf(knobText, sizeof knobText, "threshold=@%.17g", knob);
    const ToolResult byValue = runRealRender({"--set", "Threshold=-12dB", "--print-state"});
    const ToolResult byKnob = runRealRender({"--set", knobText, "--print-state"});
    ASSERT_EQ(byValue.exitCode, 0) << byValue.err;
    ASSERT_EQ(byKnob.exitCode, 0) << byKnob.err;
    const auto a = stateValues(byValue.out);
    const auto b = stateValues(byKnob.out);
    ASSERT_EQ(a.size(), std::size_t(Knob::count)) << byValue.out;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].first, b[i].first);
        // 6 significant digits in the state text, and a float knob.
        EXPECT_NEAR(a[i].second, b[i].second, 1e-5 * std::fabs(a[i].second)) << a[i].first;
    }
}

TEST(RealPlugin, PresetRoundTripReproducesTheState)
{
    ScratchFolder dir;
    const ToolResult saved = runRealRender(
        {"--set", "Threshold=-20", "--set", "Ratio=4", "--set", "Attack=10ms", "--set", "Side HP=100",
         "--set", "Hilbert=on", "--set", "Mix=80%", "--save-preset", dir.path("p.fxp"), "--print-state"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const ToolResult loaded = runRealRender({"--preset", dir.path("p.fxp"), "--print-state"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(loaded.out, saved.out);
}

TEST(RealPlugin, RendersTheDemoSignal)
{
    ScratchFolder dir;
    ASSERT_EQ(runProgram(ZR_DEMO_SIGNAL_TOOL, {dir.path("demo.wav"), "--seconds", "2"}).exitCode, 0);
    const ToolResult result =
        runRealRender({"--float", "--set", "Threshold=-30", dir.path("demo.wav"), dir.path("out.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    SF_INFO info;
    const std::vector<float> out = readSound(dir.path("out.wav"), info);
    EXPECT_EQ(info.frames, 88200);
    for (float s : out)
        ASSERT_TRUE(std::isfinite(s));
    EXPECT_TRUE(contains(result.out, "gain reduction: largest")) << result.out;
}

// The binary driven through its VST 2 interface by the tool computes exactly what the plug-in class
// computes when called directly, block by block at the same sample rate: nothing is lost or added on the
// way through the host, the adaptor and the file.
TEST(RealPlugin, BinaryOutputIsBitExactWithTheInProcessPlugin)
{
    ScratchFolder dir;
    ASSERT_EQ(runProgram(ZR_DEMO_SIGNAL_TOOL, {dir.path("demo.wav"), "--seconds", "3"}).exitCode, 0);
    // Threshold and Attack moved by knob, as a host does.
    const float thresholdKnob = 0.3f;
    const float attackKnob = 0.2f;
    char thresholdSetting[64], attackSetting[64];
    std::snprintf(thresholdSetting, sizeof thresholdSetting, "threshold=@%.9g", thresholdKnob);
    std::snprintf(attackSetting, sizeof attackSetting, "attack=@%.9g", attackKnob);
    const ToolResult result =
        runRealRender({"--float", "--quiet", "--block", "512", "--set", thresholdSetting, "--set",
                       attackSetting, dir.path("demo.wav"), dir.path("out.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    SF_INFO inInfo, outInfo;
    const std::vector<float> input = readSound(dir.path("demo.wav"), inInfo);
    const std::vector<float> viaBinary = readSound(dir.path("out.wav"), outInfo);
    ASSERT_EQ(viaBinary.size(), input.size());

    ZaRorurarozePlugin plugin;
    plugin.sampleRate.setValue(inInfo.samplerate);
    plugin.paramList.vstSetParameter(Knob::threshold, thresholdKnob);
    plugin.paramList.vstSetParameter(Knob::attack, attackKnob);
    const std::size_t frames = static_cast<std::size_t>(inInfo.frames);
    Stereo in{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        in.left[i] = input[2 * i];
        in.right[i] = input[2 * i + 1];
    }
    const Stereo out = processInBlocks(plugin, in, {512});
    for (std::size_t i = 0; i < frames; ++i) {
        ASSERT_EQ(viaBinary[2 * i], out.left[i]) << "frame " << i;
        ASSERT_EQ(viaBinary[2 * i + 1], out.right[i]) << "frame " << i;
    }
}
