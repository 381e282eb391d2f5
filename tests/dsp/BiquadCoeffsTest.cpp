#include "Common/dsp/BiquadCoeffs.h"
#include "tests/dsp/AssertionMatcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{
const double pi = std::acos(-1.0);

std::complex<double> at(const BiquadCoeffs& c, double f)
{
    return c.Hz(std::polar(1.0, 2.0 * pi * f));
}

double gainAt(const BiquadCoeffs& c, double f)
{
    return std::abs(at(c, f));
}

void expectSameCoeffs(const BiquadCoeffs& a, const BiquadCoeffs& b)
{
    EXPECT_EQ(a.gain, b.gain);
    EXPECT_EQ(a.a1, b.a1);
    EXPECT_EQ(a.a2, b.a2);
    EXPECT_EQ(a.b1, b.b1);
    EXPECT_EQ(a.b2, b.b2);
}

BiquadCoeffs cooked(long type, double freq, double q)
{
    BiquadCoeffs c;
    c.cook(type, freq, q);
    return c;
}
} // namespace

TEST(BiquadCoeffs, DefaultIdentityAndMute)
{
    BiquadCoeffs c;
    EXPECT_EQ(c.gain, 1.0f);
    EXPECT_EQ(c.a1, 0.0f);
    EXPECT_EQ(c.b2, 0.0f);
    EXPECT_EQ(c.Hz(1.0), std::complex<double>(1.0, 0.0));
    c.cookMute();
    EXPECT_EQ(c.Hz(1.0), std::complex<double>(0.0, 0.0));
    c.cookIdentity();
    EXPECT_EQ(c.Hz(std::complex<double>(0.3, -2.0)), std::complex<double>(1.0, 0.0));
}

TEST(BiquadCoeffs, CookbookBandPassAtPointThree)
{
    // w = 0.3, q = 0.707: the numbers to five decimals.
    const BiquadCoeffs c = cooked(2, 0.3 / (2.0 * pi), 0.707);
    EXPECT_NEAR(c.gain, 0.17287, 5e-6);
    EXPECT_NEAR(c.a1, 1.58038, 5e-6);
    EXPECT_NEAR(c.a2, -0.65427, 5e-6);
    EXPECT_EQ(c.b1, 0.0f);
    EXPECT_EQ(c.b2, -1.0f);
}

TEST(BiquadCoeffs, CookbookShapesAtDcDesignFrequencyAndNyquist)
{
    // Cookbook closed forms: low-pass and high-pass have gain q at the design frequency, the band-pass peaks
    // at 1 there, the notch is 0 there, the all-pass is 1 everywhere and -180 degrees there.
    // Single-precision coefficients: 2e-6 relative on these well-conditioned designs.
    struct Case
    {
        long type;
        double freq, q;
        double dc, design, nyquist;
    };
    const std::vector<Case> cases = {
        {0, 0.05, std::sqrt(0.5), 1, std::sqrt(0.5), 0},
        {0, 0.2, 2.0, 1, 2.0, 0},
        {1, 0.05, std::sqrt(0.5), 0, std::sqrt(0.5), 1},
        {1, 0.3, 0.5, 0, 0.5, 1},
        {2, 0.1, 1.0, 0, 1, 0},
        {3, 0.1, 1.0, 1, 0, 1},
        {4, 0.1, 1.0, 1, 1, 1},
        {5, 0.1, 1.0, 1, 1, 1},
    };
    for (const Case& c : cases) {
        const BiquadCoeffs coeffs = cooked(c.type, c.freq, c.q);
        // The design frequency is w = 2 pi freq rounded to a float.
        const double designFreq = static_cast<float>(2.0 * pi * c.freq) / (2.0 * pi);
        EXPECT_NEAR(gainAt(coeffs, 0.0), c.dc, 2e-6) << c.type;
        EXPECT_NEAR(gainAt(coeffs, designFreq), c.design, 2e-6 * (1.0 + c.design)) << c.type;
        EXPECT_NEAR(gainAt(coeffs, 0.5), c.nyquist, 2e-6) << c.type;
    }
    EXPECT_NEAR(std::abs(std::arg(at(cooked(4, 0.1, 1.0), 0.1))), pi, 1e-5);
}

TEST(BiquadCoeffs, CookLimitsTheFrequency)
{
    expectSameCoeffs(cooked(0, 0.6, 0.7), cooked(0, 0.49, 0.7));
    expectSameCoeffs(cooked(1, 3.0, 0.7), cooked(1, 0.49, 0.7));
}

TEST(BiquadCoeffs, FlatShapeIsExactlyOneEverywhere)
{
    for (long type : {5L, 17L, -1L}) {
        BiquadCoeffs c;
        c.cookFast(type, std::cos(0.7), std::sin(0.7), 1.0 / 0.3);
        EXPECT_EQ(c.gain, 1.0f);
        for (std::complex<double> z :
             {std::complex<double>(1.0, 0.0), std::polar(1.0, 0.3), std::polar(1.0, 3.1),
              std::complex<double>(-1.0, 0.0), std::complex<double>(5.0, -7.0)})
            EXPECT_EQ(c.Hz(z), std::complex<double>(1.0, 0.0)) << type << " " << z;
    }
}

TEST(BiquadCoeffs, DegenerateDesignsStayHarmless)
{
    // Low-pass at DC and high-pass at Nyquist have a zero numerator: silence, with no feedback left.
    BiquadCoeffs c;
    c.cookFast(1, -1.0, 0.0, 1.0);
    EXPECT_EQ(c.gain, 0.0f);
    EXPECT_EQ(c.a1, 0.0f);
    EXPECT_EQ(c.a2, 0.0f);
    expectSameCoeffs(cooked(0, 0.0, 0.7), BiquadCoeffs(c));
    // A high-pass at DC passes everything; a zero or NaN q has no design and passes too.
    const BiquadCoeffs identity;
    expectSameCoeffs(cooked(1, 0.0, 0.7), identity);
    expectSameCoeffs(cooked(0, 0.1, 0.0), identity);
    expectSameCoeffs(cooked(0, std::nan(""), 0.7), identity);
    // Orfanidis with a peak equal to the reference gain is that flat gain.
    c.cookPeakingOrfanidis(0.5, 0.5, 0.5, 0.1, 0.05);
    EXPECT_EQ(c.gain, 0.5f);
    EXPECT_EQ(c.Hz(std::polar(1.0, 1.0)), std::complex<double>(0.5, 0.0));
}

TEST(BiquadCoeffs, ShelvesReachTheirGains)
{
    // A is the square root of the shelf gain; the shelf's midpoint has gain A. 1e-5 relative for the
    // single-precision coefficients and normalisers.
    for (double A : {0.5, 2.0, 4.0}) {
        BiquadCoeffs low;
        low.cookShelf(0.05, A, 1.0);
        EXPECT_NEAR(gainAt(low, 0.0), A * A, 1e-5 * A * A) << A;
        EXPECT_NEAR(gainAt(low, 0.5), 1.0, 1e-5) << A;
        EXPECT_NEAR(gainAt(low, 0.05), A, 1e-5 * A) << A;
        BiquadCoeffs high;
        high.cookShelf(0.05, A, -1.0);
        EXPECT_NEAR(gainAt(high, 0.0), 1.0, 1e-5) << A;
        EXPECT_NEAR(gainAt(high, 0.5), A * A, 1e-5 * A * A) << A;
        EXPECT_NEAR(gainAt(high, 0.05), A, 1e-5 * A) << A;
    }
    BiquadCoeffs above;
    above.cookShelf(0.7, 2.0, 1.0);
    BiquadCoeffs limited;
    limited.cookShelf(0.49f, 2.0, 1.0);
    expectSameCoeffs(above, limited);
}

TEST(BiquadCoeffs, PeakingDesignsPeakAtTheirFrequency)
{
    // Reference gain 1 at DC and the peak gain at freq, to 2e-5 relative (single-precision coefficients);
    // freq is a local extremum of the response. The gain at the lower band edge only approximates
    // sqrt(gain), each design in its own way; the bounds are the worst cases measured over this table
    // (design A 1.7 %, design B 7.6 %, Orfanidis 12.6 % near Nyquist), rounded up.
    const double edgeTolerance[3] = {0.02, 0.08, 0.13};
    for (int type = 0; type < 3; ++type)
        for (double peakGain : {0.25, 2.0, 8.0})
            for (double freq : {0.02, 0.1, 0.3}) {
                BiquadCoeffs c;
                c.cookPeaking(freq, 1.0, peakGain, static_cast<BiquadCoeffs::PeakingType>(type));
                const double peak = gainAt(c, freq);
                EXPECT_NEAR(gainAt(c, 0.0), 1.0, 2e-5) << type << " " << peakGain << " " << freq;
                EXPECT_NEAR(peak, peakGain, 2e-5 * peakGain) << type << " " << peakGain << " " << freq;
                const bool boost = peakGain > 1.0;
                EXPECT_EQ(peak > gainAt(c, freq * 1.01), boost) << type << " " << peakGain << " " << freq;
                EXPECT_EQ(peak > gainAt(c, freq / 1.01), boost) << type << " " << peakGain << " " << freq;
                const double edge = gainAt(c, freq * std::sqrt(0.5));
                EXPECT_NEAR(std::log(edge / std::sqrt(peakGain)), 0.0, edgeTolerance[type])
                    << type << " " << freq;
                EXPECT_EQ(edge > 1.0, boost) << type << " " << peakGain << " " << freq;
            }
}

TEST(BiquadCoeffs, PeakingNearUnityUsesPointNineNineNine)
{
    BiquadCoeffs c;
    c.cookPeaking(0.1, 1.0, 1.0005, BiquadCoeffs::orrelA);
    BiquadCoeffs expected;
    expected.cookPeakingOrrelA(1.0, 0.1 * BiquadCoeffs::octavesToEdgePeakRatio(1.0), std::sqrt(0.999), 0.1,
                               0.999);
    expectSameCoeffs(c, expected);
    // Any type other than 1 and 2 is design A.
    BiquadCoeffs other;
    other.cookPeaking(0.1, 1.0, 1.0005, static_cast<BiquadCoeffs::PeakingType>(9));
    expectSameCoeffs(other, expected);
}

TEST(BiquadCoeffs, BandPassesPassOneAtTheCentre)
{
    // Edge gains approximate sqrt(0.5) as the peaking designs approximate theirs (bounds as above).
    const double edgeTolerance[3] = {0.02, 0.08, 0.13};
    for (int type = 0; type < 3; ++type) {
        BiquadCoeffs c;
        c.cookBandpass(0.1, 1.0, static_cast<BiquadCoeffs::PeakingType>(type));
        EXPECT_NEAR(gainAt(c, 0.0), 0.0, 1e-6) << type;
        EXPECT_NEAR(gainAt(c, 0.1), 1.0, 2e-5) << type;
        EXPECT_NEAR(std::log(gainAt(c, 0.1 * std::sqrt(0.5)) / std::sqrt(0.5)), 0.0, edgeTolerance[type])
            << type;
    }
    // Two octaves around 0.4: the upper edge is limited to 0.5, the lower one is 0.2, so df = 0.3.
    BiquadCoeffs c;
    c.cookBandpass(0.4, 2.0, BiquadCoeffs::orfanidis);
    BiquadCoeffs expected;
    expected.cookPeakingOrfanidis(0.0, 1.0, std::sqrt(0.5), 0.4, 0.3);
    expectSameCoeffs(c, expected);
}

TEST(BiquadCoeffs, Conversions)
{
    // Single precision throughout: 5e-6 on the quoted five-digit values.
    EXPECT_NEAR(BiquadCoeffs::octavesToQ(1.0), 1.41421, 5e-6);
    EXPECT_NEAR(BiquadCoeffs::qToOctaves(1.41421), 1.0, 5e-6);
    EXPECT_EQ(BiquadCoeffs::octavesToEdgePeakRatio(2.0), 0.5);
    EXPECT_NEAR(BiquadCoeffs::qToEdgePeakRatio(1.0), (std::sqrt(5.0) - 1.0) / 2.0, 1e-7);
    EXPECT_NEAR(BiquadCoeffs::edgePeakRatioToOctaves(0.25), 4.0, 1e-6);
    EXPECT_NEAR(BiquadCoeffs::edgePeakRatioToQ(0.5), 1.0 / 1.5, 1e-7);
    for (double octaves : {0.1, 0.5, 1.0, 2.0, 5.0})
        EXPECT_NEAR(BiquadCoeffs::qToOctaves(BiquadCoeffs::octavesToQ(octaves)), octaves, 1e-5 * octaves);
    // Very wide bands (small Q) keep a positive ratio: sqrt(x^2 + 1) - x = Q/(0.5 + sqrt(0.25 + Q^2)),
    // about Q, to single precision (1e-6).
    for (double Q : {1e-3, 1e-4, 1e-6})
        EXPECT_NEAR(BiquadCoeffs::qToEdgePeakRatio(Q), Q / (0.5 + std::sqrt(0.25 + Q * Q)), 1e-6 * Q) << Q;
}

#if ZR_ASSERTIONS
TEST(BiquadCoeffsDeathTest, ChecksTheirArgumentsInOrder)
{
    struct Case
    {
        std::function<void()> call;
        const char* condition;
    };
    BiquadCoeffs c;
    const std::vector<Case> cases = {
        {[&] { c.cookPeakingOrrelA(1, 0.1, 2, 0.0, 4); }, "Fp>0"},
        {[&] { c.cookPeakingOrrelA(1, 0.0, 2, 0.2, 4); }, "Fb>0"},
        {[&] { c.cookPeakingOrrelA(1, 0.3, 2, 0.2, 4); }, "Fb<Fp"},
        {[&] { c.cookPeakingOrrelA(-1, 0.1, 2, 0.2, 4); }, "G0>=0"},
        {[&] { c.cookPeakingOrrelA(1, 0.1, -2, 0.2, 4); }, "Gb>=0"},
        {[&] { c.cookPeakingOrrelA(1, 0.1, 2, 0.2, -4); }, "Gp>=0"},
        {[&] { c.cookPeakingOrrelA(1, 0.1, 1, 0.2, 4); }, "(G0<Gb && Gb<Gp) || (G0>Gb && Gb>Gp)"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 2, 0.0, 4); }, "pf>0"},
        {[&] { c.cookPeakingOrrelB(1, 0.0, 2, 0.2, 4); }, "ef>0"},
        {[&] { c.cookPeakingOrrelB(1, 0.3, 2, 0.2, 4); }, "ef<pf"},
        {[&] { c.cookPeakingOrrelB(-1, 0.1, 2, 0.2, 4); }, "g0>=0"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 0, 0.2, 4); }, "eg>0"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 2, 0.2, -4); }, "pg>=0"},
        {[&] { c.cookPeakingOrrelB(1, 0.1, 4, 0.2, 4); }, "(g0<eg && eg<pg) || (g0>eg && eg>pg)"},
        {[] { BiquadCoeffs::octavesToEdgePeakRatio(-1.0); }, "octaves>=0"},
        {[] { BiquadCoeffs::octavesToEdgePeakRatio(1000.0); }, "ratio>0.0f && ratio<=1.0f"},
        {[] { BiquadCoeffs::edgePeakRatioToOctaves(0.0); }, "ratio>0.0f"},
        {[] { BiquadCoeffs::qToEdgePeakRatio(-1.0); }, "Q>=0.0f"},
        {[] { BiquadCoeffs::qToEdgePeakRatio(0.0); }, "ratio>0.0f && ratio<=1.0f"},
        {[] { BiquadCoeffs::edgePeakRatioToQ(-0.5); }, "ratio>0.0f"},
        {[] { BiquadCoeffs::qToOctaves(-1.0); }, "Q>=0.0f"},
        {[] { BiquadCoeffs::octavesToQ(-1.0); }, "octaves>=0"},
    };
    for (const Case& k : cases)
        EXPECT_DEATH(k.call(), assertionPattern(k.condition, "Common/dsp/BiquadCoeffs")) << k.condition;
}
#else
TEST(BiquadCoeffs, InvalidArgumentsGiveHarmlessResults)
{
    BiquadCoeffs c;
    c.cookPeakingOrrelA(1, 0.1, 1, 0.2, 4);
    EXPECT_EQ(c.gain, 1.0f);
    EXPECT_EQ(c.a1, 0.0f);
    c.cookPeakingOrrelB(2, 0.3, 3, 0.2, 4);
    EXPECT_EQ(c.gain, 2.0f);
    EXPECT_EQ(c.b1, 0.0f);
    EXPECT_EQ(BiquadCoeffs::edgePeakRatioToOctaves(0.0), 0.0);
    EXPECT_GT(BiquadCoeffs::qToEdgePeakRatio(0.0), 0.0);
    EXPECT_GT(BiquadCoeffs::edgePeakRatioToQ(-1.0), 0.0);
    EXPECT_LE(BiquadCoeffs::octavesToEdgePeakRatio(-3.0), 1.0);
}
#endif
