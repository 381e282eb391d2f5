// What a careless or hostile host can send must get a harmless answer and lose nothing already stored.
// Calls that break an assertion are only made where assertions are compiled out (the release plug-in).

#include "LoadedPlugin.h"
#include "ZaRorurarozeParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
#if ZR_ASSERTIONS
#define SKIP_WITH_ASSERTIONS()                                                                               \
    GTEST_SKIP() << "makes assertion-breaking calls; runs against the release build"
#else
#define SKIP_WITH_ASSERTIONS() static_cast<void>(0)
#endif
} // namespace

TEST(HostileHostTest, NonFiniteSamplesEnterAsSilenceAndTheOutputRecoversAtOnce)
{
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float badSample : bad) {
        LoadedPlugin clean;
        LoadedPlugin poisoned;
        std::vector<float> in(4096), dirty(4096);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = dirty[i] = 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
        for (size_t i = 1000; i < 1010; ++i) {
            in[i] = 0.0f; // what the bad samples stand for
            dirty[i] = badSample;
        }
        const Stereo cleanOut = clean.processReplacing({in, in}, 512);
        const Stereo dirtyOut = poisoned.processReplacing({dirty, dirty}, 512);
        EXPECT_TRUE(allFinite(dirtyOut));
        EXPECT_EQ(dirtyOut.left, cleanOut.left);
        EXPECT_EQ(dirtyOut.right, cleanOut.right);
    }
}

TEST(HostileHostTest, BankChunkWithoutPresetListIsRefusedAndChangesNothing)
{
    LoadedPlugin plugin;
    plugin.setKnob(Knob::threshold, 0.25f);
    std::string before = plugin.chunk(false);
    EXPECT_EQ(plugin.setChunk(std::string("Name\n\tBroken\nParameterList\n\tthreshold\n\t\t2") + '\0', false),
              0);
    EXPECT_EQ(plugin.chunk(false), before);
    EXPECT_FLOAT_EQ(plugin.knob(Knob::threshold), 0.25f);
}

TEST(HostileHostTest, ChunkWithoutTerminatorIsReadOnlyUpToItsSize)
{
    LoadedPlugin source;
    source.setKnob(Knob::drive, 0.75f);
    std::string program = source.chunk(true);
    program.pop_back(); // a damaged project: no terminating zero byte, the buffer sized exactly
    LoadedPlugin target;
    EXPECT_EQ(target.setChunk(program, true), 1);
    EXPECT_EQ(target.chunk(true), program + '\0');
    // Bytes after the first zero byte are ignored.
    LoadedPlugin third;
    EXPECT_EQ(third.setChunk(program + '\0' + "\tdrive\n\t\t1000", true), 1);
    EXPECT_EQ(third.chunk(true), program + '\0');
}

TEST(HostileHostTest, OutOfRangeIndicesAndValuesAreIgnored)
{
    SKIP_WITH_ASSERTIONS();
    LoadedPlugin plugin;
    std::string before = plugin.chunk(false);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int index : {-1, int(Knob::count), 1000, std::numeric_limits<int>::min()}) {
        plugin.setKnob(index, 0.5f);
        EXPECT_EQ(plugin.knob(index), 0.0f);
        EXPECT_EQ(plugin.paramName(index), "");
        EXPECT_EQ(plugin.paramLabel(index), "");
        EXPECT_EQ(plugin.paramDisplay(index), "");
    }
    for (float knob : {-0.1f, 1.5f, nan, inf, -inf})
        for (int index = 0; index < Knob::count; ++index)
            plugin.setKnob(index, knob);
    for (VstIntPtr program : {VstIntPtr(-1), VstIntPtr(1), VstIntPtr(-1000000)})
        plugin.dispatch(effSetProgram, 0, program);
    char name[32];
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 5, 0, name), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, -1, 0, name), 0);
    EXPECT_EQ(plugin.dispatch(effCopyProgram, 3), 0);
    EXPECT_EQ(plugin.dispatch(effCopyProgram, -3), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin.chunk(false), before);
}

TEST(HostileHostTest, NullPointersAndBadSizesAreIgnored)
{
    SKIP_WITH_ASSERTIONS();
    LoadedPlugin plugin;
    AEffect* e = plugin.effect();
    std::string before = plugin.chunk(false);
    for (VstInt32 opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
          effGetChunk, effSetChunk, effProcessEvents, effGetProgramNameIndexed, effGetEffectName,
          effGetVendorString, effGetProductString, effCanDo, effGetInputProperties, effGetOutputProperties,
          effGetParameterProperties})
        EXPECT_EQ(plugin.dispatch(opcode, 0, 16, nullptr), 0) << opcode;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float rate : {0.0f, -44100.0f, nan, std::numeric_limits<float>::infinity()})
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    for (VstIntPtr frames : {VstIntPtr(0), VstIntPtr(-5)})
        plugin.dispatch(effSetBlockSize, 0, frames);
    plugin.dispatch(effSetBlockSizeAndSampleRate, 0, -1, nullptr, -1.0f);
    char empty[] = "";
    EXPECT_EQ(plugin.dispatch(effSetChunk, 1, 0, empty), 0);
    EXPECT_EQ(plugin.dispatch(effSetChunk, 1, -7, empty), 0);

    std::vector<float> in(256, 0.25f), l(256), r(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {l.data(), r.data()};
    e->processReplacing(e, nullptr, outputs, 256);
    e->processReplacing(e, inputs, nullptr, 256);
    e->processReplacing(e, inputs, outputs, 0);
    e->processReplacing(e, inputs, outputs, -1);
    float* nullChannel[2] = {in.data(), nullptr};
    e->processReplacing(e, inputs, nullChannel, 256);
    e->process(e, nullChannel, outputs, 256);
    EXPECT_EQ(plugin.chunk(false), before);

    // Still working normally afterwards, at the sample rate it had.
    EXPECT_TRUE(allFinite(plugin.processReplacing({in, in}, 64)));
}

TEST(HostileHostTest, ScanOrderMainsOffFirstAndDoubleClose)
{
    LoadedPlugin plugin;
    plugin.dispatch(effMainsChanged, 0, 0); // some scanners suspend before ever resuming
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effMainsChanged, 0, 1);
    const std::vector<float> in(512, 0.1f);
    EXPECT_TRUE(allFinite(plugin.processReplacing({in, in}, 512)));
}
