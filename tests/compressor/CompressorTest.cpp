#include "Src/Compressor.h"
#include "tests/dsp/AssertionMatcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <random>
#include <vector>

namespace
{
const double pi = std::acos(-1.0);
constexpr int numBands = MultibandPowerDetector::numBands;

bool allZero(const double* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] != 0.0) return false;
    return true;
}

// Closed-form response at f Hz of band k: sums and differences of the allpasses (c + z^-1)/(1 + c z^-1).
double bandResponse(const BandSplitterCoeffs& coeffs, int k, double f)
{
    const std::complex<double> zInverse = std::polar(1.0, -2.0 * pi * f / 44100.0);
    auto allpass = [&](int i) {
        return (coeffs.coeffs_[i] + zInverse) / (1.0 + coeffs.coeffs_[i] * zInverse);
    };
    if (k == 0) return std::abs(1.0 + allpass(0));
    return std::abs((k == numBands - 1 ? 1.0 : allpass(k)) - allpass(k - 1));
}

// Steady-state amplitude of a sampled sinusoid: least-squares fit of a sin + b cos from sample `from` on.
double sineAmplitude(const std::vector<double>& y, double w, size_t from)
{
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t n = from; n < y.size(); ++n) {
        const double s = std::sin(w * n), c = std::cos(w * n);
        ss += s * s, sc += s * c, cc += c * c, ys += y[n] * s, yc += y[n] * c;
    }
    const double det = ss * cc - sc * sc;
    return std::hypot((ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det);
}

void runNoise(Compressor& c, int frames)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    double left, right;
    for (int n = 0; n < frames; ++n)
        c.processSample(signal(random), signal(random), left, right);
}
} // namespace

TEST(Detector, CoefficientsAt44100)
{
    // Attack time 0.2 s; the five-digit values of the band table in docs/engine.md, to half a unit in the
    // last digit.
    Compressor c;
    c.attackTime(0.2);
    const MultibandPowerDetector& d = c.detector_;
    const double cases[][3] = {{d.attackCoeffs_[0], 1.1337e-4, 5e-9},
                               {d.attackCoeffs_[16], 3.2239e-3, 5e-8},
                               {d.attackCoeffs_[32], 0.087863, 5e-7},
                               {d.splitterCoeffs_.coeffs_[0], -0.99649, 5e-6},
                               {d.splitterCoeffs_.coeffs_[16], -0.90464, 5e-6},
                               {d.splitterCoeffs_.coeffs_[31], 0.38817, 5e-6},
                               {d.hilbertCoeffs_[0], -0.99684, 5e-6},
                               {d.hilbertCoeffs_[16], -0.91372, 5e-6},
                               {d.hilbertCoeffs_[32], 0.54342, 5e-6}};
    for (const auto& k : cases)
        EXPECT_NEAR(k[0], k[1], k[2]) << k[1];
    EXPECT_NEAR(MultibandPowerDetector::bandCentre(16), 632.46, 0.005);
    EXPECT_NEAR(MultibandPowerDetector::bandLowEdge(32), 16222.6, 0.05);
}

TEST(BandSplitter, BandsAddUpToTwiceTheInputAndTheEndsTakeDcAndNyquist)
{
    const MultibandPowerDetector d;
    BandSplitter noise, dc, nyquist;
    for (BandSplitter* s : {&noise, &dc, &nyquist})
        s->reset(numBands);
    std::mt19937 random(7);
    std::normal_distribution<double> signal(0.0, 1.0);
    double bands[numBands];
    for (int n = 0; n < 20000; ++n) {
        const double x = signal(random);
        noise.split(d.splitterCoeffs_, x, bands);
        double sum = 0.0;
        for (double b : bands)
            sum += b;
        // The telescoping sum cancels up to one rounding per band (samples below 10, bands below 4).
        ASSERT_NEAR(sum, 2.0 * x, numBands * 4.0 * 2.2e-16 * 10.0) << n;
        dc.split(d.splitterCoeffs_, 0.75, bands);
    }
    // The slowest crossover pole is 0.9965: after 20000 samples DC is 2x in band 0 and nothing elsewhere.
    for (int k = 0; k < numBands; ++k)
        EXPECT_NEAR(bands[k], k == 0 ? 1.5 : 0.0, 1e-12) << k;
    for (int n = 0; n < 20000; ++n)
        nyquist.split(d.splitterCoeffs_, n % 2 ? -0.75 : 0.75, bands);
    for (int k = 0; k < numBands; ++k)
        EXPECT_NEAR(bands[k], k == numBands - 1 ? -1.5 : 0.0, 1e-12) << k;
}

TEST(BandSplitter, BandsPeakAtTheirCentresAndTileTheRange)
{
    const MultibandPowerDetector d;
    // A sine at a band centre, in steady state (the transient is below 1e-15 after 10000 samples), has the
    // closed-form amplitude in every band (1e-9). Up to band 24 (3.4 kHz) its own band is the loudest of
    // the narrow bands 1..31; above, bilinear warping raises each band's gain with frequency (0.21 at band
    // 16, 0.50 at band 31) and the next band's skirt outgrows it. Bands 0 and 32 are first-order shelves.
    for (int centre = 0; centre < numBands; centre += 4) {
        const double w = 2.0 * pi * MultibandPowerDetector::bandCentre(centre) / 44100.0;
        BandSplitter splitter;
        splitter.reset(numBands);
        std::vector<std::vector<double>> out(numBands, std::vector<double>(14096));
        double bands[numBands];
        for (size_t n = 0; n < 14096; ++n) {
            splitter.split(d.splitterCoeffs_, std::sin(w * n), bands);
            for (int k = 0; k < numBands; ++k)
                out[k][n] = bands[k];
        }
        int loudest = 1;
        for (int k = 0; k < numBands; ++k) {
            const double amplitude = sineAmplitude(out[k], w, 10000);
            EXPECT_NEAR(amplitude, bandResponse(d.splitterCoeffs_, k, w * 44100.0 / (2.0 * pi)), 1e-9) << k;
            if (k > 0 && k < numBands - 1 && amplitude > sineAmplitude(out[loudest], w, 10000)) loudest = k;
        }
        EXPECT_TRUE(centre == 0 || centre > 24 || loudest == centre) << centre << " " << loudest;
    }
    // Each narrow band peaks within 1.5 % of its centre (warping pulls the top ones up); the mid-band peak
    // is 2 (r - 1)/(r + 1) = 0.2086 for crossovers r = 1000^(1/33) apart (1e-3 up to band 18, 1 kHz).
    const double r = std::pow(1000.0, 1.0 / 33.0);
    for (int k = 1; k < numBands - 1; ++k) {
        const double centre = MultibandPowerDetector::bandCentre(k);
        double best = centre;
        for (int step = -400; step <= 400; ++step)
            if (bandResponse(d.splitterCoeffs_, k, centre * std::pow(r, step / 800.0)) >
                bandResponse(d.splitterCoeffs_, k, best))
                best = centre * std::pow(r, step / 800.0);
        EXPECT_NEAR(best / centre, 1.0, 0.015) << k;
        const double midBandPeak = 2.0 * (r - 1.0) / (r + 1.0);
        EXPECT_TRUE(k > 18 || std::fabs(bandResponse(d.splitterCoeffs_, k, centre) - midBandPeak) < 1e-3)
            << k;
    }
    // Tiling: from 20 Hz to 20 kHz some band always passes at least 0.2 (neighbours cross just below
    // the mid-band peak).
    for (int step = 0; step <= 3300; ++step) {
        const double f = 20.0 * std::pow(1000.0, step / 3300.0);
        double loudest = 0.0;
        for (int k = 0; k < numBands; ++k)
            loudest = std::fmax(loudest, bandResponse(d.splitterCoeffs_, k, f));
        EXPECT_GT(loudest, 0.2) << f;
    }
}

TEST(Detector, AttackAndReleaseFollowTheirCoefficients)
{
    MultibandPowerDetector d;
    d.attackTime(0.0);
    d.releaseTime(0.0);
    EXPECT_EQ(d.attackCoeffs_[5], 1.0);
    // Instant times: after settling on DC of 1, band 0 holds the instantaneous power (2x)^2 + (2x)^2 = 8.
    for (int n = 0; n < 20000; ++n)
        d.tick(1.0, 1.0);
    EXPECT_NEAR(d.tick(1.0, 1.0), 8.0, 1e-12);
    d.attackTime(0.01);
    d.releaseTime(0.03);
    // Rising from 0 follows the attack coefficient, 8 (1 - (1 - c)^n); falling from 16 the release one.
    for (double start : {0.0, 16.0}) {
        const double c = start < 8.0 ? d.attackCoeffs_[0] : d.releaseCoeffs_[0];
        d.power_[0] = start;
        for (int n = 1; n <= 2000; ++n)
            d.tick(1.0, 1.0);
        EXPECT_NEAR(d.power_[0], 8.0 + (start - 8.0) * std::pow(1.0 - c, 2000), 1e-9) << start;
    }
    // Equal power takes the release coefficient: start every band at the first sample's instantaneous power
    // (from a twin splitter) with an instant attack; only the release rounds P c + (1 - c) P away from P.
    MultibandPowerDetector e;
    e.attackTime(0.0);
    e.releaseTime(0.0123);
    BandSplitter twinLeft, twinRight;
    twinLeft.reset(numBands);
    twinRight.reset(numBands);
    double left[numBands], right[numBands], instant[numBands];
    twinLeft.split(e.splitterCoeffs_, 0.37, left);
    twinRight.split(e.splitterCoeffs_, -0.81, right);
    for (int k = 0; k < numBands; ++k)
        e.power_[k] = instant[k] = left[k] * left[k] + right[k] * right[k];
    e.tick(0.37, -0.81);
    int differs = 0;
    for (int k = 0; k < numBands; ++k) {
        const double p = instant[k], c = e.releaseCoeffs_[k];
        EXPECT_EQ(e.power_[k], p * c + (1.0 - c) * p) << k;
        differs += p * c + (1.0 - c) * p != p;
    }
    EXPECT_GT(differs, 0);
}

TEST(Detector, HilbertStartsFromThePreviousBandSample)
{
    MultibandPowerDetector d;
    d.attackTime(0.0);
    d.releaseTime(0.0);
    BandSplitter twin;
    twin.reset(numBands);
    double bands[numBands];
    for (int n = 0; n < 100; ++n) {
        d.tick(std::sin(0.1 * n), std::sin(0.1 * n));
        twin.split(d.splitterCoeffs_, std::sin(0.1 * n), bands);
    }
    const std::vector<double> previous(bands, bands + numBands);
    EXPECT_EQ(std::vector<double>(d.hilbertStateLeft_, d.hilbertStateLeft_ + numBands), previous);
    d.hilbert(true);
    d.tick(0.25, 0.25);
    twin.split(d.splitterCoeffs_, 0.25, bands);
    for (int k = 0; k < numBands; ++k) {
        const double h = d.hilbertCoeffs_[k] * bands[k] + previous[k];
        EXPECT_EQ(d.power_[k], 0.5 * (h * h + bands[k] * bands[k] + h * h + bands[k] * bands[k])) << k;
    }
}

TEST(Compressor, SampleRateChangeAndResetClearWhatTheyShould)
{
    Compressor c;
    c.sidechainHighpassCutoff(30.0);
    c.attackTime(0.2);
    c.ratio(4.0);
    c.hilbert(true);
    runNoise(c, 500);
    const std::vector<double> highpass(c.highpassStateLeft_, c.highpassStateLeft_ + 2);
    const std::vector<double> lowpass(c.lowpassStateRight_, c.lowpassStateRight_ + 2);
    const double* memory = c.detector_.splitterLeft_.state_;
    c.sampleRate(96000.0);
    const MultibandPowerDetector& d = c.detector_;
    for (const double* cleared : {d.power_, d.hilbertStateLeft_, d.hilbertStateRight_})
        EXPECT_TRUE(allZero(cleared, numBands));
    EXPECT_TRUE(allZero(d.splitterLeft_.state_, numBands - 1) &&
                allZero(d.splitterRight_.state_, numBands - 1));
    EXPECT_EQ(d.splitterLeft_.state_, memory); // same band count: reused, nothing allocated
    // Side-chain memories and settings stay; every coefficient follows the new rate.
    EXPECT_EQ(std::vector<double>(c.highpassStateLeft_, c.highpassStateLeft_ + 2), highpass);
    EXPECT_EQ(std::vector<double>(c.lowpassStateRight_, c.lowpassStateRight_ + 2), lowpass);
    EXPECT_TRUE(d.hilbert_ && c.gainExponent_ == -0.375 && d.attackTime_ == 0.2 && d.sampleRate_ == 96000.0);
    Compressor fresh;
    fresh.sidechainHighpassCutoff(30.0);
    fresh.attackTime(0.2);
    fresh.sampleRate(96000.0);
    EXPECT_EQ(d.attackCoeffs_[3], fresh.detector_.attackCoeffs_[3]);
    EXPECT_EQ(d.hilbertCoeffs_[3], fresh.detector_.hilbertCoeffs_[3]);
    EXPECT_EQ(d.splitterCoeffs_.coeffs_[3], fresh.detector_.splitterCoeffs_.coeffs_[3]);
    EXPECT_EQ(c.highpassCoeffs_.a1, fresh.highpassCoeffs_.a1);
    // reset() also clears the side-chain memories; afterwards the engine runs exactly like a fresh one.
    fresh.ratio(4.0);
    fresh.hilbert(true);
    runNoise(c, 300);
    c.reset();
    EXPECT_TRUE(allZero(c.highpassStateLeft_, 2) && allZero(c.lowpassStateRight_, 2) &&
                allZero(d.power_, numBands));
    double a[2], b[2];
    for (int n = 0; n < 300; ++n) {
        c.processSample(std::sin(0.05 * n), 0.3, a[0], a[1]);
        fresh.processSample(std::sin(0.05 * n), 0.3, b[0], b[1]);
        ASSERT_TRUE(a[0] == b[0] && a[1] == b[1]) << n;
    }
}

TEST(BandSplitterCoeffs, ResetKeepsItsArrayForTheSameBandCount)
{
    BandSplitterCoeffs coeffs;
    coeffs.reset(1, 44100.0, 20.0, 20000.0);
    EXPECT_EQ(coeffs.numBands_, 1);
    coeffs.reset(4, 44100.0, 100.0, 10000.0);
    const double* array = coeffs.coeffs_;
    const double first = array[0];
    coeffs.reset(4, 22050.0, 100.0, 10000.0);
    EXPECT_EQ(coeffs.coeffs_, array);
    EXPECT_NE(coeffs.coeffs_[0], first);
}

TEST(Compressor, GainLaw)
{
    // g = (1 + 8 P / t^2)^(-(1 - 1/R)/2) with P the detector's total power, to fast_pow's 1.5e-7; mix 0
    // passes the input exactly.
    const double cases[][4] = {
        {1.0, 32.0, 1.0, 1.0}, {0.01, 4.0, 10.0, 1.0}, {0.5, 0.5, 1.0, 1.0}, {0.01, 4.0, 30.0, 0.0}};
    for (const auto& k : cases) {
        Compressor c;
        c.sidechainHighpassCutoff(20.0);
        c.sidechainLowpassCutoff(40000.0);
        c.threshold(k[0]);
        c.ratio(k[1]);
        c.drive(k[2]);
        c.mix(k[3]);
        double left, right;
        for (int n = 1; n < 2000; ++n) {
            const double x = 0.5 * std::sin(0.1 * n);
            c.processSample(x, x, left, right);
            double power = 0.0;
            for (double p : c.detector_.power_)
                power += p;
            const double g = std::pow(1.0 + power * 8.0 / (k[0] * k[0]), -0.5 * (1.0 - 1.0 / k[1]));
            ASSERT_NEAR(left, k[3] == 0.0 ? x : x * k[2] * g, 1.5e-7 * std::fabs(x * k[2] * g)) << n;
            ASSERT_EQ(left, right);
        }
    }
}

// The meter is the largest reduction of the law's factor, g / (mix * outputGain * drive) with the dry part
// taken off, over the frames since it was read; the listened side-chain reads 0.
TEST(Compressor, GainReductionMeterReadsTheLargestReductionSinceItsLastReading)
{
    for (double mix : {1.0, 0.5})
        for (bool listen : {false, true}) {
            Compressor c;
            c.threshold(0.05);
            c.ratio(8.0);
            c.drive(2.0);
            c.outputGain(0.5);
            c.mix(mix);
            c.sidechainListen(listen);
            std::vector<double> in(1000), out(1000);
            for (size_t n = 0; n < in.size(); ++n)
                in[n] = 0.5 * std::sin(0.05 * static_cast<double>(n)) + 0.6;
            c.processBlock(in.data(), in.data(), out.data(), out.data(), static_cast<int>(in.size()));
            double expectedDb = 0.0;
            for (size_t n = 0; n < in.size(); ++n)
                expectedDb = std::max(expectedDb,
                                      -20.0 * std::log10((out[n] / in[n] - (1.0 - mix)) / (mix * 0.5 * 2.0)));
            const double db = c.takeGainReductionDb();
            if (listen)
                EXPECT_EQ(db, 0.0);
            else {
                EXPECT_GT(db, 10.0);
                // fast_log2's error (3.1e-7 absolute in log2 plus the float rounding of the factor) and the
                // rounding of out / in.
                EXPECT_NEAR(db, expectedDb, 6.03 * 4e-7) << mix;
            }
            EXPECT_EQ(c.takeGainReductionDb(), 0.0) << "starts anew";
        }
}

#if ZR_ASSERTIONS
TEST(CompressorDeathTest, AssertionTexts)
{
    const std::vector<std::pair<std::function<void(Compressor&)>, const char*>> cases = {
        {[](Compressor& c) { c.sidechainLowpassCutoff(0.0); }, "cutoff > 0.0"},
        {[](Compressor& c) { c.threshold(0.0); }, "t>0.0"},
        {[](Compressor& c) { c.attackTime(-1.0); }, "attackTime>=0.0"},
        {[](Compressor& c) { c.releaseTime(-1.0); }, "releaseTime>=0.0"},
        {[](Compressor& c) { c.sampleRate(0.0); }, "sampleRate>0.0"},
        {[](Compressor& c) { c.detector_.attackTime(-1.0); }, "at>=0"},
        {[](Compressor& c) { c.detector_.releaseTime(-1.0); }, "rt>=0"},
        {[](Compressor& c) { c.detector_.splitterCoeffs_.reset(0, 44100.0, 20.0, 20000.0); }, "numBands>=1"}};
    for (const auto& k : cases) {
        Compressor c;
        EXPECT_DEATH(k.first(c), assertionPattern(k.second, "Src/Compressor")) << k.second;
    }
}
#else
TEST(Compressor, InvalidSettingsAreIgnored)
{
    Compressor c;
    c.sidechainHighpassCutoff(std::nan(""));
    c.threshold(0.0);
    c.attackTime(-1.0);
    c.sampleRate(0.0);
    c.ratio(0.0);
    EXPECT_TRUE(c.sidechainHighpassCutoff_ == 20.0 && c.thresholdFactor_ == 16.0 && c.gainExponent_ == -0.5);
    EXPECT_TRUE(c.detector_.attackTime_ == 0.05 && c.sampleRate_ == 44100.0);
}
#endif

TEST(Compressor, TheKeyDrivesTheDetectorAndTheGainActsOnTheInput)
{
    // The input, a 1 kHz sine at 0.5, would be compressed on its own; the gain it gets follows the key's
    // power P through the static curve: G = wet * (1 + 800 P)^-0.4375 + dry, with threshold 0.1 (factor
    // 800), ratio 8, drive 1.5, mix 0.9 and out gain 2, so wet = (0.9 * 2) * 1.5 = 2.7 and dry = 0.1.
    const double wet = 2.7, dry = 0.1, drive = 1.5;
    const auto gain = [&](double power) { return wet * std::pow(1.0 + 800.0 * power, -0.4375) + dry; };
    // A second-order Butterworth high-pass's gain at f for a cut-off fc.
    const auto highpass = [](double f, double fc) {
        const double r = (f / fc) * (f / fc);
        return r / std::sqrt(1.0 + r * r);
    };
    struct Case
    {
        const char* what;
        double keyLevel;   // the key's amplitude
        double keyHz;      // 0: DC
        double highpassHz; // Side HP; 0: the engine's identity side-chain filters
    };
    const Case cases[] = {
        {"silent key: the law's factor is exactly 1", 0.0, 0.0, 0.0},
        {"DC key", 0.02, 0.0, 0.0},
        {"loud 50 Hz key", 0.5, 50.0, 20.0},
        {"the same key with Side HP at 800 Hz", 0.5, 50.0, 800.0},
    };
    for (const Case& k : cases) {
        // The key's power, from below and from above. DC ends wholly in band 0 as 2d per channel, so its
        // power settles at 8 d^2 (fast_pow's 1.5e-7 aside). A sine of amplitude a after the filters and the
        // drive gives between a^2 and 2 a^2 as its bands' powers ripple (the attack is instant).
        double low, high;
        if (k.keyHz == 0.0) {
            low = high = 8.0 * (drive * k.keyLevel) * (drive * k.keyLevel);
        } else {
            const double a = drive * k.keyLevel * highpass(k.keyHz, k.highpassHz);
            low = a * a;
            high = 2.0 * a * a;
        }
        // output / input, after the rounding of a product and a division.
        const double lowestGain = gain(high) * (1 - 1.5e-7), highestGain = gain(low) * (1 + 1.5e-7);
        Compressor c;
        if (k.highpassHz > 0.0) {
            c.sidechainHighpassCutoff(k.highpassHz);
            c.sidechainLowpassCutoff(40000.0);
        }
        c.threshold(0.1);
        c.ratio(8.0);
        c.drive(drive);
        c.mix(0.9);
        c.outputGain(2.0);
        // An instant attack and a release short enough that the key's onset is forgotten.
        c.attackTime(0.0);
        c.releaseTime(0.01);
        c.sidechainSource(true);
        const int frames = 30000, settled = frames - 1000;
        double lowest = HUGE_VAL, highest = 0.0;
        for (int n = 0; n < frames; ++n) {
            const double x = 0.5 * std::sin(2.0 * pi * 1000.0 * n / 44100.0);
            const double key =
                k.keyHz > 0.0 ? k.keyLevel * std::sin(2.0 * pi * k.keyHz * n / 44100.0) : k.keyLevel;
            double left, right;
            c.processSample(x, x, key, key, left, right);
            if (n >= settled && std::fabs(x) > 0.1) {
                lowest = std::min(lowest, left / x);
                highest = std::max(highest, left / x);
            }
        }
        EXPECT_GE(lowest, lowestGain) << k.what;
        EXPECT_LE(highest, highestGain) << k.what;
    }
}
