// Bad and extreme audio at extreme settings: every parameter at its minimum or maximum in every
// combination, with full-scale noise, squares, DC, silence, samples up to +-1000 and bursts of NaN and
// infinities. The output stays finite, bad samples enter as silence with no after-effect, and the
// settings with a closed form (a dry mix) keep it exactly.

#include "InProcessHost.h"
#include "ZaRorurarozeParam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace zr::test;
using Knob = ZaRorurarozeParam; // parameter indices

namespace
{
// Largest sample magnitude the plug-in promises finite output for.
constexpr float loudestSample = 1000.0f;

std::uint32_t nextRandom(std::uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed;
}

// A signal of the given kind; both channels differ so that stereo linking is exercised.
Stereo makeSignal(const std::string& kind, std::size_t frames)
{
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
        float l = 0.0f;
        float r = 0.0f;
        if (kind == "full-scale noise" || kind == "noise +-1000") {
            float scale = kind == "full-scale noise" ? 1.0f : loudestSample;
            l = scale * (static_cast<float>(static_cast<std::int32_t>(nextRandom(seed))) / 2147483648.0f);
            r = scale * (static_cast<float>(static_cast<std::int32_t>(nextRandom(seed))) / 2147483648.0f);
        } else if (kind == "full-scale square") {
            l = (i / 50) % 2 == 0 ? 1.0f : -1.0f; // 441 Hz at 44.1 kHz
            r = -l;
        } else if (kind == "square +-1000") {
            l = r =
                (i / 8) % 2 == 0 ? loudestSample : -loudestSample; // near Nyquist/8, where the bands are fast
        } else if (kind == "DC +1000") {
            l = r = loudestSample;
        } else if (kind == "DC -1000 / +1000") {
            l = -loudestSample;
            r = loudestSample;
        }
        s.left[i] = l;
        s.right[i] = r;
    }
    return s;
}

const char* const signalKinds[] = {"full-scale noise", "noise +-1000", "full-scale square",
                                   "square +-1000",    "DC +1000",     "DC -1000 / +1000",
                                   "silence"};

// Knob positions 0 and 1 are exactly a parameter's minimum and maximum.
void setCorner(InProcessHost& fx, unsigned corner)
{
    for (VstInt32 i = 0; i < Knob::count; ++i)
        fx.setKnob(i, (corner >> i) & 1u ? 1.0f : 0.0f);
}

// The loudest setting: Drive 1000, Threshold 0.001, Ratio 0.5 (the gain law then rises above the
// threshold), Out Gain 4, fully wet, detection as fast as it goes and without the side-chain filters.
void setLoudest(InProcessHost& fx)
{
    const std::pair<int, float> knobs[] = {{Knob::drive, 1.0f},
                                           {Knob::threshold, 0.0f},
                                           {Knob::ratio, 0.0f},
                                           {Knob::outputGain, 1.0f},
                                           {Knob::mix, 1.0f},
                                           {Knob::attack, 0.0f},
                                           {Knob::release, 1.0f},
                                           {Knob::sidechainHighpassCutoff, 0.0f},
                                           {Knob::sidechainLowpassCutoff, 1.0f},
                                           {Knob::sidechainListen, 0.0f}};
    for (const auto& knob : knobs)
        fx.setKnob(knob.first, knob.second);
}

// The first frame where two renders differ in either channel, or -1.
long firstDifference(const Stereo& a, const Stereo& b)
{
    for (std::size_t i = 0; i < a.left.size() && i < b.left.size(); ++i)
        if (!(a.left[i] == b.left[i] && a.right[i] == b.right[i])) return static_cast<long>(i);
    return a.left.size() == b.left.size() ? -1 : static_cast<long>(std::min(a.left.size(), b.left.size()));
}

// Runs noise of +-1000 with bursts of one bad value through two plug-ins, once with the bad samples and
// once with zeros in their place, at settings where a poisoned detector or side-chain shows at once: the
// loudest corner, listening to the side-chain, and the quadrature detector with the slowest release.
void expectBadSamplesEnterAsSilence(float badSample)
{
    constexpr std::size_t frames = 8192;
    const Stereo clean = makeSignal("noise +-1000", frames);
    const unsigned corners[] = {(1u << Knob::drive) | (1u << Knob::outputGain) | (1u << Knob::mix) |
                                    (1u << Knob::sidechainLowpassCutoff) | (1u << Knob::release),
                                (1u << Knob::sidechainListen) | (1u << Knob::sidechainLowpassCutoff),
                                (1u << Knob::hilbert) | (1u << Knob::release) | (1u << Knob::drive) |
                                    (1u << Knob::outputGain) | (1u << Knob::mix)};
    for (unsigned corner : corners) {
        Stereo dirty = clean;
        Stereo zeroed = clean;
        // The very first sample; a burst of 64 on both channels with alternating sign (at Nyquist, where
        // the side-chain low-pass rings most); a lone bad sample on one channel.
        auto spoil = [&](std::size_t i, bool left, bool right, float value) {
            if (left) {
                dirty.left[i] = value;
                zeroed.left[i] = 0.0f;
            }
            if (right) {
                dirty.right[i] = value;
                zeroed.right[i] = 0.0f;
            }
        };
        spoil(0, true, true, badSample);
        for (std::size_t i = 1000; i < 1064; ++i)
            spoil(i, true, true, i % 2 == 0 ? badSample : -badSample);
        spoil(5000, false, true, badSample);

        InProcessHost poisoned;
        InProcessHost reference;
        for (InProcessHost* fx : {&poisoned, &reference}) {
            fx->start(44100.0f, 256);
            setCorner(*fx, corner);
        }
        Stereo outDirty = poisoned.processReplacing(dirty, 256);
        Stereo outZeroed = reference.processReplacing(zeroed, 256);
        EXPECT_TRUE(allFinite(outDirty)) << "corner " << corner << ", bad sample " << badSample;
        // Bit for bit: a bad sample is silence and nothing more, from the very next sample on.
        EXPECT_EQ(firstDifference(outDirty, outZeroed), -1)
            << "corner " << corner << ", bad sample " << badSample;
    }
}
} // namespace

TEST(AudioExtremesTest, EveryCornerOfTheParameterSpaceGivesFiniteOutput)
{
    constexpr std::size_t frames = 512;
    const Stereo loud = makeSignal("square +-1000", frames);
    const std::vector<double> noise = pluginNoise(frames);
    float loudestPeak = 0.0f;
    unsigned loudestCorner = 0;
    for (unsigned corner = 0; corner < (1u << Knob::count); ++corner) {
        InProcessHost fx;
        fx.start(44100.0f, 512);
        setCorner(fx, corner);
        Stereo out = fx.processReplacing(loud, frames);
        ASSERT_TRUE(allFinite(out)) << "corner " << corner;
        if (((corner >> Knob::mix) & 1u) == 0 && ((corner >> Knob::sidechainListen) & 1u) == 0) {
            // Dry: the input plus the plug-in's noise, whatever the other settings.
            for (std::size_t i = 0; i < frames; ++i)
                ASSERT_EQ(out.left[i], static_cast<float>(static_cast<double>(loud.left[i]) + noise[i]))
                    << "corner " << corner << ", sample " << i;
        }
        float peak = peakMagnitude(out);
        if (peak > loudestPeak) {
            loudestPeak = peak;
            loudestCorner = corner;
        }
    }
    // The loudest corner is the one the gain law predicts: most drive, lowest threshold, the rising
    // gain law of ratio 0.5, most output gain, fully wet, listening to the compressor and not the side-chain.
    EXPECT_EQ((loudestCorner >> Knob::drive) & 1u, 1u);
    EXPECT_EQ((loudestCorner >> Knob::threshold) & 1u, 0u);
    EXPECT_EQ((loudestCorner >> Knob::ratio) & 1u, 0u);
    EXPECT_EQ((loudestCorner >> Knob::outputGain) & 1u, 1u);
    EXPECT_EQ((loudestCorner >> Knob::mix) & 1u, 1u);
    EXPECT_EQ((loudestCorner >> Knob::sidechainListen) & 1u, 0u);
    RecordProperty("loudestPeak", std::to_string(loudestPeak));
}

TEST(AudioExtremesTest, LoudestSettingGivesFiniteOutputForEverySignalAndRate)
{
    for (float sampleRateHz : {8000.0f, 44100.0f, 192000.0f})
        for (bool hilbertOn : {false, true})
            for (const char* kind : signalKinds) {
                InProcessHost fx;
                fx.start(sampleRateHz, 1024);
                setLoudest(fx);
                fx.setKnob(Knob::hilbert, hilbertOn ? 1.0f : 0.0f);
                // Half a second: long enough for the slowest band to settle at these attack times.
                Stereo out =
                    fx.processReplacing(makeSignal(kind, static_cast<std::size_t>(sampleRateHz / 2)), 1024);
                EXPECT_TRUE(allFinite(out)) << kind << " at " << sampleRateHz << " Hz, hilbert " << hilbertOn;
            }
}

TEST(AudioExtremesTest, NonFiniteSamplesEnterAsSilenceWithNoAfterEffect)
{
    for (float badSample : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
        expectBadSamplesEnterAsSilence(badSample);
}

// A damaged host buffer holds finite garbage as often as NaN. A sample of 3.4e38 is no signal: it must not
// leave the side-chain memories above the float range (the listened side-chain then comes out infinite) or
// the detector's power near it (the compressor then stays shut for half a minute).
TEST(AudioExtremesTest, AbsurdlyLargeFiniteSamplesEnterAsSilenceWithNoAfterEffect)
{
    for (float badSample : {std::numeric_limits<float>::max(), 1e30f, 1e20f})
        expectBadSamplesEnterAsSilence(badSample);
}

TEST(AudioExtremesTest, BlockSplitsAndProcessingStylesGiveIdenticalOutputAtTheLoudestSetting)
{
    // Longer than the adaptor's largest scratch buffer (65536 frames), so accumulating runs in pieces.
    constexpr std::size_t frames = 70000;
    const Stereo input = makeSignal("noise +-1000", frames);
    const Stereo silence{std::vector<float>(frames), std::vector<float>(frames)};
    InProcessHost reference;
    reference.start(44100.0f, static_cast<VstInt32>(frames));
    setLoudest(reference);
    const Stereo expected = reference.processReplacing(input, frames);
    ASSERT_TRUE(allFinite(expected));

    const std::size_t splits[] = {1, 7, 64, 511, 4096};
    for (std::size_t blockFrames : splits) {
        InProcessHost fx;
        fx.start(44100.0f, static_cast<VstInt32>(blockFrames));
        setLoudest(fx);
        Stereo out = fx.processReplacing(input, blockFrames);
        EXPECT_EQ(out.left, expected.left) << "blocks of " << blockFrames;
        EXPECT_EQ(out.right, expected.right) << "blocks of " << blockFrames;
    }
    // Accumulating onto silence adds exact zeros: the same samples, also for a block longer than both the
    // announced block size and the scratch buffers, and for a host that never announced a block size.
    for (bool announced : {true, false}) {
        InProcessHost fx;
        if (announced)
            fx.start(44100.0f, 512);
        else
            fx.dispatch(effMainsChanged, 0, 1);
        setLoudest(fx);
        Stereo out = fx.processAccumulating(input, silence, frames);
        EXPECT_EQ(out.left, expected.left) << (announced ? "announced" : "never announced");
        EXPECT_EQ(out.right, expected.right) << (announced ? "announced" : "never announced");
    }
}

TEST(AudioExtremesTest, InPlaceProcessingReadsEachSampleBeforeWritingIt)
{
    constexpr std::size_t frames = 4096;
    const Stereo input = makeSignal("full-scale noise", frames);
    InProcessHost separate;
    InProcessHost inPlace;
    for (InProcessHost* fx : {&separate, &inPlace}) {
        fx->start(44100.0f, 512);
        setLoudest(*fx);
    }
    Stereo expected = separate.processReplacing(input, 512);
    Stereo buffer = input;
    for (std::size_t start = 0; start < frames; start += 512) {
        float* channels[2] = {buffer.left.data() + start, buffer.right.data() + start};
        inPlace.effect()->processReplacing(inPlace.effect(), channels, channels, 512);
    }
    EXPECT_EQ(buffer.left, expected.left);
    EXPECT_EQ(buffer.right, expected.right);
}
