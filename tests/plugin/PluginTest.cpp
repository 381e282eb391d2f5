// The compressor plug-in in process: its signal path against closed forms where the settings make one.

#include "ZaRorurarozePlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
struct Rendered
{
    std::vector<float> left, right;
};

// Renders a test signal through a fresh plug-in whose parameters were set to the given knob positions.
Rendered render(const std::vector<std::pair<int, double>>& knobs, const std::vector<float>& inL,
           const std::vector<float>& inR)
{
    ZaRorurarozePlugin plugin;
    for (const auto& knob : knobs)
        plugin.paramList.vstSetParameter(knob.first, static_cast<float>(knob.second));
    Rendered run{std::vector<float>(inL.size()), std::vector<float>(inR.size())};
    const float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {run.left.data(), run.right.data()};
    plugin.process(inputs, outputs, static_cast<int>(inL.size()));
    return run;
}

// The noise the plug-in adds to sample i of a fresh instance (seed 0, 32-bit LCG, single-precision 1e-15).
std::vector<double> noise(size_t frames)
{
    std::vector<double> n(frames);
    std::uint32_t seed = 0;
    for (size_t i = 0; i < frames; ++i)
    {
        n[i] = static_cast<double>(seed) * static_cast<double>(1e-15f);
        seed = seed * 1664525u + 1013904223u;
    }
    return n;
}

std::vector<float> sine(size_t frames, double cyclesPerSample, double amplitude)
{
    std::vector<float> s(frames);
    for (size_t i = 0; i < frames; ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * cyclesPerSample * static_cast<double>(i)));
    return s;
}

enum Index
{
    sideHp,
    sideLp,
    listen,
    drive,
    attack,
    release,
    hilbert,
    threshold,
    ratio,
    outGain,
    mix
};
} // namespace

TEST(PluginTest, DryMixPassesTheInputPlusNoise)
{
    std::vector<float> inL = sine(3000, 0.01, 0.9), inR = sine(3000, 0.003, 0.4);
    Rendered run = render({{mix, 0.0}, {drive, 1.0}, {threshold, 0.0}, {outGain, 0.3}}, inL, inR);
    std::vector<double> n = noise(3000);
    for (size_t i = 0; i < 3000; ++i)
    {
        // G = ((0 * outGain) * drive) * g + (1 - 0) is exactly 1.
        ASSERT_EQ(run.left[i], static_cast<float>(static_cast<double>(inL[i]) + n[i])) << i;
        ASSERT_EQ(run.right[i], static_cast<float>(static_cast<double>(inR[i]) + n[i])) << i;
    }
}

TEST(PluginTest, RatioOneIsDriveTimesOutputGain)
{
    // Ratio 1 sits at knob ln 2 / ln 128 = 1/7 of the logarithmic range [0.5, 64].
    // The float knob lands within 1e-7 of ratio 1, so the gain exponent is within 1e-7 of 0.
    std::vector<float> in = sine(2000, 0.02, 0.5);
    Rendered run = render({{ratio, 1.0 / 7.0}, {drive, 0.5}, {outGain, 0.75}}, in, in);
    double driveGain = std::pow(0.1, 0.5) * std::pow(1000.0, 0.5); // geometric middle: 10
    double outputGain = 0.75 * 0.75 * 4.0;                         // square-root mapping
    std::vector<double> n = noise(2000);
    for (size_t i = 0; i < 2000; ++i)
        ASSERT_NEAR(run.left[i], (in[i] + n[i]) * driveGain * outputGain, 1e-4 * driveGain * outputGain) << i;
}

TEST(PluginTest, ListenOutputsTheFilteredSideChainIgnoringTheRest)
{
    std::vector<float> in = sine(4000, 0.05, 0.5);
    Rendered a = render({{listen, 1.0}, {sideHp, 0.5}, {sideLp, 0.3}}, in, in);
    Rendered b = render({{listen, 1.0}, {sideHp, 0.5}, {sideLp, 0.3}, {drive, 1.0}, {threshold, 0.0}, {ratio, 1.0},
                    {mix, 0.2}, {outGain, 0.0}},
                   in, in);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    // A high-pass at about 100 Hz and a low-pass at about 400 Hz attenuate a 2205 Hz tone strongly.
    double peak = 0.0;
    for (size_t i = 2000; i < 4000; ++i)
        peak = std::max(peak, std::fabs(static_cast<double>(a.left[i])));
    EXPECT_LT(peak, 0.5 * 0.1);
}

TEST(PluginTest, LoudSignalsAreCompressedQuietOnesAreNot)
{
    // Defaults: threshold 0 dB, ratio 32, 0.2 s attack. A quiet tone passes almost unchanged; a loud one
    // ends far below its input level.
    std::vector<float> quiet = sine(44100, 1000.0 / 44100.0, 0.001);
    std::vector<float> loud = sine(44100, 1000.0 / 44100.0, 1.0);
    Rendered q = render({}, quiet, quiet);
    Rendered l = render({}, loud, loud);
    auto rms = [](const std::vector<float>& s) {
        double sum = 0.0;
        for (size_t i = s.size() / 2; i < s.size(); ++i)
            sum += static_cast<double>(s[i]) * s[i];
        return std::sqrt(sum / static_cast<double>(s.size() / 2));
    };
    EXPECT_NEAR(rms(q.left) / rms(quiet), 1.0, 0.01);
    EXPECT_LT(rms(l.left) / rms(loud), 0.5);
}

TEST(PluginTest, ClearForgetsTheSignalHistory)
{
    std::vector<float> burst = sine(8000, 0.01, 1.0), probe = sine(2000, 0.02, 0.3);
    ZaRorurarozePlugin plugin;
    std::vector<float> out(8000), outR(8000);
    const float* inputs[2] = {burst.data(), burst.data()};
    float* outputs[2] = {out.data(), outR.data()};
    plugin.process(inputs, outputs, 8000);
    plugin.clear();
    std::vector<float> after(2000), afterR(2000);
    const float* probeIn[2] = {probe.data(), probe.data()};
    float* probeOut[2] = {after.data(), afterR.data()};
    plugin.process(probeIn, probeOut, 2000);

    // A fresh instance whose noise generator has advanced by the same 8000 samples.
    ZaRorurarozePlugin fresh;
    std::vector<float> silence(8000, 0.0f), sink(8000), sinkR(8000);
    const float* silentIn[2] = {silence.data(), silence.data()};
    float* sinkOut[2] = {sink.data(), sinkR.data()};
    fresh.process(silentIn, sinkOut, 8000);
    fresh.clear();
    std::vector<float> expected(2000), expectedR(2000);
    float* expectedOut[2] = {expected.data(), expectedR.data()};
    fresh.process(probeIn, expectedOut, 2000);
    EXPECT_EQ(after, expected);
}
