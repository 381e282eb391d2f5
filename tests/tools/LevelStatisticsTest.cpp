#include "tools/render/LevelStatistics.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using zr::host::LevelStatistics;

// A full-scale square wave of +-a has peak and RMS a; halving it takes 6.0206 dB off every window.
TEST(LevelStatistics, LevelsAndGainReductionOfAHalvedSquareWave)
{
    constexpr double rateHz = 1000.0;
    LevelStatistics levels(2, rateHz, 0.01, 95);
    std::vector<float> in(95), out(95);
    for (std::size_t i = 0; i < in.size(); ++i) {
        in[i] = (i % 2 == 0) ? 0.8f : -0.8f;
        out[i] = 0.5f * in[i];
    }
    const float* inputs[] = {in.data(), in.data()};
    const float* outputs[] = {out.data(), out.data()};
    levels.add(inputs, outputs, 50);
    levels.add(inputs, outputs, 45); // crosses window edges and ends in a partial window
    levels.finish();
    EXPECT_EQ(levels.frames(), 95);
    EXPECT_EQ(levels.windows().size(), 10u); // 9 whole windows of 10 frames and one of 5
    EXPECT_FLOAT_EQ(levels.inputPeak(1), 0.8f);
    EXPECT_NEAR(levels.inputRms(0), 0.8, 1e-7); // float 0.8 differs from 0.8 by 1e-8
    EXPECT_NEAR(levels.outputRms(1), 0.4, 1e-7);
    double largestDb = 0.0, averageDb = 0.0;
    ASSERT_TRUE(levels.gainReduction(-60.0, largestDb, averageDb));
    EXPECT_NEAR(largestDb, 20.0 * std::log10(2.0), 1e-9);
    EXPECT_NEAR(averageDb, 20.0 * std::log10(2.0), 1e-9);
}

TEST(LevelStatistics, QuietWindowsAndBadSamplesAreLeftOut)
{
    LevelStatistics levels(1, 100.0, 0.1, 0);
    std::vector<float> in(30, 0.0f), out(30, 0.0f);
    for (std::size_t i = 0; i < 10; ++i)
        in[i] = out[i] = 0.5f; // window 1: no change
    for (std::size_t i = 10; i < 20; ++i)
        in[i] = out[i] = 1e-4f;                       // window 2: below -60 dBFS
    in[25] = std::numeric_limits<float>::quiet_NaN(); // window 3: silent but for a NaN
    out[26] = std::numeric_limits<float>::infinity();
    const float* inputs[] = {in.data()};
    const float* outputs[] = {out.data()};
    levels.add(inputs, outputs, 30);
    levels.finish();
    EXPECT_EQ(levels.nonFiniteInputSamples(), 1);
    EXPECT_EQ(levels.nonFiniteOutputSamples(), 1);
    EXPECT_TRUE(std::isfinite(levels.inputRms(0)));
    double largestDb = 1.0, averageDb = 1.0;
    ASSERT_TRUE(levels.gainReduction(-60.0, largestDb, averageDb));
    EXPECT_EQ(largestDb, 0.0);
    EXPECT_EQ(averageDb, 0.0);
    EXPECT_EQ(LevelStatistics::toDbfs(0.0), -std::numeric_limits<double>::infinity());
}
