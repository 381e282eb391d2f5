// The render tool end to end: the built binary, run as a user runs it, against the gain test plug-in.

#include "ToolRunner.h"

#include "tools/render/FxPreset.h"
#include "tools/render/Gnuplot.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace zr::test;

namespace
{
constexpr int kRateHz = 44100;

// A 1 kHz sine; 0.5 is exact in every sample format, so levels have closed forms.
std::vector<float> sine(int frames, int channels, double amplitude)
{
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<float>(amplitude * std::sin(2.0 * M_PI * 1000.0 * i / kRateHz)));
    return samples;
}

// Multiples of 2 / 32768: exact in 16 bits, and still exact at half the level.
std::vector<float> evenSixteenBit(int frames, int channels)
{
    std::vector<float> samples;
    for (int i = 0; i < frames * channels; ++i)
        samples.push_back(static_cast<float>(((i * 37) % 2000 - 1000) * 2) / 32768.0f);
    return samples;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string replaced(std::string text, const std::string& key, const std::string& value)
{
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
}

// Gain 0.5 exactly: half dry, half wet with the wet gain at silence.
const std::vector<std::string> kHalfGain = {"--set", "Mix=50%", "--set", "Out Gain=-inf"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

double relativeDifference(double a, double b)
{
    const double scale = std::max(std::fabs(a), std::fabs(b));
    return scale > 0.0 ? std::fabs(a - b) / scale : 0.0;
}
} // namespace

TEST(RenderTool, ErrorsSayWhatIsWrongAndLeaveNoFiles)
{
    ScratchFolder dir;
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRateHz, sine(1000, 2, 0.5));
    writeSound(dir.path("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, kRateHz, sine(1000, 2, 0.5));
    writeSound(dir.path("three.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, kRateHz, sine(100, 3, 0.5));
    writeBytes(dir.path("notaudio.wav"), {'h', 'e', 'l', 'l', 'o', '\n'});
    mkdir(dir.path("folder").c_str(), 0755);
    ASSERT_EQ(symlink(dir.path("in.wav").c_str(), dir.path("link.wav").c_str()), 0);
    zr::host::FxPreset foreign;
    foreign.pluginId = vstFourCharCode('a', 'b', 'c', 'd');
    foreign.chunk = {'x', '\0'};
    writeBytes(dir.path("foreign.fxp"), zr::host::serializeFxPreset(foreign));
    foreign.pluginId = vstFourCharCode('z', 'r', 'G', 'T');
    std::vector<unsigned char> truncated = zr::host::serializeFxPreset(foreign);
    truncated.resize(truncated.size() - 3);
    writeBytes(dir.path("short.fxp"), truncated);
    writeBytes(dir.path("random.fxp"),
               {0x43, 0x63, 0x6E, 0x4B, 0xFF, 0xFF, 0xFF, 0xFF, 0x46, 0x78, 0x43, 0x6B});
    zr::host::FxPreset refusedBank;
    refusedBank.kind = zr::host::FxKind::BankChunk;
    refusedBank.pluginId = vstFourCharCode('z', 'r', 'G', 'T');
    refusedBank.chunk = {'n', 'o', ' ', 'b', 'a', 'n', 'k', '\0'};
    writeBytes(dir.path("refused.fxb"), zr::host::serializeFxPreset(refusedBank));
    const std::vector<std::string> filesBefore = dir.entries();

    struct Case
    {
        const char* what;
        std::vector<std::string> args; // {d} stands for the scratch folder
        int exitCode;
        const char* message;
    };
    const Case table[] = {
        {"missing input", {"{d}/missing.wav", "{d}/out.wav"}, 1, "cannot read {d}/missing.wav: No such file"},
        {"unreadable format",
         {"{d}/notaudio.wav", "{d}/out.wav"},
         1,
         "cannot read {d}/notaudio.wav as audio"},
        {"three channels", {"{d}/three.wav", "{d}/out.wav"}, 1, "has 3 channels; only mono and stereo"},
        {"unknown parameter",
         {"--set", "Threshold=1", "{d}/in.wav", "{d}/out.wav"},
         1,
         "unknown parameter 'Threshold'; valid names: Out Gain (outputGain), Frequenc (frequency), Time "
         "(time)"},
        {"value above the range",
         {"--set", "Out Gain=+13", "{d}/in.wav", "{d}/out.wav"},
         1,
         "Out Gain=+13: outside the range -inf dB .. 12.04 dB"},
        {"value below the range",
         {"--set", "frequency=5", "{d}/in.wav", "{d}/out.wav"},
         1,
         "frequency=5: outside the range 20 Hz .. 20 kHz"},
        {"unreadable value", {"--set", "Mix=lots", "{d}/in.wav", "{d}/out.wav"}, 1, "Mix=lots: not a value"},
        {"foreign preset",
         {"--preset", "{d}/foreign.fxp", "{d}/in.wav", "{d}/out.wav"},
         1,
         "cannot load preset {d}/foreign.fxp: it was made for the plug-in with ID 'abcd', not for this one "
         "('zrGT')"},
        {"truncated preset",
         {"--preset", "{d}/short.fxp", "{d}/in.wav", "{d}/out.wav"},
         1,
         "the file is truncated"},
        {"damaged preset", {"--preset", "{d}/random.fxp", "{d}/in.wav", "{d}/out.wav"}, 1, "random.fxp: "},
        {"preset that is no preset",
         {"--preset", "{d}/in.wav", "{d}/in.wav", "{d}/out.wav"},
         1,
         "not a VST preset file"},
        {"bank the plug-in refuses",
         {"--preset", "{d}/refused.fxb", "{d}/in.wav", "{d}/out.wav"},
         1,
         "the plug-in refused the bank"},
        {"preset saved over the input",
         {"--save-preset", "{d}/in.wav", "{d}/in.wav", "{d}/out.wav"},
         1,
         "the output {d}/in.wav is the input file itself"},
        {"picture over the output",
         {"--plot", "{d}/out.wav", "{d}/in.wav", "{d}/out.wav"},
         1,
         "{d}/out.wav is named for two different outputs"},
        {"output folder missing",
         {"{d}/in.wav", "{d}/nowhere/out.wav"},
         1,
         "cannot write {d}/nowhere/out.wav"},
        {"output is a folder", {"{d}/in.wav", "{d}/folder"}, 1, "the output {d}/folder is a folder"},
        {"output is the input", {"{d}/in.wav", "{d}/in.wav"}, 1, "is the input file itself"},
        {"output is the input by another path",
         {"{d}/in.wav", "{d}/folder/../in.wav"},
         1,
         "is the input file itself"},
        {"output is a link to the input", {"{d}/in.wav", "{d}/link.wav"}, 1, "is the input file itself"},
        {"float samples in FLAC",
         {"--float", "{d}/in.flac", "{d}/out.flac"},
         1,
         "cannot hold 32-bit float samples"},
        {"missing plug-in",
         {"--plugin", "{d}/none.so", "{d}/in.wav", "{d}/out.wav"},
         1,
         "cannot load plug-in {d}/none.so"},
        {"block of no frames",
         {"--block", "0", "{d}/in.wav", "{d}/out.wav"},
         2,
         "--block wants a whole number"},
        {"input without output", {"{d}/in.wav"}, 2, "an input file needs an output file"},
        {"unknown option", {"--loud", "{d}/in.wav", "{d}/out.wav"}, 2, "unknown option --loud"},
    };
    for (const Case& c : table) {
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(replaced(a, "{d}", dir.root()));
        const ToolResult result = runRender(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.err;
        const std::string message = replaced(c.message, "{d}", dir.root());
        EXPECT_TRUE(contains(result.err, message)) << c.what << ": got " << result.err;
        EXPECT_EQ(dir.entries(), filesBefore) << c.what;
    }
}

// The tool's own preset reproduces the state it was saved from, byte for byte of the state text.
TEST(RenderTool, SavedPresetsReloadTheSameState)
{
    ScratchFolder dir;
    for (const char* name : {"state.fxp", "state.fxb"}) {
        const ToolResult saved =
            runRender({"--set", "Out Gain=-7.5", "--set", "Frequency=3.3k", "--set", "time=35ms", "--set",
                       "Invert=on", "--save-preset", dir.path(name), "--print-state"});
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        const ToolResult loaded = runRender({"--preset", dir.path(name), "--print-state"});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
        EXPECT_EQ(loaded.out, saved.out) << name;
        EXPECT_TRUE(contains(saved.out, "\tfrequency\n\t\t3300\n")) << saved.out;
        const ToolResult fresh = runRender({"--print-state"});
        EXPECT_NE(fresh.out, saved.out);
    }
    const std::vector<unsigned char> program = readBytes(dir.path("state.fxp"));
    ASSERT_GE(program.size(), 12u);
    EXPECT_EQ(std::string(program.begin() + 8, program.begin() + 12), "FPCh");
    const std::vector<unsigned char> bank = readBytes(dir.path("state.fxb"));
    ASSERT_GE(bank.size(), 12u);
    EXPECT_EQ(std::string(bank.begin() + 8, bank.begin() + 12), "FBCh");
}

// A plug-in without chunks gets a parameter-value preset ('FxCk') and takes knob positions only.
TEST(RenderTool, PluginsWithoutChunksUseParameterPresets)
{
    ScratchFolder dir;
    const std::vector<std::string> plugin = {"--plugin", ZR_GAIN_TEST_PLUGIN_NO_CHUNKS};
    const ToolResult exact = runRender(with(plugin, {"--set", "Out Gain=-6", "--list"}));
    EXPECT_EQ(exact.exitCode, 1);
    EXPECT_TRUE(contains(exact.err, "give a knob position such as @0.5")) << exact.err;

    const ToolResult saved = runRender(with(plugin, {"--set", "Out Gain=@0.25", "--set", "Invert=on",
                                                     "--save-preset", dir.path("p.fxp"), "--list"}));
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::vector<unsigned char> bytes = readBytes(dir.path("p.fxp"));
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FxCk");
    const ToolResult loaded = runRender(with(plugin, {"--preset", dir.path("p.fxp"), "--list"}));
    EXPECT_EQ(loaded.out, saved.out);
    // Knob 0.25 on the square-root mapping of [0, 4] is gain 0.25: -12.0 dB.
    EXPECT_TRUE(contains(saved.out, "-12.0 dB")) << saved.out;
}

// Every way of naming a value gives the state of the equivalent knob position, which follows from the
// test plug-in's mappings: square root for the gain, logarithmic for frequency and ratio, fourth root
// for time, linear for the mix.
TEST(RenderTool, SettingsByNameAndUnitMatchKnobPositions)
{
    const double gainKnob = std::sqrt(std::pow(10.0, -12.0 / 20.0)) / 2.0;
    const double frequencyKnob = std::log(1500.0 / 20.0) / std::log(1000.0);
    const double timeKnob = std::pow(0.01 / 10.0, 0.25);
    const double ratioKnob = std::log(8.0 / 0.5) / std::log(64.0 / 0.5);
    struct Case
    {
        std::string setting;
        double knob;
    };
    const Case table[] = {
        {"Out Gain=-12", gainKnob},
        {"outputGain=-12dB", gainKnob},
        {"OUT GAIN=-12 dB", gainKnob},
        {"Out Gain=-inf", 0.0},
        {"Out Gain=-oo", 0.0},
        {"Frequency=1.5k", frequencyKnob},
        {"Frequenc=1500", frequencyKnob},
        {"frequency=1.5kHz", frequencyKnob},
        {"Time=10ms", timeKnob},
        {"time=0.01", timeKnob},
        {"Time=0.01s", timeKnob},
        {"Mix=50%", 0.5},
        {"mix=50", 0.5},
        {"Invert=on", 1.0},
        {"invert=off", 0.0},
        {"Ratio=8", ratioKnob},
        {"ratio=8 dB/dB", ratioKnob},
    };
    for (const Case& c : table) {
        const std::string name = c.setting.substr(0, c.setting.find('='));
        char knobText[64];
        std::snprintf(knobText, sizeof knobText, "%s=@%.17g", name.c_str(), c.knob);
        const ToolResult byValue = runRender({"--set", c.setting, "--print-state"});
        const ToolResult byKnob = runRender({"--set", knobText, "--print-state"});
        ASSERT_EQ(byValue.exitCode, 0) << c.setting << ": " << byValue.err;
        ASSERT_EQ(byKnob.exitCode, 0) << knobText << ": " << byKnob.err;
        const auto values = stateValues(byValue.out);
        const auto knobValues = stateValues(byKnob.out);
        ASSERT_EQ(values.size(), 6u) << byValue.out;
        ASSERT_EQ(values.size(), knobValues.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_EQ(values[i].first, knobValues[i].first);
            // The state text keeps 6 significant digits, and the knob passes the host as a float.
            EXPECT_LE(relativeDifference(values[i].second, knobValues[i].second), 1e-5)
                << c.setting << ": " << values[i].first << " " << values[i].second << " vs "
                << knobValues[i].second;
        }
    }
}

TEST(RenderTool, ListsEveryParameter)
{
    const ToolResult result = runRender({"--list"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "GainTest (zrGT), 6 parameters:"));
    for (const char* line : {"  0  Out Gain  outputGain               0.0 dB       -oo .. 12.0 dB",
                             "  1  Frequenc  frequency                1000 Hz      20 .. 20000 Hz",
                             "  4  Invert    invert                   off          off / on"})
        EXPECT_TRUE(contains(result.out, line)) << result.out;
}

TEST(RenderTool, KeepsTheFormatAndSampleType)
{
    ScratchFolder dir;
    struct Case
    {
        const char* name;
        int format;
        int channels;
    };
    const Case table[] = {
        {"stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2},
        {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1},
        {"stereo.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 2},
        {"stereo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
    };
    for (const Case& c : table) {
        const std::vector<float> input = evenSixteenBit(1000, c.channels);
        writeSound(dir.path(c.name), c.format, c.channels, kRateHz, input);
        const std::string out = dir.path(std::string("out-") + c.name);
        const ToolResult result = runRender(with(kHalfGain, {"--quiet", dir.path(c.name), out}));
        ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_EQ(result.out, "") << "--quiet";
        SF_INFO info;
        const std::vector<float> output = readSound(out, info);
        EXPECT_EQ(info.format, c.format) << c.name;
        EXPECT_EQ(info.channels, c.channels) << c.name;
        EXPECT_EQ(info.samplerate, kRateHz);
        ASSERT_EQ(output.size(), input.size()) << c.name;
        // Halving an even 16-bit value is exact in every format here, dual mono included.
        for (std::size_t i = 0; i < input.size(); ++i)
            ASSERT_EQ(output[i], 0.5f * input[i]) << c.name << " sample " << i;
    }
}

TEST(RenderTool, FloatOutputKeepsWhatIntegerOutputClips)
{
    ScratchFolder dir;
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRateHz, sine(441, 2, 0.5));
    // The top of the gain knob is the factor 4: the sine's peak goes to 2.0.
    const std::vector<std::string> loud = {"--quiet", "--set", "Out Gain=@1"};
    ASSERT_EQ(runRender(with(loud, {"--float", dir.path("in.wav"), dir.path("float.wav")})).exitCode, 0);
    ASSERT_EQ(runRender(with(loud, {dir.path("in.wav"), dir.path("int.wav")})).exitCode, 0);
    SF_INFO floatInfo, intInfo, inInfo;
    const std::vector<float> in = readSound(dir.path("in.wav"), inInfo);
    const std::vector<float> asFloat = readSound(dir.path("float.wav"), floatInfo);
    const std::vector<float> asInt = readSound(dir.path("int.wav"), intInfo);
    EXPECT_EQ(floatInfo.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(intInfo.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    float floatPeak = 0.0f;
    for (std::size_t i = 0; i < in.size(); ++i) {
        floatPeak = std::max(floatPeak, std::fabs(asFloat[i]));
        // Clipped toward full scale with the sign kept, never wrapped around.
        EXPECT_EQ(std::signbit(asInt[i]), std::signbit(in[i])) << i;
        EXPECT_LE(std::fabs(asInt[i]), 1.0f);
    }
    EXPECT_NEAR(floatPeak, 2.0f, 2e-3f); // the sampled sine misses its crest by less than 0.1 %
}

TEST(RenderTool, BlockSizesDoNotChangeTheResult)
{
    ScratchFolder dir;
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRateHz, sine(1000, 2, 0.5));
    // Samples, not bytes: float files carry a PEAK chunk with a time stamp.
    std::vector<std::vector<float>> outputs;
    for (const char* block : {"1", "7", "512", "4096"}) {
        const std::string out = dir.path(std::string("out-") + block + ".wav");
        ASSERT_EQ(runRender({"--quiet", "--set", "Out Gain=-3", "--block", block, dir.path("in.wav"), out})
                      .exitCode,
                  0);
        SF_INFO info;
        outputs.push_back(readSound(out, info));
    }
    for (const auto& output : outputs)
        EXPECT_EQ(output, outputs.front());
}

// A 0.5 sine has peak 20 log10(0.5) = -6.02 dBFS and RMS 3.01 dB below it; gain 0.5 takes 6.02 dB off.
TEST(RenderTool, SummaryReportsLevelsAndGainReduction)
{
    ScratchFolder dir;
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRateHz, sine(kRateHz, 2, 0.5));
    const ToolResult result = runRender(with(kHalfGain, {dir.path("in.wav"), dir.path("out.wav")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    int levelLines = 0;
    while (std::getline(lines, line)) {
        char direction[16], channel[16];
        double peakDb, rmsDb, largestDb, averageDb;
        if (std::sscanf(line.c_str(), " %15s %15s %lf %lf", direction, channel, &peakDb, &rmsDb) == 4) {
            const double gainDb = std::string(direction) == "output" ? -6.0206 : 0.0;
            // Two decimals printed; the sampled sine's crest is within 1e-4 dB of the amplitude.
            EXPECT_NEAR(peakDb, -6.0206 + gainDb, 0.006) << line;
            EXPECT_NEAR(rmsDb, -9.0309 + gainDb, 0.006) << line;
            ++levelLines;
        }
        if (std::sscanf(line.c_str(), " gain reduction: largest %lf dB, average %lf", &largestDb,
                        &averageDb) == 2) {
            EXPECT_NEAR(largestDb, 6.0206, 0.006);
            EXPECT_NEAR(averageDb, 6.0206, 0.006);
            ++levelLines;
        }
    }
    EXPECT_EQ(levelLines, 5) << result.out;
    EXPECT_TRUE(contains(result.out, "audio 1.00 s")) << result.out;
    EXPECT_TRUE(contains(result.out, "x realtime")) << result.out;
}

// Gain 0.5 is a straight line 6.02 dB under unity.
TEST(RenderTool, TransferCurveOfAGainIsAStraightLine)
{
    if (zr::host::findOnPath("gnuplot").empty()) GTEST_SKIP() << "gnuplot is not installed";
    ScratchFolder dir;
    const ToolResult result = runRender(with(kHalfGain, {"--curve", dir.path("curve.png")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    int points = 0;
    while (std::getline(lines, line)) {
        double inDb, outDb;
        if (std::sscanf(line.c_str(), " %lf %lf", &inDb, &outDb) != 2) continue;
        // Three decimals printed; the float tone's rounding is far below that.
        EXPECT_NEAR(outDb - inDb, -6.0206, 0.0006) << line;
        EXPECT_FALSE(contains(line, "not settled"));
        ++points;
    }
    EXPECT_EQ(points, 47); // -80 to +12 dBFS in 2 dB steps
    const std::vector<unsigned char> png = readBytes(dir.path("curve.png"));
    ASSERT_GE(png.size(), 4u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

TEST(RenderTool, PlotsWithGnuplotAndRefusesCleanlyWithout)
{
    ScratchFolder dir;
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRateHz, sine(4410, 2, 0.5));
    const ToolResult without = runRender(
        {"--plot", dir.path("p.png"), dir.path("in.wav"), dir.path("out.wav")}, {"PATH=/nonexistent"});
    EXPECT_EQ(without.exitCode, 1);
    EXPECT_TRUE(contains(without.err, "gnuplot, which is not installed (Debian package gnuplot-nox)"))
        << without.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

    if (zr::host::findOnPath("gnuplot").empty()) GTEST_SKIP() << "gnuplot is not installed";
    const ToolResult with =
        runRender({"--quiet", "--plot", dir.path("p.png"), dir.path("in.wav"), dir.path("out.wav")});
    ASSERT_EQ(with.exitCode, 0) << with.err;
    const std::vector<unsigned char> png = readBytes(dir.path("p.png"));
    ASSERT_GE(png.size(), 4u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "out.wav", "p.png"}));
}

// The test plug-in aborts on a NaN sample, standing in for a plug-in that crashes mid-file: the
// half-written output must not survive, and an output from an earlier run stays as it was.
TEST(RenderTool, APluginCrashLeavesNoHalfWrittenFile)
{
    ScratchFolder dir;
    std::vector<float> input = sine(20000, 2, 0.5);
    input[30000] = std::nanf("");
    writeSound(dir.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRateHz, input);
    const ToolResult result = runRender({"--block", "64", dir.path("in.wav"), dir.path("out.wav")});
    EXPECT_EQ(result.killedBy, SIGABRT) << "exit " << result.exitCode << ": " << result.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});

    writeBytes(dir.path("out.wav"), {'o', 'l', 'd'});
    EXPECT_EQ(runRender({"--block", "64", dir.path("in.wav"), dir.path("out.wav")}).killedBy, SIGABRT);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
    EXPECT_EQ(readBytes(dir.path("out.wav")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

TEST(DemoSignal, WritesTenSecondsOfStereoAtFortyFourOne)
{
    ScratchFolder dir;
    const ToolResult first = runProgram(ZR_DEMO_SIGNAL_TOOL, {dir.path("a.wav")});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(runProgram(ZR_DEMO_SIGNAL_TOOL, {dir.path("b.wav")}).exitCode, 0);
    SF_INFO info;
    const std::vector<float> samples = readSound(dir.path("a.wav"), info);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 441000);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    float peak = 0.0f;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    // Normalised to -1 dBFS (0.891), give or take the 16-bit step.
    EXPECT_NEAR(peak, 0.891f, 1e-4f);
    EXPECT_EQ(readBytes(dir.path("a.wav")), readBytes(dir.path("b.wav"))) << "the demo is deterministic";
}
