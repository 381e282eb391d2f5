// The built plug-in binary driven only through the VST 2 interface, as a host drives it.

#include "LoadedPlugin.h"
#include "ZaRorurarozeParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
const double twoPi = 6.283185307179586;

std::vector<float> tone(size_t frames, double frequencyHz, double amplitude, double sampleRateHz = 44100.0)
{
    std::vector<float> samples(frames);
    for (size_t i = 0; i < frames; ++i)
        samples[i] = static_cast<float>(
            amplitude * std::sin(twoPi * frequencyHz * static_cast<double>(i) / sampleRateHz));
    return samples;
}

// The program chunk of a fresh instance: keys in byte order, values as a stream writes them.
const char* const defaultProgramText = "Name\n\tDefault\nParameterList\n"
                                       "\tattack\n\t\t0.2\n"
                                       "\tdrive\n\t\t1\n"
                                       "\thilbert\n\t\tfalse\n"
                                       "\tmix\n\t\t1\n"
                                       "\toutputGain\n\t\t1\n"
                                       "\tratio\n\t\t32\n"
                                       "\trelease\n\t\t0.2\n"
                                       "\tsidechainHighpassCutoff\n\t\t20\n"
                                       "\tsidechainListen\n\t\tfalse\n"
                                       "\tsidechainLowpassCutoff\n\t\t40000\n"
                                       "\tthreshold\n\t\t1";
} // namespace

TEST(HostTest, AnnouncesItselfInAEffect)
{
    LoadedPlugin plugin;
    AEffect* e = plugin.effect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->uniqueID, 0x7A6C5342); // "zlSB"
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, Knob::count);
    // can-mono, can-replacing, program chunks, and has-editor where the build has an editor.
    EXPECT_EQ(e->flags, ZR_PLUGIN_HAS_EDITOR ? 0x39 : 0x38);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->initialDelay, 0);
    ASSERT_FALSE(plugin.hostCalls.empty());
    EXPECT_EQ(plugin.hostCalls.front().opcode, audioMasterVersion); // the first thing main asks
}

TEST(HostTest, DispatcherAnswers)
{
    LoadedPlugin plugin;
    char text[80] = {};
    struct Case
    {
        VstInt32 opcode;
        VstIntPtr expected;
    };
    // Answers of the effect for requests without side effects worth checking elsewhere.
    const Case cases[] = {
        {effGetProgram, 0},
        {effGetVu, 0},
        {effEditGetRect, ZR_PLUGIN_HAS_EDITOR}, // without a display too, before any open
        {effEditOpen, 0},                       // text is no window to open in
        {effEditClose, 0},
        {effEditIdle, 0},
        {16, 0},
        {17, 0},
        {18, 0},
        {20, 0},
        {21, 0},
        {effIdentify, 0x4E764566},
        {effCanBeAutomated, 1},
        {effString2Parameter, 0},
        {effGetNumProgramCategories, 1},
        {effGetPlugCategory, 0},
        {effGetVendorVersion, 0},
        {effGetTailSize, 0},
        {effKeysRequired, 1},
        {effGetVstVersion, 2300},
        {effGetCurrentMidiProgram, -1},
        {effEditKeyDown, 0},
        {effEditKeyUp, 0},
        {effSetEditKnobMode, 0},
        {77, 0},
        {90, 0},
        {-1, 0},
        {-5, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plugin.dispatch(c.opcode, 0, 0, text), c.expected) << "opcode " << c.opcode;

    EXPECT_EQ(plugin.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "ZaRoruraroze");
    EXPECT_EQ(plugin.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Orrel @ Quenderlab");
    EXPECT_EQ(plugin.dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "ZaRoruraroze"); // no product name: the effect name stands in

    char receiveTime[] = "receiveVstTimeInfo";
    char receiveMidi[] = "receiveVstMidiEvent";
    char receiveEvents[] = "receiveVstEvents";
    char bypass[] = "bypass";
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, receiveTime), 1);
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, receiveMidi), 0);
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, receiveEvents), 0);
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, bypass), 0);
}

TEST(HostTest, ParametersAtTheirDefaults)
{
    LoadedPlugin plugin;
    struct Expected
    {
        const char* name;
        const char* label;
        const char* display;
        double knob; // from the parameter's mapping at its default
    };
    const Expected expected[] = {
        {"Side HP", "Hz", "20", std::log(4.0) / std::log(400.0)},
        {"Side LP", "Hz", "40k", 1.0},
        {"Sd Liste", "", "off", 0.0},
        {"Drive", "dB", "0.0", 0.25}, // ln 10 / ln 10000
        {"Attack", "s", "200m", std::pow(0.02, 0.25)},
        {"Release", "s", "200m", std::pow(0.02, 0.25)},
        {"Hilbert", "", "off", 0.0},
        {"Threshol", "dB", "0.0", (1.0 - std::sqrt(0.001)) / (2.0 - std::sqrt(0.001))},
        {"Ratio", "dB/dB", "32", 6.0 / 7.0}, // ln 64 / ln 128
        {"Out Gain", "dB", "0.0", 0.5},
        {"Mix", "%", "100", 1.0},
    };
    static_assert(std::size(expected) == Knob::count);
    for (int i = 0; i < Knob::count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(plugin.paramName(i), expected[i].name);
        EXPECT_EQ(plugin.paramLabel(i), expected[i].label);
        EXPECT_EQ(plugin.paramDisplay(i), expected[i].display);
        // The knob crosses the interface as a float.
        EXPECT_NEAR(plugin.knob(i), expected[i].knob, 1e-7);
    }
}

TEST(HostTest, KnobEndsGiveRangeEndsAndDisplaysFollow)
{
    LoadedPlugin plugin;
    plugin.setKnob(Knob::threshold, 0.0f);
    EXPECT_EQ(plugin.paramDisplay(Knob::threshold), "-60.0"); // minimum 0.001
    plugin.setKnob(Knob::outputGain, 0.0f);
    EXPECT_EQ(plugin.paramDisplay(Knob::outputGain), "-oo");
    plugin.setKnob(Knob::drive, 1.0f);
    EXPECT_EQ(plugin.paramDisplay(Knob::drive), "60.0"); // 1000
    plugin.setKnob(Knob::sidechainListen, 0.5f);
    EXPECT_EQ(plugin.paramDisplay(Knob::sidechainListen), "on");
    EXPECT_EQ(plugin.knob(Knob::sidechainListen), 1.0f);
    plugin.setKnob(Knob::mix, 0.5f);
    EXPECT_EQ(plugin.paramDisplay(Knob::mix), "50");
}

TEST(HostTest, ProgramNamesAndCalls)
{
    LoadedPlugin plugin;
    EXPECT_EQ(plugin.programName(), "Default");

    char longName[] = "A program name of thirty chars";
    plugin.dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(plugin.programName(), std::string(longName).substr(0, 24));
    // The whole name is kept in the stored program.
    EXPECT_NE(plugin.chunk(true).find("\tA program name of thirty chars\n"), std::string::npos);

    char name[40];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 0, 7, name), 1);
    EXPECT_EQ(std::string(name), std::string(longName).substr(0, 24));

    EXPECT_EQ(plugin.dispatch(effSetProgram, 0, 0), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin.dispatch(effCopyProgram, 0), 1);
}

TEST(HostTest, ChunkBytesForProgramAndBank)
{
    LoadedPlugin plugin;
    void* data = nullptr;
    VstIntPtr bytes = plugin.dispatch(effGetChunk, 1, 0, &data);
    ASSERT_NE(data, nullptr);
    std::string program(defaultProgramText);
    EXPECT_EQ(bytes, static_cast<VstIntPtr>(program.size() + 1));
    EXPECT_EQ(std::string(static_cast<const char*>(data)), program);
    EXPECT_EQ(static_cast<const char*>(data)[program.size()], '\0');

    // The bank wraps the program one level deeper under "presetList" / "Preset".
    std::string indented;
    for (char c : program) {
        indented += c;
        if (c == '\n') indented += "\t\t";
    }
    std::string bank = "presetList\n\tPreset\n\t\t" + indented;
    EXPECT_EQ(plugin.chunk(false), bank + '\0');
}

TEST(HostTest, ChunkRoundTripsRestoreEveryParameter)
{
    const float knobs[Knob::count] = {0.1f, 0.7f, 1.0f, 0.6f, 0.05f, 0.9f, 1.0f, 0.3f, 0.2f, 0.8f, 0.35f};
    std::string program;
    std::string bank;
    std::vector<float> knobsSet(Knob::count);
    {
        LoadedPlugin source;
        for (int i = 0; i < Knob::count; ++i)
            source.setKnob(i, knobs[i]);
        for (int i = 0; i < Knob::count; ++i)
            knobsSet[static_cast<size_t>(i)] = source.knob(i);
        program = source.chunk(true);
        bank = source.chunk(false);
    }
    for (bool isPreset : {true, false}) {
        LoadedPlugin target;
        EXPECT_EQ(target.setChunk(isPreset ? program : bank, isPreset), 1);
        EXPECT_EQ(target.chunk(true), program);
        EXPECT_EQ(target.chunk(false), bank);
        for (int i = 0; i < Knob::count; ++i)
            EXPECT_NEAR(target.knob(i), knobsSet[static_cast<size_t>(i)], 2e-6)
                << "parameter " << i; // save texts keep six significant digits
    }
}

TEST(HostTest, ReplacingAndAccumulatingOutput)
{
    const Stereo input{tone(4096, 1000.0, 0.5), tone(4096, 300.0, 0.25)};
    const Stereo previous{std::vector<float>(4096, 0.25f), std::vector<float>(4096, -0.5f)};
    LoadedPlugin replacing, accumulating;
    for (LoadedPlugin* plugin : {&replacing, &accumulating}) {
        plugin->dispatch(effSetBlockSize, 0, 512);
        plugin->dispatch(effMainsChanged, 0, 1);
    }
    const Stereo replaced = replacing.processReplacing(input, 512);
    const Stereo accumulated = accumulating.processAccumulating(input, previous, 512);
    for (size_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(accumulated.left[i], replaced.left[i] + 0.25f) << i;
        ASSERT_EQ(accumulated.right[i], replaced.right[i] + -0.5f) << i;
    }
}

TEST(HostTest, AccumulatingWithoutOrBeyondTheBlockSize)
{
    // No block size announced, then more frames than announced: processed in pieces, same result.
    Stereo input{tone(5000, 440.0, 0.5), tone(5000, 220.0, 0.5)};
    const Stereo expected = LoadedPlugin().processReplacing(input, 5000);
    LoadedPlugin plugin;
    Stereo out{std::vector<float>(5000), std::vector<float>(5000)};
    for (size_t start : {0, 3000}) {
        if (start > 0) plugin.dispatch(effSetBlockSize, 0, 64);
        float* inputs[2] = {input.left.data() + start, input.right.data() + start};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        plugin.effect()->process(plugin.effect(), inputs, outputs, start == 0 ? 3000 : 2000);
    }
    EXPECT_EQ(out.left, expected.left);
    EXPECT_EQ(out.right, expected.right);
}

TEST(HostTest, TwoInstancesShareNothing)
{
    LoadedPlugin a;
    LoadedPlugin b;
    EXPECT_NE(a.effect(), b.effect());
    a.setKnob(Knob::threshold, 0.1f);
    EXPECT_NE(a.paramDisplay(Knob::threshold), b.paramDisplay(Knob::threshold));
    const std::vector<float> in = tone(2048, 100.0, 0.9);
    const Stereo outB = b.processReplacing({in, in}, 256);
    EXPECT_NE(a.processReplacing({in, in}, 256).left, outB.left);
    // Fresh: the same output as b, whatever a did.
    EXPECT_EQ(LoadedPlugin().processReplacing({in, in}, 256).left, outB.left);
}

TEST(HostTest, BlockSplitsDoNotChangeTheOutput)
{
    const std::vector<float> in = tone(6000, 3000.0, 0.8);
    const Stereo reference = LoadedPlugin().processReplacing({in, in}, 6000);
    for (int blockFrames : {1, 2, 3, 7, 64, 511}) {
        const Stereo out = LoadedPlugin().processReplacing({in, in}, blockFrames);
        EXPECT_EQ(out.left, reference.left) << blockFrames;
        EXPECT_EQ(out.right, reference.right) << blockFrames;
    }
}

TEST(HostTest, TempoQueryOncePerBlock)
{
    LoadedPlugin plugin;
    plugin.timeInfo.tempo = 133.0;
    plugin.timeInfo.flags = kVstTempoValid;
    plugin.hostCalls.clear();
    const std::vector<float> in(100, 0.1f);
    plugin.processReplacing({in, in}, 50);
    int timeQueries = 0;
    for (const HostCall& call : plugin.hostCalls)
        if (call.opcode == audioMasterGetTime) {
            ++timeQueries;
            EXPECT_EQ(call.value, kVstTempoValid);
        }
    EXPECT_EQ(timeQueries, 2);
}
