#include "Common/dsp/simpleFilters.h"
#include "Src/Compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace
{
const double pi = std::acos(-1.0);
constexpr int numBands = MultibandPowerDetector::numBands;

// Steady-state amplitude of a sampled sinusoid of known frequency: least-squares fit of a*sin + b*cos.
class SineFit
{
public:
    explicit SineFit(double cyclesPerSample) : w_(2.0 * pi * cyclesPerSample) {}

    void add(long n, double y)
    {
        const double s = std::sin(w_ * n);
        const double c = std::cos(w_ * n);
        ss_ += s * s;
        sc_ += s * c;
        cc_ += c * c;
        ys_ += y * s;
        yc_ += y * c;
    }

    double amplitude() const
    {
        const double det = ss_ * cc_ - sc_ * sc_;
        const double a = (ys_ * cc_ - yc_ * sc_) / det;
        const double b = (yc_ * ss_ - ys_ * sc_) / det;
        return std::hypot(a, b);
    }

private:
    double w_;
    double ss_ = 0, sc_ = 0, cc_ = 0, ys_ = 0, yc_ = 0;
};

// Closed-form response of band k at f Hz from the crossover coefficients: the bands are sums and
// differences of first-order allpasses (c + z^-1)/(1 + c z^-1).
double bandResponse(const BandSplitterCoeffs& coeffs, int band, double f, double sampleRate)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * pi * f / sampleRate);
    auto allpass = [&](int i) { return (coeffs.coeffs_[i] + zInverse) / (1.0 + coeffs.coeffs_[i] * zInverse); };
    if (band == 0)
        return std::abs(1.0 + allpass(0));
    if (band == numBands - 1)
        return std::abs(1.0 - allpass(numBands - 2));
    return std::abs(allpass(band) - allpass(band - 1));
}

// Settled power of every band for a constant input, from a detector that follows instantly.
MultibandPowerDetector& settleOnDc(MultibandPowerDetector& detector, double level)
{
    detector.attackTime(0.0);
    detector.releaseTime(0.0);
    // The slowest crossover pole is 0.9965 at 44100 Hz: 20000 samples leave 1e-30 of the start.
    for (int n = 0; n < 20000; ++n)
        detector.tick(level, level);
    return detector;
}
} // namespace

TEST(BandSplitter, BandsOfAChannelAddUpToTwiceTheInput)
{
    MultibandPowerDetector detector;
    BandSplitter splitter;
    splitter.reset(numBands);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    double bands[numBands];
    for (int n = 0; n < 5000; ++n)
    {
        const double x = noise(random) * (n % 2 ? 1e-3 : 10.0);
        splitter.split(detector.splitterCoeffs_, x, bands);
        double sum = 0.0;
        double largest = std::fabs(x);
        for (double b : bands)
        {
            sum += b;
            largest = std::fmax(largest, std::fabs(b));
        }
        // The telescoping sum cancels in floating point up to one rounding per band.
        EXPECT_NEAR(sum, 2.0 * x, 2.0 * numBands * 1.2e-16 * largest * 4) << n;
    }
}

TEST(BandSplitter, DcEndsInTheLowestBand)
{
    MultibandPowerDetector detector;
    BandSplitter splitter;
    splitter.reset(numBands);
    double bands[numBands];
    for (int n = 0; n < 20000; ++n)
        splitter.split(detector.splitterCoeffs_, 0.75, bands);
    EXPECT_NEAR(bands[0], 1.5, 1e-12);
    for (int k = 1; k < numBands; ++k)
        EXPECT_NEAR(bands[k], 0.0, 1e-12) << k;
}

TEST(BandSplitter, BandsPeakAtTheirCentresAndTileTheRange)
{
    MultibandPowerDetector detector;
    const BandSplitterCoeffs& coeffs = detector.splitterCoeffs_;
    const int lastBand = numBands - 1;
    // A sine at each band's centre, measured in steady state, matches the closed-form response of every
    // band (1e-9: the transient has decayed to 1e-15 after 10000 samples). Bands 0 and 32 are first-order
    // shelves (2 at DC and at Nyquist respectively) that reach far into their neighbours. Among the narrow
    // bands the band at whose centre the sine lies is the loudest up to band 24 (3.4 kHz); above, the
    // bilinear warping spreads the upper crossovers' phases and each band's gain rises with frequency
    // (0.21 at band 16, 0.50 at band 31), so the next band's skirt outgrows the band's own peak.
    const int lastOrderedBand = 24;
    for (int centreBand = 0; centreBand < numBands; ++centreBand)
    {
        const double f = MultibandPowerDetector::bandCentre(centreBand);
        BandSplitter splitter;
        splitter.reset(numBands);
        std::vector<SineFit> fits(numBands, SineFit(f / 44100.0));
        double bands[numBands];
        for (long n = 0; n < 14096; ++n)
        {
            splitter.split(coeffs, std::sin(2.0 * pi * f / 44100.0 * n), bands);
            if (n >= 10000)
                for (int k = 0; k < numBands; ++k)
                    fits[k].add(n, bands[k]);
        }
        int loudest = 1;
        for (int k = 0; k < numBands; ++k)
        {
            EXPECT_NEAR(fits[k].amplitude(), bandResponse(coeffs, k, f, 44100.0), 1e-9) << centreBand << " " << k;
            if (k > 0 && k < lastBand && fits[k].amplitude() > fits[loudest].amplitude())
                loudest = k;
        }
        if (centreBand > 0 && centreBand <= lastOrderedBand)
        {
            EXPECT_EQ(loudest, centreBand);
        }
    }
    // The shelves: 2 at their own end of the spectrum, falling monotonically towards the other.
    EXPECT_NEAR(bandResponse(coeffs, 0, 0.0, 44100.0), 2.0, 1e-12);
    EXPECT_NEAR(bandResponse(coeffs, lastBand, 22050.0, 44100.0), 2.0, 1e-12);
    for (double f = 10.0; f < 22050.0; f *= 1.1)
    {
        EXPECT_LT(bandResponse(coeffs, 0, f * 1.1, 44100.0), bandResponse(coeffs, 0, f, 44100.0)) << f;
        EXPECT_GT(bandResponse(coeffs, lastBand, f * 1.1, 44100.0), bandResponse(coeffs, lastBand, f, 44100.0))
            << f;
    }
    // Between two crossovers r = 1000^(1/33) apart the mid-band peak of the allpass difference is
    // 2 (r - 1)/(r + 1) = 0.2086 in the analog prototype; up to band 18 (1 kHz) the bilinear warping
    // changes it by less than 1e-3.
    const double r = std::pow(1000.0, 1.0 / 33.0);
    for (int k = 1; k <= 18; ++k)
        EXPECT_NEAR(bandResponse(coeffs, k, MultibandPowerDetector::bandCentre(k), 44100.0),
                    2.0 * (r - 1.0) / (r + 1.0), 1e-3)
            << k;
    // Each of bands 1 to 31 peaks within 1.5 % of its centre (warping pulls the top ones up).
    for (int k = 1; k < lastBand; ++k)
    {
        const double centre = MultibandPowerDetector::bandCentre(k);
        double bestGain = 0.0;
        double bestFreq = 0.0;
        for (int step = -400; step <= 400; ++step)
        {
            const double f = centre * std::pow(r, step / 800.0);
            const double g = bandResponse(coeffs, k, f, 44100.0);
            if (g > bestGain)
            {
                bestGain = g;
                bestFreq = f;
            }
        }
        EXPECT_NEAR(bestFreq / centre, 1.0, 0.015) << k;
    }
    // Tiling: every frequency from 20 Hz to 20 kHz reaches some band at 0.2 or more (the mid-band peak is
    // 0.2086 and neighbours cross just below it), and from 24.7 Hz up to band 24 the loudest of the narrow
    // bands is the one whose edges enclose the frequency, in the upper half of a band possibly the next one
    // (warping moves the point where neighbours tie below the crossover: to 0.58 of band 24's width).
    for (int step = 0; step <= 3300; ++step)
    {
        const double f = 20.0 * std::pow(1000.0, step / 3300.0);
        double loudestGain = 0.0;
        int loudestNarrow = 1;
        for (int k = 0; k < numBands; ++k)
        {
            const double g = bandResponse(coeffs, k, f, 44100.0);
            loudestGain = std::fmax(loudestGain, g);
            if (k > 0 && k < lastBand && g > bandResponse(coeffs, loudestNarrow, f, 44100.0))
                loudestNarrow = k;
        }
        EXPECT_GT(loudestGain, 0.2) << f;
        // Exactly on a crossover two bands tie.
        if (step > 100 && step < (lastOrderedBand + 1) * 100 && step % 100 != 0)
        {
            const int enclosing = step / 100;
            EXPECT_TRUE(loudestNarrow == enclosing || loudestNarrow == enclosing + 1) << f << " " << loudestNarrow;
            if (step % 100 <= 50)
            {
                EXPECT_EQ(loudestNarrow, enclosing) << f;
            }
        }
    }
}

TEST(BandSplitter, NyquistEndsInTheHighestBand)
{
    MultibandPowerDetector detector;
    BandSplitter splitter;
    splitter.reset(numBands);
    double bands[numBands];
    for (int n = 0; n < 20000; ++n)
        splitter.split(detector.splitterCoeffs_, n % 2 ? -0.75 : 0.75, bands);
    EXPECT_NEAR(bands[numBands - 1], -1.5, 1e-12);
    for (int k = 0; k < numBands - 1; ++k)
        EXPECT_NEAR(bands[k], 0.0, 1e-12) << k;
}

TEST(Detector, QuotedCoefficientsAt44100)
{
    // The five-significant-digit values quoted for an attack time of 0.2 s at 44100 Hz; half a unit in
    // the last digit.
    Compressor compressor;
    compressor.attackTime(0.2);
    const MultibandPowerDetector& d = compressor.detector_;
    struct Case
    {
        double actual, expected, tolerance;
    };
    const Case cases[] = {
        {d.attackCoeffs_[0], 1.1337e-4, 0.00005e-4},  {d.attackCoeffs_[16], 3.2239e-3, 0.00005e-3},
        {d.attackCoeffs_[32], 0.087863, 0.0000005},   {d.splitterCoeffs_.coeffs_[0], -0.99649, 0.000005},
        {d.splitterCoeffs_.coeffs_[16], -0.90464, 0.000005}, {d.splitterCoeffs_.coeffs_[31], 0.38817, 0.000005},
        {d.hilbertCoeffs_[0], -0.99684, 0.000005},     {d.hilbertCoeffs_[16], -0.91372, 0.000005},
        {d.hilbertCoeffs_[32], 0.54342, 0.000005},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.actual, c.expected, c.tolerance);
    // Band frequencies: 20 * 1000^(k/33) for the edges, half a band higher for the centres.
    EXPECT_NEAR(MultibandPowerDetector::bandLowEdge(1), 24.657, 0.0005);
    EXPECT_NEAR(MultibandPowerDetector::bandLowEdge(16), 569.61, 0.005);
    EXPECT_NEAR(MultibandPowerDetector::bandLowEdge(32), 16222.6, 0.05);
    EXPECT_NEAR(MultibandPowerDetector::bandCentre(0), 22.207, 0.0005);
    EXPECT_NEAR(MultibandPowerDetector::bandCentre(16), 632.46, 0.005);
    EXPECT_NEAR(MultibandPowerDetector::bandCentre(32), 18012.6, 0.05);
    // Each band's time constant is the lowest band's divided by 1000^(k/33).
    for (int k = 0; k < numBands; ++k)
    {
        const float timeConstant = static_cast<float>(0.2 * 20.0 / MultibandPowerDetector::bandLowEdge(k));
        EXPECT_EQ(d.attackCoeffs_[k], calcSimpleLowpassCoeff_sr_tc(44100.0f, timeConstant)) << k;
    }
}

TEST(Detector, ZeroTimesFollowInstantly)
{
    Compressor compressor;
    compressor.attackTime(0.0);
    compressor.releaseTime(0.0);
    for (int k = 0; k < numBands; ++k)
    {
        EXPECT_EQ(compressor.detector_.attackCoeffs_[k], 1.0) << k;
        EXPECT_EQ(compressor.detector_.releaseCoeffs_[k], 1.0) << k;
    }
    // The band power is then the instantaneous power: for settled DC, (2x)^2 per channel in band 0.
    MultibandPowerDetector detector;
    settleOnDc(detector, 0.5);
    EXPECT_NEAR(detector.tick(0.5, 0.5), 2.0, 1e-12);
    EXPECT_NEAR(detector.power_[0], 2.0, 1e-12);
}

TEST(Detector, AttackAndReleaseFollowTheirCoefficients)
{
    // Settled DC of 1 on both channels: band 0 carries an instantaneous power of 8, the others ~0.
    MultibandPowerDetector detector;
    settleOnDc(detector, 1.0);
    detector.attackTime(0.01);
    detector.releaseTime(0.03);
    const double attack = detector.attackCoeffs_[0];
    const double release = detector.releaseCoeffs_[0];
    ASSERT_NE(attack, release);

    // Rising from 0 uses the attack coefficient: 8 (1 - (1 - c)^n).
    detector.power_[0] = 0.0;
    for (int n = 1; n <= 2000; ++n)
    {
        detector.tick(1.0, 1.0);
        if (n % 250 == 0)
        {
            EXPECT_NEAR(detector.power_[0], 8.0 * (1.0 - std::pow(1.0 - attack, n)), 1e-9) << n;
        }
    }
    // Falling from 16 uses the release coefficient: 8 + 8 (1 - c)^n.
    detector.power_[0] = 16.0;
    for (int n = 1; n <= 2000; ++n)
    {
        detector.tick(1.0, 1.0);
        if (n % 250 == 0)
        {
            EXPECT_NEAR(detector.power_[0], 8.0 + 8.0 * std::pow(1.0 - release, n), 1e-9) << n;
        }
    }
}

TEST(Detector, EqualPowerUsesTheReleaseCoefficient)
{
    // Start each band exactly at the instantaneous power of the first sample (taken from a twin splitter),
    // with an instant attack: the attack would keep every band exactly, the release rounds P*c + (1-c)*P.
    MultibandPowerDetector detector;
    detector.attackTime(0.0);
    detector.releaseTime(0.0123);
    BandSplitter twinLeft;
    BandSplitter twinRight;
    twinLeft.reset(numBands);
    twinRight.reset(numBands);
    double left[numBands];
    double right[numBands];
    twinLeft.split(detector.splitterCoeffs_, 0.37, left);
    twinRight.split(detector.splitterCoeffs_, -0.81, right);
    double instant[numBands];
    for (int k = 0; k < numBands; ++k)
        detector.power_[k] = instant[k] = left[k] * left[k] + right[k] * right[k];
    detector.tick(0.37, -0.81);
    int distinguishable = 0;
    for (int k = 0; k < numBands; ++k)
    {
        const double c = detector.releaseCoeffs_[k];
        const double released = instant[k] * c + (1.0 - c) * instant[k];
        EXPECT_EQ(detector.power_[k], released) << k;
        distinguishable += released != instant[k];
    }
    EXPECT_GT(distinguishable, 0);
}

TEST(Detector, HilbertDetectionStartsFromThePreviousBandSample)
{
    // With detection off the quadrature memories hold the last band samples, so switching on continues
    // from them: the first quadrature output is h*b + previous b.
    MultibandPowerDetector detector;
    BandSplitter twin;
    twin.reset(numBands);
    double bands[numBands];
    std::mt19937 random(3);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    for (int n = 0; n < 100; ++n)
    {
        const double x = signal(random);
        detector.tick(x, x);
        twin.split(detector.splitterCoeffs_, x, bands);
    }
    for (int k = 0; k < numBands; ++k)
    {
        EXPECT_EQ(detector.hilbertStateLeft_[k], bands[k]) << k;
        EXPECT_EQ(detector.hilbertStateRight_[k], bands[k]) << k;
    }
    std::vector<double> previous(bands, bands + numBands);
    detector.hilbert(true);
    detector.attackTime(0.0);
    detector.releaseTime(0.0);
    const double x = 0.25;
    const double total = detector.tick(x, x);
    twin.split(detector.splitterCoeffs_, x, bands);
    double expectedTotal = 0.0;
    for (int k = 0; k < numBands; ++k)
    {
        const double h = detector.hilbertCoeffs_[k];
        const double quadrature = h * bands[k] + previous[k];
        EXPECT_EQ(detector.power_[k], 0.5 * (quadrature * quadrature + bands[k] * bands[k] +
                                             quadrature * quadrature + bands[k] * bands[k]))
            << k;
        expectedTotal += detector.power_[k];
    }
    EXPECT_EQ(total, expectedTotal);
}

TEST(Detector, HilbertDetectionSmoothsASinesPower)
{
    // A sine in band 16 through band 16: plain power ripples at twice the frequency between 0 and the peak,
    // the quadrature pair keeps it within a few per cent of its mean.
    for (bool hilbert : {false, true})
    {
        MultibandPowerDetector detector;
        detector.attackTime(0.0);
        detector.releaseTime(0.0);
        detector.hilbert(hilbert);
        const double f = MultibandPowerDetector::bandCentre(16) / 44100.0;
        double low = 1e9;
        double high = 0.0;
        for (long n = 0; n < 20000; ++n)
        {
            detector.tick(std::sin(2.0 * pi * f * n), 0.0);
            if (n >= 15000)
            {
                low = std::fmin(low, detector.power_[16]);
                high = std::fmax(high, detector.power_[16]);
            }
        }
        const double ripple = (high - low) / high;
        EXPECT_LT(ripple, hilbert ? 0.05 : 1.0) << hilbert;
        EXPECT_GT(ripple, hilbert ? 0.0 : 0.99) << hilbert;
    }
}
