#include "Common/dsp/simpleFilters.h"
#include "tests/dsp/AssertionMatcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace
{
const double pi = std::acos(-1.0);

// Gain at normalised frequency f of the one-pole y += c*(x - y): c / (1 - (1 - c) z^-1).
double onePoleGain(double c, double f)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * pi * f);
    return std::abs(c / (1.0 - (1.0 - c) * zInverse));
}

// Phase at normalised frequency f of the allpass (a + z^-1)/(1 + a z^-1).
double allpassPhase(double a, double f)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * pi * f);
    return std::arg((a + zInverse) / (1.0 + a * zInverse));
}
} // namespace

TEST(SimpleLowpass, CutoffDesignsAreMinus3dBAtTheCutoff)
{
    // Below Nyquist the formula is exact up to rounding, which b^2 - 1 ~ (2 pi f)^2 amplifies at small f:
    // 1e-16/(2 pi f)^2 plus 1e-14.
    for (double f : {1e-4, 0.01, 0.1, 0.25, 0.4, 0.49}) {
        const double tolerance = 1e-16 / std::pow(2.0 * pi * f, 2.0) + 1e-14;
        EXPECT_NEAR(onePoleGain(calcSimpleLowpassCoeff_cf(f), f), std::sqrt(0.5), tolerance) << f;
        EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf(48000.0, f * 48000.0), calcSimpleLowpassCoeff_cf(f)) << f;
    }
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(0.0), 0.0);
}

TEST(SimpleLowpass, SwitchAtNyquistIsContinuous)
{
    // Both formulas give 2*sqrt(2) - 2 at f = 0.5 (Nyquist gain sqrt(0.5)); 0.25 + 0.25 is exact in floats.
    const double expected = 2.0 * std::sqrt(2.0) - 2.0;
    EXPECT_NEAR(calcSimpleLowpassCoeff_cf(0.5), expected, 1e-15);
    EXPECT_NEAR(calcSimpleLowpassCoeff_cf(std::nextafter(0.5, 0.0)), expected, 1e-12);
    EXPECT_NEAR(calcSimpleLowpassCoeff_cf(0.5), 0.8284271247, 1e-10);
}

TEST(SimpleLowpass, AboveNyquistMatchesTheAnalogOnePole)
{
    // Nyquist gain c/(2 - c) equals the analog one-pole's f/sqrt(f^2 + 0.25); the sum is rounded to a
    // float, so 1e-7 relative.
    for (double f : {0.5, 0.7, 1.0, 3.0, 100.0}) {
        const double c = calcSimpleLowpassCoeff_cf(f);
        EXPECT_NEAR(c / (2.0 - c), f / std::sqrt(f * f + 0.25), 1e-7) << f;
    }
    // Far above Nyquist the float sum can round below f^2, which would make a Nyquist gain above 1:
    // the coefficient stays a pass-through.
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(123456.789), 1.0);
}

TEST(SimpleLowpass, CutoffGainDesignsMeetTheirGain)
{
    struct Case
    {
        double sampleRate, cutoff, gain;
    };
    for (const Case& c : std::vector<Case>{
             {1.0, 0.1, 0.5}, {44100.0, 13230.0, 0.9}, {48000.0, 2400.0, 0.1}, {1.0, 0.25, std::sqrt(0.5)}}) {
        const double coeff = calcSimpleLowpassCoeff_sr_cf_cg(c.sampleRate, c.cutoff, c.gain);
        EXPECT_NEAR(onePoleGain(coeff, c.cutoff / c.sampleRate), c.gain, 1e-12) << c.cutoff;
    }
    // The -3 dB case is the plain cut-off design.
    EXPECT_NEAR(calcSimpleLowpassCoeff_sr_cf_cg(1.0, 0.25, std::sqrt(0.5)), calcSimpleLowpassCoeff_cf(0.25),
                1e-15);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf_cg(44100.0, 1000.0, 1.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf_cg(44100.0, 0.0, 0.5), 0.0);
    // At and above Nyquist: the Nyquist gain is rounded to a float (1e-7), continuous with the design below,
    // growing towards 1 with the cut-off.
    for (double g : {0.1, 0.5, 0.9}) {
        const double atNyquist = calcSimpleLowpassCoeff_sr_cf_cg(1.0, 0.5, g);
        EXPECT_NEAR(atNyquist / (2.0 - atNyquist), g, 1e-7) << g;
        EXPECT_NEAR(atNyquist, calcSimpleLowpassCoeff_sr_cf_cg(1.0, std::nextafter(0.5, 0.0), g), 1e-7) << g;
        EXPECT_GT(calcSimpleLowpassCoeff_sr_cf_cg(1.0, 2.0, g), atNyquist) << g;
        EXPECT_LE(calcSimpleLowpassCoeff_sr_cf_cg(1.0, 1e30, g), 1.0) << g;
    }
}

TEST(SimpleLowpass, NyquistGainTimeConstantAndVariance)
{
    for (double n : {0.01, 0.5, std::sqrt(0.5), 1.0}) {
        const double c = calcSimpleLowpassCoeff_ng(n);
        EXPECT_NEAR(c / (2.0 - c), n, 1e-15) << n;
    }
    // After timeConstant*sampleRate samples a step has risen to 1 - 1/e.
    for (double tc : {1e-4, 0.05, 2.0}) {
        const double c = calcSimpleLowpassCoeff_sr_tc(44100.0, tc);
        EXPECT_NEAR(std::pow(1.0 - c, tc * 44100.0), std::exp(-1.0), 1e-12) << tc;
    }
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_tc(44100.0, 0.0), 1.0);
    // (1 - c)/c^2 is the impulse response's variance over time.
    for (double v : {0.25, 1.0, 1000.0}) {
        const double c = calcSimpleLowpassCoeff_tv(v);
        EXPECT_NEAR((1.0 - c) / (c * c), v, 1e-12 * (1.0 + v)) << v;
    }
    EXPECT_EQ(calcSimpleLowpassCoeff_tv(0.0), 1.0);
}

TEST(SimpleAllpass, MinusNinetyDegreesAtTheCentre)
{
    // tan is taken in single precision: 1e-6 rad.
    for (double centre : {20.0, 1000.0, 10000.0, 20000.0}) {
        const double a = calcSimpleAllpassCoeff_sr_cf(44100.0, centre);
        EXPECT_NEAR(allpassPhase(a, centre / 44100.0), -pi / 2.0, 1e-6) << centre;
        EXPECT_EQ(calcSimpleAllpassCoeff_sr_wf(44100.0, centre), a) << centre;
    }
    // Centres above 0.49 times the sample rate are treated as 0.49 times it.
    const double limit = calcSimpleAllpassCoeff_sr_cf(44100.0, 0.49 * 44100.0);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(44100.0, 30000.0), limit);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(1.0, 1e9), limit);
}

TEST(SimpleAllpass, FractionalDelayIsTheLowFrequencyGroupDelay)
{
    // Group delay at DC of (a + z^-1)/(1 + a z^-1) is (1 - a)/(1 + a); numerically from the phase slope,
    // whose central difference is accurate to about 1e-7 here.
    for (double d : {0.1, 0.5, 1.0, 1.7}) {
        const double a = calcSimpleAllpassCoeff_fd(d);
        const double df = 1e-6;
        const double delay = -(allpassPhase(a, df) - allpassPhase(a, -df)) / (2.0 * pi * 2.0 * df);
        EXPECT_NEAR(delay, d, 1e-6) << d;
    }
}

#if ZR_ASSERTIONS
TEST(SimpleFiltersDeathTest, ChecksTheirArgumentsInOrder)
{
    struct Case
    {
        std::function<void()> call;
        const char* condition;
    };
    const double nan = std::nan("");
    const std::vector<Case> cases = {
        {[] { calcSimpleLowpassCoeff_cf(-0.1); }, "f>=0.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf(0.0, -1.0); }, "sampleRate>0.0f"},
        {[] { calcSimpleLowpassCoeff_sr_cf(44100.0, -1.0); }, "f>=0.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf_cg(0.0, -1.0, 2.0); }, "cutoff>=0.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf_cg(0.0, 1.0, 0.0); }, "gain>0.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf_cg(0.0, 1.0, 1.5); }, "gain<=1.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf_cg(0.0, 1.0, 0.5); }, "sampleRate>0.0"},
        {[] { calcSimpleLowpassCoeff_ng(1.01); }, "nyquistGain>0.0 && nyquistGain <= 1.0"},
        {[] { calcSimpleLowpassCoeff_ng(0.0); }, "nyquistGain>0.0 && nyquistGain <= 1.0"},
        {[] { calcSimpleLowpassCoeff_sr_tc(0.0, -1.0); }, "sampleRate>0.0"},
        {[nan] { calcSimpleLowpassCoeff_sr_tc(44100.0, nan); }, "timeConstant>=0.0"},
        {[] { calcSimpleLowpassCoeff_tv(-1.0); }, "variance>=0.0"},
        {[] { calcSimpleAllpassCoeff_sr_cf(0.0, 0.0); }, "centerFreq>0.0"},
        {[] { calcSimpleAllpassCoeff_sr_cf(-1.0, 100.0); }, "sampleRate>0.0"},
        {[] { calcSimpleAllpassCoeff_sr_wf(44100.0, -5.0); }, "centerFreq>0.0"},
        {[] { calcSimpleAllpassCoeff_sr_wf(0.0, 5.0); }, "sampleRate>0.0"},
        {[] { calcSimpleAllpassCoeff_fd(0.0); }, "fractionalDelay>0.0"},
    };
    for (const Case& c : cases)
        EXPECT_DEATH(c.call(), assertionPattern(c.condition, "Common/dsp/simpleFilters")) << c.condition;
}
#else
TEST(SimpleFilters, InvalidArgumentsGiveHarmlessCoefficients)
{
    const double nan = std::nan("");
    // Pass-through (1) or hold (0): never NaN, never outside [-1, 1].
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(nan), 0.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(-1.0), 0.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf(0.0, 100.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf_cg(44100.0, 100.0, 2.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_cf_cg(44100.0, 100.0, nan), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_ng(nan), 0.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_ng(3.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_tc(nan, 0.1), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_tc(44100.0, -1.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_tv(nan), 1.0);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(44100.0, nan), -1.0);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(-1.0, 100.0), -1.0);
    EXPECT_EQ(calcSimpleAllpassCoeff_fd(-0.5), 1.0);
}
#endif
