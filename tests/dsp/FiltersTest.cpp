#include "Common/dsp/BiquadCoeffs.h"
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
using Complex = std::complex<double>;

Complex unitCircle(double f)
{
    return std::polar(1.0, 2.0 * pi * f);
}
// One-pole y += c (x - y) and allpass (a + z^-1)/(1 + a z^-1) at normalised frequency f.
double onePoleGain(double c, double f)
{
    return std::abs(c / (1.0 - (1.0 - c) / unitCircle(f)));
}
double allpassPhase(double a, double f)
{
    return std::arg((a + 1.0 / unitCircle(f)) / (1.0 + a / unitCircle(f)));
}

BiquadCoeffs cooked(long type, double freq, double q)
{
    BiquadCoeffs c;
    c.cook(type, freq, q);
    return c;
}

bool same(const BiquadCoeffs& a, const BiquadCoeffs& b)
{
    return a.gain == b.gain && a.a1 == b.a1 && a.a2 == b.a2 && a.b1 == b.b1 && a.b2 == b.b2;
}
} // namespace

TEST(SimpleFilters, CoefficientsMeetTheirDesignTargets)
{
    // Closed forms, exact up to rounding: 1e-12 (1e-9 at f = 1e-4, where b^2 - 1 ~ (2 pi f)^2 cancels);
    // the allpass takes tan in single precision (1e-6 rad).
    for (double f : {1e-4, 0.01, 0.25, 0.49})
        EXPECT_NEAR(onePoleGain(calcSimpleLowpassCoeff_sr_cf(48000.0, f * 48000.0), f), std::sqrt(0.5), 1e-9);
    for (double g : {0.1, 0.5, 0.9})
        EXPECT_NEAR(onePoleGain(calcSimpleLowpassCoeff_sr_cf_cg(44100.0, 4410.0, g), 0.1), g, 1e-12);
    for (double n : {0.01, 0.5, 1.0}) {
        const double c = calcSimpleLowpassCoeff_ng(n);
        EXPECT_NEAR(c / (2.0 - c), n, 1e-15);
    }
    // A step reaches 1 - 1/e after timeConstant * sampleRate samples; (1 - c)/c^2 is the variance.
    EXPECT_NEAR(std::pow(1.0 - calcSimpleLowpassCoeff_sr_tc(44100.0, 0.05), 2205.0), std::exp(-1.0), 1e-12);
    const double c = calcSimpleLowpassCoeff_tv(10.0);
    EXPECT_NEAR((1.0 - c) / (c * c), 10.0, 1e-12);
    for (double centre : {20.0, 1000.0, 20000.0})
        EXPECT_NEAR(allpassPhase(calcSimpleAllpassCoeff_sr_wf(44100.0, centre), centre / 44100.0), -pi / 2,
                    1e-6);
    // Group delay at DC of the fractional-delay allpass, (1 - a)/(1 + a).
    const double a = calcSimpleAllpassCoeff_fd(0.3);
    EXPECT_NEAR((1.0 - a) / (1.0 + a), 0.3, 1e-15);
}

TEST(SimpleFilters, EdgeCases)
{
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_tc(44100.0, 0.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_tv(0.0), 1.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(0.0), 0.0);
    // Both formulas give 2 sqrt(2) - 2 at f = 0.5 (Nyquist gain sqrt(0.5)); the sum 0.5 is exact in a float.
    EXPECT_NEAR(calcSimpleLowpassCoeff_cf(0.5), 0.8284271247, 1e-10);
    EXPECT_NEAR(calcSimpleLowpassCoeff_cf(std::nextafter(0.5, 0.0)), 2.0 * std::sqrt(2.0) - 2.0, 1e-12);
    // Far above Nyquist the rounded sum can fall below f^2: the Nyquist gain is kept at 1, a pass-through.
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(123456.789), 1.0);
    // At Nyquist the gain design continues its lower branch (the Nyquist gain is a float: 1e-7).
    EXPECT_NEAR(calcSimpleLowpassCoeff_sr_cf_cg(1.0, 0.5, 0.3),
                calcSimpleLowpassCoeff_sr_cf_cg(1.0, 0.4999999, 0.3), 1e-7);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(44100.0, 30000.0),
              calcSimpleAllpassCoeff_sr_cf(44100.0, 0.49 * 44100.0));
}

TEST(BiquadCoeffs, CookbookShapes)
{
    // w = 0.3, q = 0.707: the values to five decimals.
    const BiquadCoeffs bp = cooked(BiquadCoeffs::bandpass, 0.3 / (2.0 * pi), 0.707);
    EXPECT_NEAR(bp.gain, 0.17287, 5e-6);
    EXPECT_NEAR(bp.a1, 1.58038, 5e-6);
    EXPECT_NEAR(bp.a2, -0.65427, 5e-6);
    EXPECT_EQ(bp.b1, 0.0f);
    EXPECT_EQ(bp.b2, -1.0f);
    // Gains at DC, at the design frequency (w rounded to a float) and at Nyquist: low- and high-pass have
    // q there, the band-pass 1, the notch 0, all-pass and flat 1. Float coefficients: 2e-6.
    struct Shape
    {
        long type;
        double freq, q, dcGain, designGain, nyquistGain;
    };
    const Shape table[] = {{BiquadCoeffs::lowpass, 0.05, 0.7071, 1, 0.7071, 0},
                           {BiquadCoeffs::lowpass, 0.2, 2, 1, 2, 0},
                           {BiquadCoeffs::highpass, 0.05, 0.7071, 0, 0.7071, 1},
                           {BiquadCoeffs::highpass, 0.3, 0.5, 0, 0.5, 1},
                           {BiquadCoeffs::bandpass, 0.1, 1, 0, 1, 0},
                           {BiquadCoeffs::notch, 0.1, 1, 1, 0, 1},
                           {BiquadCoeffs::allpass, 0.1, 1, 1, 1, 1},
                           {BiquadCoeffs::flat, 0.1, 1, 1, 1, 1}};
    for (const auto& t : table) {
        const BiquadCoeffs c = cooked(t.type, t.freq, t.q);
        const double design = static_cast<float>(2.0 * pi * t.freq) / (2.0 * pi);
        EXPECT_NEAR(std::abs(c.Hz(1.0)), t.dcGain, 2e-6) << t.type;
        EXPECT_NEAR(std::abs(c.Hz(unitCircle(design))), t.designGain, 2e-6 * (1.0 + t.designGain)) << t.type;
        EXPECT_NEAR(std::abs(c.Hz(-1.0)), t.nyquistGain, 2e-6) << t.type;
    }
    EXPECT_TRUE(same(cooked(BiquadCoeffs::lowpass, 0.6, 0.7), cooked(BiquadCoeffs::lowpass, 0.49, 0.7)));
    // The flat shape is exactly 1 at every z; identity and mute give 1 and 0.
    BiquadCoeffs flat;
    flat.cookFast(BiquadCoeffs::flat, std::cos(0.7), std::sin(0.7), 3.0);
    for (Complex z : {Complex(1.0), unitCircle(0.3), Complex(5.0, -7.0)})
        EXPECT_EQ(flat.Hz(z), Complex(1.0)) << z;
    BiquadCoeffs c;
    EXPECT_EQ(c.Hz(1.0), Complex(1.0));
    c.cookMute();
    EXPECT_EQ(c.Hz(1.0), Complex(0.0));
    // Degenerate designs stay harmless: low-pass at DC is silent, high-pass at DC and a zero q pass.
    EXPECT_TRUE(same(cooked(0, 0.0, 0.7), c));
    EXPECT_TRUE(same(cooked(1, 0.0, 0.7), BiquadCoeffs()));
    EXPECT_TRUE(same(cooked(0, 0.1, 0.0), BiquadCoeffs()));
}

TEST(BiquadCoeffs, ShelvesPeaksAndBandPasses)
{
    // Shelf with A = sqrt(gain): gain A^2 on the shelf, 1 off it, A at the midpoint (float
    // coefficients and normalisers: 1e-5 relative).
    for (double sign : {1.0, -1.0}) {
        BiquadCoeffs shelf;
        shelf.cookShelf(0.05, 2.0, sign);
        EXPECT_NEAR(std::abs(shelf.Hz(sign)), 4.0, 4e-5);
        EXPECT_NEAR(std::abs(shelf.Hz(-sign)), 1.0, 1e-5);
        EXPECT_NEAR(std::abs(shelf.Hz(unitCircle(0.05))), 2.0, 2e-5);
    }
    // Every peaking design: reference gain at DC, peak gain at freq (2e-5 relative); band-passes 0 and 1.
    for (int type = 0; type < 3; ++type)
        for (double peak : {0.25, 8.0}) {
            BiquadCoeffs c;
            c.cookPeaking(0.1, 1.0, peak, static_cast<BiquadCoeffs::PeakingType>(type));
            EXPECT_NEAR(std::abs(c.Hz(1.0)), 1.0, 2e-5) << type;
            EXPECT_NEAR(std::abs(c.Hz(unitCircle(0.1))), peak, 2e-5 * peak) << type;
            c.cookBandpass(0.1, 1.0, static_cast<BiquadCoeffs::PeakingType>(type));
            EXPECT_NEAR(std::abs(c.Hz(1.0)), 0.0, 1e-6) << type;
            EXPECT_NEAR(std::abs(c.Hz(unitCircle(0.1))), 1.0, 2e-5) << type;
        }
    // A gain within 0.001 of 1 designs with 0.999; types other than 1 and 2 are design A.
    BiquadCoeffs c, expected;
    c.cookPeaking(0.1, 1.0, 1.0005, static_cast<BiquadCoeffs::PeakingType>(9));
    expected.cookPeakingOrrelA(1.0, 0.1 * BiquadCoeffs::octavesToEdgePeakRatio(1.0), std::sqrt(0.999), 0.1,
                               0.999);
    EXPECT_TRUE(same(c, expected));
    // Two octaves around 0.4: upper edge limited to 0.5, lower edge 0.2, so df = 0.3.
    c.cookBandpass(0.4, 2.0, BiquadCoeffs::orfanidis);
    expected.cookPeakingOrfanidis(0.0, 1.0, std::sqrt(0.5), 0.4, 0.3);
    EXPECT_TRUE(same(c, expected));
    // Without a peak Orfanidis is the flat reference gain.
    c.cookPeakingOrfanidis(0.5, 0.5, 0.5, 0.1, 0.05);
    EXPECT_EQ(c.Hz(unitCircle(0.2)), Complex(0.5));
}

TEST(BiquadCoeffs, Conversions)
{
    // Single precision: 5e-6 on the five-digit values; small Q keeps a positive ratio Q/(0.5 + sqrt(0.25 +
    // Q^2)).
    EXPECT_NEAR(BiquadCoeffs::octavesToQ(1.0), 1.41421, 5e-6);
    EXPECT_NEAR(BiquadCoeffs::qToOctaves(1.41421), 1.0, 5e-6);
    EXPECT_EQ(BiquadCoeffs::octavesToEdgePeakRatio(2.0), 0.5);
    EXPECT_NEAR(BiquadCoeffs::edgePeakRatioToQ(0.5), 1.0 / 1.5, 1e-7);
    EXPECT_NEAR(BiquadCoeffs::qToEdgePeakRatio(1e-5), 1e-5, 1e-11);
}

#if ZR_ASSERTIONS
TEST(FiltersDeathTest, AssertionTexts)
{
    BiquadCoeffs c;
    const std::vector<std::pair<std::function<void()>, const char*>> simple = {
        {[] { calcSimpleLowpassCoeff_sr_cf(0.0, -1.0); }, "sampleRate>0.0f"},
        {[] { calcSimpleLowpassCoeff_sr_cf(1.0, -1.0); }, "f>=0.0"},
        {[] { calcSimpleLowpassCoeff_sr_cf_cg(0.0, 1.0, 1.5); }, "gain<=1.0"},
        {[] { calcSimpleLowpassCoeff_ng(1.01); }, "nyquistGain>0.0 && nyquistGain <= 1.0"},
        {[] { calcSimpleLowpassCoeff_sr_tc(44100.0, -1.0); }, "timeConstant>=0.0"},
        {[] { calcSimpleAllpassCoeff_sr_wf(0.0, 0.0); }, "centerFreq>0.0"},
        {[] { calcSimpleAllpassCoeff_fd(0.0); }, "fractionalDelay>0.0"}};
    const std::vector<std::pair<std::function<void()>, const char*>> biquad = {
        {[&] { c.cookPeakingOrrelA(1, 0.3, 2, 0.2, 4); }, "Fb<Fp"},
        {[&] { c.cookPeakingOrrelA(1, 0.1, 1, 0.2, 4); }, "(G0<Gb && Gb<Gp) || (G0>Gb && Gb>Gp)"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 0, 0.2, 4); }, "eg>0"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 4, 0.2, 4); }, "(g0<eg && eg<pg) || (g0>eg && eg>pg)"},
        {[] { BiquadCoeffs::octavesToQ(-1.0); }, "octaves>=0"},
        {[] { BiquadCoeffs::qToOctaves(0.0); }, "ratio>0.0f && ratio<=1.0f"}};
    for (const auto& k : simple)
        EXPECT_DEATH(k.first(), assertionPattern(k.second, "Common/dsp/simpleFilters")) << k.second;
    for (const auto& k : biquad)
        EXPECT_DEATH(k.first(), assertionPattern(k.second, "Common/dsp/BiquadCoeffs")) << k.second;
}
#else
TEST(Filters, InvalidArgumentsGiveHarmlessResults)
{
    EXPECT_EQ(calcSimpleLowpassCoeff_cf(std::nan("")), 0.0);
    EXPECT_EQ(calcSimpleLowpassCoeff_sr_tc(44100.0, -1.0), 1.0);
    EXPECT_EQ(calcSimpleAllpassCoeff_sr_cf(-1.0, 100.0), -1.0);
    BiquadCoeffs c;
    c.cookPeakingOrrelA(2, 0.1, 1, 0.2, 4);
    EXPECT_EQ(c.Hz(unitCircle(0.2)), Complex(2.0));
    EXPECT_GT(BiquadCoeffs::qToEdgePeakRatio(0.0), 0.0);
}
#endif
