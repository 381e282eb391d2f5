#include "Common/dsp/misc.h"
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

bool allEqual(const double* values, int count, double expected)
{
    for (int i = 0; i < count; ++i)
        if (values[i] != expected)
            return false;
    return true;
}

bool sameCoeffs(const BiquadCoeffs& a, const BiquadCoeffs& b)
{
    return a.gain == b.gain && a.a1 == b.a1 && a.a2 == b.a2 && a.b1 == b.b1 && a.b2 == b.b2;
}

BiquadCoeffs cooked(long type, double freq)
{
    BiquadCoeffs c;
    c.cook(type, freq, std::sqrt(0.5));
    return c;
}

// Runs random stereo noise through the whole signal path so that every memory is non-zero.
void excite(Compressor& compressor, int samples)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    double left;
    double right;
    for (int n = 0; n < samples; ++n)
        compressor.processSample(signal(random), signal(random), left, right);
}
} // namespace

TEST(Compressor, ConstructionState)
{
    Compressor c;
    EXPECT_EQ(c.drive_, 1.0);
    EXPECT_GT(c.sidechainHighpassCutoff_, 0.0);
    EXPECT_GT(c.sidechainLowpassCutoff_, 0.0);
    EXPECT_FALSE(c.sidechainListen_);
    EXPECT_EQ(c.gainExponent_, -0.5);
    EXPECT_EQ(c.thresholdFactor_, 16.0);
    EXPECT_EQ(c.outputGain_, 1.0);
    EXPECT_EQ(c.mix_, 1.0);
    EXPECT_EQ(c.sampleRate_, 44100.0);
    EXPECT_TRUE(sameCoeffs(c.highpassCoeffs_, BiquadCoeffs()));
    EXPECT_TRUE(sameCoeffs(c.lowpassCoeffs_, BiquadCoeffs()));
    EXPECT_TRUE(allEqual(c.highpassStateLeft_, 2, 0.0) && allEqual(c.lowpassStateRight_, 2, 0.0));
    const MultibandPowerDetector& d = c.detector_;
    EXPECT_EQ(d.attackTime_, 0.05);
    EXPECT_EQ(d.releaseTime_, 0.05);
    EXPECT_EQ(d.sampleRate_, 44100.0);
    EXPECT_FALSE(d.hilbert_);
    EXPECT_EQ(d.splitterCoeffs_.numBands_, numBands);
    EXPECT_EQ(d.splitterLeft_.numBands_, numBands);
    EXPECT_EQ(d.splitterRight_.numBands_, numBands);
    EXPECT_TRUE(allEqual(d.splitterLeft_.state_, numBands - 1, 0.0));
    EXPECT_TRUE(allEqual(d.power_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.hilbertStateLeft_, numBands, 0.0));
    for (int k = 0; k < numBands; ++k)
        EXPECT_EQ(d.attackCoeffs_[k], d.releaseCoeffs_[k]) << k;
}

TEST(Compressor, SettersStoreTheirLaws)
{
    Compressor c;
    struct Case
    {
        double ratio, exponent;
    };
    // -0.5 (1 - 1/ratio): 1 is no compression, 0.5 expands, large ratios approach -0.5.
    for (const Case& k : {Case{1.0, 0.0}, Case{2.0, -0.25}, Case{0.5, 0.5}, Case{64.0, -0.5 * 63.0 / 64.0}})
    {
        c.ratio(k.ratio);
        EXPECT_EQ(c.gainExponent_, k.exponent) << k.ratio;
    }
    c.threshold(0.5);
    EXPECT_EQ(c.thresholdFactor_, 32.0);
    c.threshold(std::sqrt(0.5));
    EXPECT_NEAR(c.thresholdFactor_, 16.0, 1e-14);
    c.drive(3.0);
    c.outputGain(0.25);
    c.mix(0.4);
    c.sidechainListen(true);
    c.hilbert(true);
    EXPECT_EQ(c.drive_, 3.0);
    EXPECT_EQ(c.outputGain_, 0.25);
    EXPECT_EQ(c.mix_, 0.4);
    EXPECT_TRUE(c.sidechainListen_);
    EXPECT_TRUE(c.detector_.hilbert_);
    c.attackTime(0.3);
    c.releaseTime(0.7);
    EXPECT_EQ(c.detector_.attackTime_, 0.3);
    EXPECT_EQ(c.detector_.releaseTime_, 0.7);
    EXPECT_GT(c.detector_.attackCoeffs_[0], c.detector_.releaseCoeffs_[0]);
    // The cut-offs cook Butterworth filters at once, for the current sample rate.
    c.sidechainHighpassCutoff(100.0);
    c.sidechainLowpassCutoff(5000.0);
    EXPECT_TRUE(sameCoeffs(c.highpassCoeffs_, cooked(1, 100.0 / 44100.0)));
    EXPECT_TRUE(sameCoeffs(c.lowpassCoeffs_, cooked(0, 5000.0 / 44100.0)));
}

TEST(Compressor, SampleRateChangeClearsTheDetectorAndKeepsTheSideChainMemories)
{
    Compressor c;
    c.sidechainHighpassCutoff(30.0);
    c.sidechainLowpassCutoff(40000.0);
    c.attackTime(0.2);
    c.ratio(4.0);
    c.hilbert(true);
    excite(c, 500);
    const double highpassLeft[2] = {c.highpassStateLeft_[0], c.highpassStateLeft_[1]};
    const double lowpassRight[2] = {c.lowpassStateRight_[0], c.lowpassStateRight_[1]};
    ASSERT_NE(highpassLeft[1], 0.0);
    const double* splitterMemory = c.detector_.splitterLeft_.state_;
    const double* crossovers = c.detector_.splitterCoeffs_.coeffs_;

    c.sampleRate(96000.0);
    const MultibandPowerDetector& d = c.detector_;
    EXPECT_EQ(c.sampleRate_, 96000.0);
    EXPECT_EQ(d.sampleRate_, 96000.0);
    EXPECT_TRUE(allEqual(d.power_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.hilbertStateLeft_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.hilbertStateRight_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.splitterLeft_.state_, numBands - 1, 0.0));
    EXPECT_TRUE(allEqual(d.splitterRight_.state_, numBands - 1, 0.0));
    // Same band count: the arrays are reused, nothing is allocated.
    EXPECT_EQ(d.splitterLeft_.state_, splitterMemory);
    EXPECT_EQ(d.splitterCoeffs_.coeffs_, crossovers);
    // Coefficients follow the rate; the side-chain memories and every setting stay.
    MultibandPowerDetector fresh;
    fresh.attackTime(0.2);
    fresh.sampleRate(96000.0);
    for (int k = 0; k < numBands; ++k)
    {
        EXPECT_EQ(d.attackCoeffs_[k], fresh.attackCoeffs_[k]) << k;
        EXPECT_EQ(d.releaseCoeffs_[k], fresh.releaseCoeffs_[k]) << k;
        EXPECT_EQ(d.hilbertCoeffs_[k], fresh.hilbertCoeffs_[k]) << k;
    }
    for (int i = 0; i < numBands - 1; ++i)
        EXPECT_EQ(d.splitterCoeffs_.coeffs_[i], fresh.splitterCoeffs_.coeffs_[i]) << i;
    EXPECT_TRUE(sameCoeffs(c.highpassCoeffs_, cooked(1, 30.0 / 96000.0)));
    EXPECT_TRUE(sameCoeffs(c.lowpassCoeffs_, cooked(0, 40000.0 / 96000.0)));
    EXPECT_EQ(c.highpassStateLeft_[0], highpassLeft[0]);
    EXPECT_EQ(c.highpassStateLeft_[1], highpassLeft[1]);
    EXPECT_EQ(c.lowpassStateRight_[0], lowpassRight[0]);
    EXPECT_EQ(c.lowpassStateRight_[1], lowpassRight[1]);
    EXPECT_EQ(c.gainExponent_, -0.375);
    EXPECT_TRUE(d.hilbert_);
    EXPECT_EQ(d.attackTime_, 0.2);
}

TEST(Compressor, ResetClearsProcessingStateOnly)
{
    Compressor c;
    c.sampleRate(48000.0);
    c.sidechainHighpassCutoff(50.0);
    c.attackTime(0.01);
    c.hilbert(true);
    excite(c, 500);
    const BiquadCoeffs highpass = c.highpassCoeffs_;
    const double attack0 = c.detector_.attackCoeffs_[0];
    const double hilbert5 = c.detector_.hilbertCoeffs_[5];
    const double crossover3 = c.detector_.splitterCoeffs_.coeffs_[3];

    c.reset();
    const MultibandPowerDetector& d = c.detector_;
    EXPECT_TRUE(allEqual(d.power_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.hilbertStateLeft_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.hilbertStateRight_, numBands, 0.0));
    EXPECT_TRUE(allEqual(d.splitterLeft_.state_, numBands - 1, 0.0));
    EXPECT_TRUE(allEqual(d.splitterRight_.state_, numBands - 1, 0.0));
    EXPECT_TRUE(allEqual(c.highpassStateLeft_, 2, 0.0));
    EXPECT_TRUE(allEqual(c.highpassStateRight_, 2, 0.0));
    EXPECT_TRUE(allEqual(c.lowpassStateLeft_, 2, 0.0));
    EXPECT_TRUE(allEqual(c.lowpassStateRight_, 2, 0.0));
    EXPECT_TRUE(sameCoeffs(c.highpassCoeffs_, highpass));
    EXPECT_EQ(d.attackCoeffs_[0], attack0);
    EXPECT_EQ(d.hilbertCoeffs_[5], hilbert5);
    EXPECT_EQ(d.splitterCoeffs_.coeffs_[3], crossover3);
    EXPECT_EQ(d.sampleRate_, 48000.0);
    EXPECT_TRUE(d.hilbert_);

    // After a reset the engine behaves as a fresh one with the same settings.
    Compressor fresh;
    fresh.sampleRate(48000.0);
    fresh.sidechainHighpassCutoff(50.0);
    fresh.attackTime(0.01);
    fresh.hilbert(true);
    double a[2];
    double b[2];
    for (int n = 0; n < 300; ++n)
    {
        const double x = std::sin(0.05 * n);
        c.processSample(x, -x, a[0], a[1]);
        fresh.processSample(x, -x, b[0], b[1]);
        ASSERT_EQ(a[0], b[0]) << n;
        ASSERT_EQ(a[1], b[1]) << n;
    }
}

TEST(BandSplitterCoeffs, ResetKeepsItsArrayForTheSameBandCount)
{
    BandSplitterCoeffs coeffs;
    EXPECT_EQ(coeffs.numBands_, 0);
    EXPECT_EQ(coeffs.coeffs_, nullptr);
    coeffs.reset(1, 44100.0, 20.0, 20000.0);
    EXPECT_EQ(coeffs.numBands_, 1);
    coeffs.reset(4, 44100.0, 100.0, 10000.0);
    const double* array = coeffs.coeffs_;
    const double first = coeffs.coeffs_[0];
    coeffs.reset(4, 22050.0, 100.0, 10000.0);
    EXPECT_EQ(coeffs.coeffs_, array);
    EXPECT_NE(coeffs.coeffs_[0], first);
    // Crossover i at 100 * 100^((i+1)/4) Hz: 316.2, 1000 and 3162 Hz, each an allpass at -90 degrees.
    for (int i = 0; i < 3; ++i)
    {
        const double f = 100.0 * std::pow(100.0, (i + 1) / 4.0) / 22050.0;
        const std::complex<double> zInverse = std::polar(1.0, -2.0 * pi * f);
        const double c = coeffs.coeffs_[i];
        EXPECT_NEAR(std::arg((c + zInverse) / (1.0 + c * zInverse)), -pi / 2.0, 1e-5) << i;
    }
}

TEST(Compressor, MixZeroPassesTheInput)
{
    Compressor c;
    c.sidechainHighpassCutoff(20.0);
    c.sidechainLowpassCutoff(40000.0);
    c.mix(0.0);
    c.drive(30.0);
    c.threshold(0.01);
    c.outputGain(3.0);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    for (int n = 0; n < 1000; ++n)
    {
        const double x = signal(random);
        const double y = signal(random);
        double left;
        double right;
        c.processSample(x, y, left, right);
        ASSERT_EQ(left, x) << n;
        ASSERT_EQ(right, y) << n;
    }
}

TEST(Compressor, RatioOneIsDriveTimesOutputGain)
{
    struct Case
    {
        double drive, outputGain, mix;
    };
    for (const Case& k : {Case{1.0, 1.0, 1.0}, Case{10.0, 0.5, 1.0}, Case{0.1, 4.0, 0.5}})
    {
        Compressor c;
        c.sidechainHighpassCutoff(20.0);
        c.sidechainLowpassCutoff(40000.0);
        c.ratio(1.0);
        c.drive(k.drive);
        c.outputGain(k.outputGain);
        c.mix(k.mix);
        c.threshold(0.001);
        double left;
        double right;
        for (int n = 0; n < 200; ++n)
        {
            c.processSample(0.3, -0.2, left, right);
            const double G = k.mix * k.outputGain * k.drive + (1.0 - k.mix);
            ASSERT_NEAR(left, 0.3 * G, 1e-15 * G) << n;
            ASSERT_NEAR(right, -0.2 * G, 1e-15 * G) << n;
        }
    }
}

TEST(Compressor, GainFollowsTheSoftKneePowerLaw)
{
    // g = (1 + 8 P / t^2)^(-(1 - 1/R)/2) with P the detector's total power; fast_pow's error for exponents
    // up to 0.5 in size is below 1.5e-7 relative.
    struct Case
    {
        double threshold, ratio, drive;
    };
    for (const Case& k : {Case{1.0, 32.0, 1.0}, Case{0.1, 4.0, 2.0}, Case{0.01, 64.0, 10.0}, Case{0.5, 0.5, 1.0}})
    {
        Compressor c;
        c.sidechainHighpassCutoff(20.0);
        c.sidechainLowpassCutoff(40000.0);
        c.threshold(k.threshold);
        c.ratio(k.ratio);
        c.drive(k.drive);
        c.attackTime(0.001);
        double left;
        double right;
        for (int n = 0; n < 3000; ++n)
        {
            const double x = 0.5 * std::sin(2.0 * pi * 1000.0 / 44100.0 * n);
            c.processSample(x, x, left, right);
            if (n % 500 == 499 && x != 0.0)
            {
                double power = 0.0;
                for (double p : c.detector_.power_)
                    power += p;
                const double g = std::pow(1.0 + power * 8.0 / (k.threshold * k.threshold),
                                          -0.5 * (1.0 - 1.0 / k.ratio));
                EXPECT_NEAR(left / (x * k.drive), g, 1.5e-7 * g) << k.threshold << " " << n;
                EXPECT_EQ(left, right);
            }
        }
    }
}

TEST(Compressor, ListenOutputsTheFilteredSideChain)
{
    // A 1 kHz sine through a 500 Hz high-pass and a 2 kHz low-pass: the steady-state output amplitude is
    // the product of the two responses, whatever drive, ratio, mix and output gain say.
    Compressor c;
    c.sidechainHighpassCutoff(500.0);
    c.sidechainLowpassCutoff(2000.0);
    c.sidechainListen(true);
    c.drive(100.0);
    c.mix(0.3);
    c.outputGain(0.0);
    const double f = 1000.0 / 44100.0;
    const std::complex<double> z = std::polar(1.0, 2.0 * pi * f);
    const double expected = std::abs(c.highpassCoeffs_.Hz(z)) * std::abs(c.lowpassCoeffs_.Hz(z));
    double peak = 0.0;
    double left;
    double right;
    for (long n = 0; n < 30000; ++n)
    {
        const double x = std::sin(2.0 * pi * f * n);
        c.processSample(x, 0.0, left, right);
        if (n >= 20000)
            peak = std::fmax(peak, std::fabs(left));
        EXPECT_EQ(right, 0.0);
    }
    // 441 samples per 10 periods: sampled peaks reach within 1 - cos(pi/441 * 10)... of the crest, < 3e-4.
    EXPECT_NEAR(peak, expected, 3e-4 * expected);
    EXPECT_GT(c.detector_.power_[16], 0.0);
}

#if ZR_ASSERTIONS
TEST(CompressorDeathTest, SettersCheckTheirArguments)
{
    struct Case
    {
        std::function<void(Compressor&)> call;
        const char* condition;
    };
    const std::vector<Case> cases = {
        {[](Compressor& c) { c.sidechainHighpassCutoff(0.0); }, "cutoff > 0.0"},
        {[](Compressor& c) { c.sidechainLowpassCutoff(-5.0); }, "cutoff > 0.0"},
        {[](Compressor& c) { c.threshold(0.0); }, "t>0.0"},
        {[](Compressor& c) { c.attackTime(-1.0); }, "attackTime>=0.0"},
        {[](Compressor& c) { c.releaseTime(-1.0); }, "releaseTime>=0.0"},
        {[](Compressor& c) { c.sampleRate(0.0); }, "sampleRate>0.0"},
        {[](Compressor& c) { c.detector_.attackTime(-1.0); }, "at>=0"},
        {[](Compressor& c) { c.detector_.releaseTime(-1.0); }, "rt>=0"},
        {[](Compressor& c) { c.detector_.splitterCoeffs_.reset(0, 44100.0, 20.0, 20000.0); }, "numBands>=1"},
    };
    for (const Case& k : cases)
    {
        Compressor c;
        EXPECT_DEATH(k.call(c), assertionPattern(k.condition, "Src/Compressor")) << k.condition;
    }
}
#else
TEST(Compressor, InvalidSettingsAreIgnored)
{
    Compressor c;
    c.sidechainHighpassCutoff(100.0);
    const BiquadCoeffs highpass = c.highpassCoeffs_;
    const double nan = std::nan("");
    c.sidechainHighpassCutoff(nan);
    c.sidechainLowpassCutoff(-1.0);
    c.threshold(0.0);
    c.attackTime(-1.0);
    c.releaseTime(nan);
    c.sampleRate(0.0);
    c.ratio(0.0);
    c.detector_.splitterCoeffs_.reset(0, 44100.0, 20.0, 20000.0);
    EXPECT_TRUE(sameCoeffs(c.highpassCoeffs_, highpass));
    EXPECT_EQ(c.sidechainHighpassCutoff_, 100.0);
    EXPECT_EQ(c.thresholdFactor_, 16.0);
    EXPECT_EQ(c.detector_.attackTime_, 0.05);
    EXPECT_EQ(c.detector_.releaseTime_, 0.05);
    EXPECT_EQ(c.sampleRate_, 44100.0);
    EXPECT_EQ(c.gainExponent_, -0.5);
    EXPECT_EQ(c.detector_.splitterCoeffs_.numBands_, numBands);
    double left;
    double right;
    c.processSample(0.5, 0.5, left, right);
    EXPECT_TRUE(std::isfinite(left) && std::isfinite(right));
}
#endif
