// The built plug-in binary driven only through the VST 2 interface, as a host drives it.

#include "LoadedPlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

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
    EXPECT_EQ(e->numParams, 11);
    EXPECT_EQ(e->flags, 0x38);
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
        {effEditGetRect, 0},
        {effEditOpen, 0},
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
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(plugin.paramName(i), expected[i].name);
        EXPECT_EQ(plugin.paramLabel(i), expected[i].label);
        EXPECT_EQ(plugin.paramDisplay(i), expected[i].display);
        // The knob crosses the interface as a float.
        EXPECT_NEAR(plugin.effect()->getParameter(plugin.effect(), i), expected[i].knob, 1e-7);
    }
}

TEST(HostTest, KnobEndsGiveRangeEndsAndDisplaysFollow)
{
    LoadedPlugin plugin;
    AEffect* e = plugin.effect();
    e->setParameter(e, 7, 0.0f);
    EXPECT_EQ(plugin.paramDisplay(7), "-60.0"); // threshold minimum 0.001
    e->setParameter(e, 9, 0.0f);
    EXPECT_EQ(plugin.paramDisplay(9), "-oo"); // out gain 0
    e->setParameter(e, 3, 1.0f);
    EXPECT_EQ(plugin.paramDisplay(3), "60.0"); // drive 1000
    e->setParameter(e, 2, 0.5f);
    EXPECT_EQ(plugin.paramDisplay(2), "on");
    EXPECT_EQ(e->getParameter(e, 2), 1.0f);
    e->setParameter(e, 10, 0.5f);
    EXPECT_EQ(plugin.paramDisplay(10), "50");
}

TEST(HostTest, ProgramNamesAndCalls)
{
    LoadedPlugin plugin;
    char name[40] = {};
    plugin.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Default");

    char longName[] = "A program name of thirty chars";
    plugin.dispatch(effSetProgramName, 0, 0, longName);
    std::memset(name, 'x', sizeof name);
    plugin.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::string(name), std::string(longName).substr(0, 24));
    // The whole name is kept in the stored program.
    EXPECT_NE(plugin.chunk(true).find("\tA program name of thirty chars\n"), std::string::npos);

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
    const float knobs[11] = {0.1f, 0.7f, 1.0f, 0.6f, 0.05f, 0.9f, 1.0f, 0.3f, 0.2f, 0.8f, 0.35f};
    std::string program;
    std::string bank;
    std::vector<float> knobsSet(11);
    {
        LoadedPlugin source;
        for (int i = 0; i < 11; ++i)
            source.effect()->setParameter(source.effect(), i, knobs[i]);
        for (int i = 0; i < 11; ++i)
            knobsSet[static_cast<size_t>(i)] = source.effect()->getParameter(source.effect(), i);
        program = source.chunk(true);
        bank = source.chunk(false);
    }
    for (bool isPreset : {true, false}) {
        LoadedPlugin target;
        EXPECT_EQ(target.setChunk(isPreset ? program : bank, isPreset), 1);
        EXPECT_EQ(target.chunk(true), program);
        EXPECT_EQ(target.chunk(false), bank);
        for (int i = 0; i < 11; ++i)
            EXPECT_NEAR(target.effect()->getParameter(target.effect(), i), knobsSet[static_cast<size_t>(i)],
                        2e-6)
                << "parameter " << i; // save texts keep six significant digits
    }
}

TEST(HostTest, ReplacingAndAccumulatingOutput)
{
    std::vector<float> inL = tone(4096, 1000.0, 0.5), inR = tone(4096, 300.0, 0.25);
    std::vector<float> replaced(4096), accumulated(4096, 0.25f);
    std::vector<float> replacedR(4096), accumulatedR(4096, -0.5f);
    {
        LoadedPlugin plugin;
        plugin.dispatch(effSetBlockSize, 0, 512);
        plugin.dispatch(effMainsChanged, 0, 1);
        plugin.processReplacing(replaced, replacedR, inL, inR, 512);
    }
    {
        LoadedPlugin plugin;
        plugin.dispatch(effSetBlockSize, 0, 512);
        plugin.dispatch(effMainsChanged, 0, 1);
        std::vector<float> l(inL), r(inR);
        for (size_t done = 0; done < 4096; done += 512) {
            float* inputs[2] = {l.data() + done, r.data() + done};
            float* outputs[2] = {accumulated.data() + done, accumulatedR.data() + done};
            plugin.effect()->process(plugin.effect(), inputs, outputs, 512);
        }
    }
    for (size_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(accumulated[i], replaced[i] + 0.25f) << i;
        ASSERT_EQ(accumulatedR[i], replacedR[i] + -0.5f) << i;
    }
}

TEST(HostTest, AccumulatingWithoutOrBeyondTheBlockSize)
{
    // No block size announced, then more frames than announced: processed in pieces, same result.
    std::vector<float> inL = tone(5000, 440.0, 0.5), inR = tone(5000, 220.0, 0.5);
    std::vector<float> expectedL, expectedR;
    {
        LoadedPlugin plugin;
        plugin.processReplacing(expectedL, expectedR, inL, inR, 5000);
    }
    LoadedPlugin plugin;
    std::vector<float> outL(5000, 0.0f), outR(5000, 0.0f);
    std::vector<float> l(inL), r(inR);
    float* inputs[2] = {l.data(), r.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin.effect()->process(plugin.effect(), inputs, outputs, 3000);
    plugin.dispatch(effSetBlockSize, 0, 64);
    float* inputs2[2] = {l.data() + 3000, r.data() + 3000};
    float* outputs2[2] = {outL.data() + 3000, outR.data() + 3000};
    plugin.effect()->process(plugin.effect(), inputs2, outputs2, 2000);
    EXPECT_EQ(outL, expectedL);
    EXPECT_EQ(outR, expectedR);
}

TEST(HostTest, TwoInstancesShareNothing)
{
    LoadedPlugin a;
    LoadedPlugin b;
    EXPECT_NE(a.effect(), b.effect());
    a.effect()->setParameter(a.effect(), 7, 0.1f);
    EXPECT_NE(a.paramDisplay(7), b.paramDisplay(7));
    std::vector<float> in = tone(2048, 100.0, 0.9);
    std::vector<float> aL, aR, bL, bR, cL, cR;
    b.processReplacing(bL, bR, in, in, 256);
    a.processReplacing(aL, aR, in, in, 256);
    EXPECT_NE(aL, bL);
    LoadedPlugin c; // fresh: same output as b, whatever a did
    c.processReplacing(cL, cR, in, in, 256);
    EXPECT_EQ(bL, cL);
}

TEST(HostTest, BlockSplitsDoNotChangeTheOutput)
{
    std::vector<float> in = tone(6000, 3000.0, 0.8);
    std::vector<float> refL, refR;
    {
        LoadedPlugin plugin;
        plugin.processReplacing(refL, refR, in, in, 6000);
    }
    for (int blockFrames : {1, 2, 3, 7, 64, 511}) {
        LoadedPlugin plugin;
        std::vector<float> l, r;
        plugin.processReplacing(l, r, in, in, blockFrames);
        EXPECT_EQ(l, refL) << blockFrames;
        EXPECT_EQ(r, refR) << blockFrames;
    }
}

TEST(HostTest, TempoQueryOncePerBlock)
{
    LoadedPlugin plugin;
    plugin.timeInfo.tempo = 133.0;
    plugin.timeInfo.flags = kVstTempoValid;
    plugin.hostCalls.clear();
    std::vector<float> in(100, 0.1f), l, r;
    plugin.processReplacing(l, r, in, in, 50);
    int timeQueries = 0;
    for (const HostCall& call : plugin.hostCalls)
        if (call.opcode == audioMasterGetTime) {
            ++timeQueries;
            EXPECT_EQ(call.value, kVstTempoValid);
        }
    EXPECT_EQ(timeQueries, 2);
}
