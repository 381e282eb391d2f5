// Every vector path of the detector against the plain scalar tick, and the engine's block processing against
// processSample, bit for bit: outputs and every state array, over long seeded random signals and tone
// bursts, quadrature detection off and on, listen, instant and 10-second attack and release, every common
// sample rate from 8 kHz to 192 kHz and odd block splits.

#include "Src/Compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr int numBands = MultibandPowerDetector::numBands;
const double pi = std::acos(-1.0);

const double sampleRatesHz[] = {8000.0,  11025.0, 16000.0, 22050.0,  32000.0, 44100.0,
                                48000.0, 88200.0, 96000.0, 176400.0, 192000.0};
// Attack and release times in seconds: instant (coefficient exactly 1), the longest the parameters allow,
// and the two mixed.
const double timePairsS[][2] = {{0.0, 0.0}, {0.0, 10.0}, {10.0, 0.0}, {10.0, 10.0}, {0.2, 0.05}};
// Odd block lengths, used in turn: single frames, lengths that leave every lane count a remainder, one longer
// than the kernels' chunk and a long one.
const int splitFrames[] = {1, 2, 3, 7, 64, 511, 5, 33, 1000, 13};

std::vector<DetectorPath> vectorPaths()
{
    std::vector<DetectorPath> paths;
    for (DetectorPath path : {DetectorPath::sse2, DetectorPath::avx2, DetectorPath::avx512})
        if (MultibandPowerDetector::pathAvailable(path)) paths.push_back(path);
    return paths;
}

std::string name(DetectorPath path)
{
    const char* names[] = {"scalar", "sse2", "avx2", "avx512"};
    return names[static_cast<int>(path)];
}

std::uint64_t bits(double value)
{
    std::uint64_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

// Equal bit patterns, so that -0.0 against 0.0 or two different NaNs count as differences too.
::testing::AssertionResult sameBits(const double* a, const double* b, int count, const char* what)
{
    for (int i = 0; i < count; ++i)
        if (bits(a[i]) != bits(b[i]))
            return ::testing::AssertionFailure()
                   << what << "[" << i << "]: " << a[i] << " against " << b[i] << " (" << a[i] - b[i] << ")";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameState(const MultibandPowerDetector& a, const MultibandPowerDetector& b)
{
    for (const auto& result :
         {sameBits(a.power_, b.power_, numBands, "power_"),
          sameBits(a.hilbertStateLeft_, b.hilbertStateLeft_, numBands, "hilbertStateLeft_"),
          sameBits(a.hilbertStateRight_, b.hilbertStateRight_, numBands, "hilbertStateRight_"),
          sameBits(a.splitterLeft_.state_, b.splitterLeft_.state_, numBands - 1, "splitterLeft_"),
          sameBits(a.splitterRight_.state_, b.splitterRight_.state_, numBands - 1, "splitterRight_")})
        if (!result) return result;
    return ::testing::AssertionSuccess();
}

// Seeded white noise in [-amplitude, amplitude].
std::vector<double> noise(int frames, unsigned seed, double amplitude)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    std::vector<double> signal(frames);
    for (double& x : signal)
        x = uniform(random);
    return signal;
}

// Tone bursts: a tone switched on and off every period, its level jumping between loud, quiet and digital
// silence, so that bands rise (attack) and fall (release) again and again.
std::vector<double> toneBursts(int frames, double cyclesPerFrame, int periodFrames)
{
    const double levels[] = {1.0, 0.0, 0.001, 0.0, 30.0, 0.0};
    std::vector<double> signal(frames);
    for (int n = 0; n < frames; ++n)
        signal[n] = levels[(n / periodFrames) % 6] * std::sin(2.0 * pi * cyclesPerFrame * n);
    return signal;
}

// Runs left/right through the detector on its path in blocks of splitFrames, starting at split index first.
std::vector<double> inBlocks(MultibandPowerDetector& detector, const std::vector<double>& left,
                             const std::vector<double>& right, int first)
{
    std::vector<double> totals(left.size());
    int split = first;
    for (size_t n = 0; n < left.size();) {
        const int frames =
            std::min<int>(splitFrames[split++ % std::size(splitFrames)], static_cast<int>(left.size() - n));
        detector.tickBlock(&left[n], &right[n], &totals[n], frames);
        n += frames;
    }
    return totals;
}

struct Signals
{
    std::string name;
    std::vector<double> left, right;
};

std::vector<Signals> detectorSignals(int frames)
{
    return {{"noise", noise(frames, 1, 1.0), noise(frames, 2, 1.0)},
            {"bursts", toneBursts(frames, 0.013, 700), toneBursts(frames, 0.21, 333)},
            {"loud noise", noise(frames, 3, 1000.0), toneBursts(frames, 0.4, 91)}};
}
} // namespace

TEST(VectorPath, ScalarAlwaysAvailableAndTheWidestIsChosen)
{
    EXPECT_TRUE(MultibandPowerDetector::pathAvailable(DetectorPath::scalar));
    MultibandPowerDetector detector;
    EXPECT_EQ(detector.path(), MultibandPowerDetector::widestPath());
    EXPECT_TRUE(MultibandPowerDetector::pathAvailable(detector.path()));
#if defined(__x86_64__)
    // Every x86-64 CPU has SSE2.
    EXPECT_TRUE(MultibandPowerDetector::pathAvailable(DetectorPath::sse2));
#endif
    for (DetectorPath path : {DetectorPath::sse2, DetectorPath::avx2, DetectorPath::avx512})
        if (!MultibandPowerDetector::pathAvailable(path)) {
            EXPECT_FALSE(detector.selectPath(path)) << name(path);
            EXPECT_EQ(detector.path(), MultibandPowerDetector::widestPath());
        }
    EXPECT_TRUE(detector.selectPath(DetectorPath::scalar));
    EXPECT_EQ(detector.path(), DetectorPath::scalar);
    // Under an emulator the CPU model decides the widest path; its runner names the path it picked the model
    // for, so that a different model cannot quietly leave a path untested.
    if (const char* expected = std::getenv("ZR_EXPECTED_WIDEST_DETECTOR_PATH")) {
        EXPECT_EQ(name(MultibandPowerDetector::widestPath()), expected);
    }
}

TEST(VectorPath, DetectorMatchesTheScalarTickBitForBit)
{
    // Every rate, quadrature setting and pair of times, on three signals, 3000 frames each (several kernel
    // chunks with a remainder), blocks split differently for every case.
    const int frames = 3000;
    const std::vector<Signals> signals = detectorSignals(frames);
    int caseNumber = 0;
    for (DetectorPath path : vectorPaths())
        for (double rate : sampleRatesHz)
            for (bool hilbert : {false, true})
                for (const auto& times : timePairsS)
                    for (const Signals& signal : signals) {
                        ++caseNumber;
                        MultibandPowerDetector reference, vector;
                        for (MultibandPowerDetector* d : {&reference, &vector}) {
                            d->sampleRate(rate);
                            d->attackTime(times[0]);
                            d->releaseTime(times[1]);
                            d->hilbert(hilbert);
                        }
                        ASSERT_TRUE(reference.selectPath(DetectorPath::scalar));
                        ASSERT_TRUE(vector.selectPath(path));
                        std::vector<double> expected(frames);
                        for (int n = 0; n < frames; ++n)
                            expected[n] = reference.tick(signal.left[n], signal.right[n]);
                        const std::vector<double> totals =
                            inBlocks(vector, signal.left, signal.right, caseNumber);
                        const std::string where = name(path) + " " + std::to_string(rate) + " Hz, hilbert " +
                                                  std::to_string(hilbert) + ", times " +
                                                  std::to_string(times[0]) + "/" + std::to_string(times[1]) +
                                                  " s, " + signal.name;
                        ASSERT_TRUE(sameBits(totals.data(), expected.data(), frames, "totals")) << where;
                        ASSERT_TRUE(sameState(vector, reference)) << where;
                    }
}

TEST(VectorPath, LongRunsAndSwitchingQuadratureDetection)
{
    // A long run (4.5 s at 44.1 kHz) with quadrature detection switched at block boundaries: switching on
    // starts from the previous frame's band samples, which the vector paths must leave exactly as tick does.
    const int frames = 200000;
    const std::vector<double> left = noise(frames, 7, 0.5), right = toneBursts(frames, 0.031, 4410);
    for (DetectorPath path : vectorPaths()) {
        MultibandPowerDetector reference, vector;
        reference.selectPath(DetectorPath::scalar);
        ASSERT_TRUE(vector.selectPath(path));
        for (MultibandPowerDetector* d : {&reference, &vector}) {
            d->attackTime(0.01);
            d->releaseTime(0.3);
        }
        std::vector<double> expected(frames), totals(frames);
        int split = 0;
        bool hilbert = false;
        for (int n = 0; n < frames;) {
            const int count = std::min(splitFrames[split++ % std::size(splitFrames)] * 7, frames - n);
            for (int i = n; i < n + count; ++i)
                expected[i] = reference.tick(left[i], right[i]);
            vector.tickBlock(&left[n], &right[n], &totals[n], count);
            ASSERT_TRUE(sameState(vector, reference)) << name(path) << " after frame " << n + count;
            n += count;
            hilbert = !hilbert;
            reference.hilbert(hilbert);
            vector.hilbert(hilbert);
        }
        EXPECT_TRUE(sameBits(totals.data(), expected.data(), frames, "totals")) << name(path);
    }
}

TEST(VectorPath, EngineBlocksMatchProcessSampleBitForBit)
{
    // processBlock on every path against processSample with the scalar tick: listen off and on, quadrature
    // off and on, extreme times, every rate; outputs, side-chain memories and detector state.
    const int frames = 2000;
    const std::vector<double> left = noise(frames, 21, 0.9), right = toneBursts(frames, 0.05, 250);
    int caseNumber = 0;
    std::vector<DetectorPath> paths = vectorPaths();
    paths.push_back(DetectorPath::scalar);
    for (DetectorPath path : paths)
        for (double rate : sampleRatesHz)
            for (int mode = 0; mode < 4; ++mode)
                for (const auto& times : timePairsS) {
                    const bool listen = (mode & 1) != 0, hilbert = (mode & 2) != 0;
                    Compressor reference, block;
                    for (Compressor* c : {&reference, &block}) {
                        c->sidechainHighpassCutoff(40.0);
                        c->sidechainLowpassCutoff(12000.0);
                        c->sampleRate(rate);
                        c->drive(3.0);
                        c->threshold(0.1);
                        c->ratio(8.0);
                        c->mix(0.7);
                        c->outputGain(1.5);
                        c->attackTime(times[0]);
                        c->releaseTime(times[1]);
                        c->hilbert(hilbert);
                        c->sidechainListen(listen);
                    }
                    reference.detector_.selectPath(DetectorPath::scalar);
                    ASSERT_TRUE(block.detector_.selectPath(path));
                    std::vector<double> expectedLeft(frames), expectedRight(frames);
                    for (int n = 0; n < frames; ++n)
                        reference.processSample(left[n], right[n], expectedLeft[n], expectedRight[n]);
                    std::vector<double> outLeft(frames), outRight(frames);
                    int split = ++caseNumber;
                    for (int n = 0; n < frames;) {
                        const int count = std::min(splitFrames[split++ % std::size(splitFrames)], frames - n);
                        block.processBlock(&left[n], &right[n], &outLeft[n], &outRight[n], count);
                        n += count;
                    }
                    const std::string where = name(path) + " " + std::to_string(rate) + " Hz, listen " +
                                              std::to_string(listen) + ", hilbert " +
                                              std::to_string(hilbert) + ", times " +
                                              std::to_string(times[0]) + "/" + std::to_string(times[1]);
                    ASSERT_TRUE(sameBits(outLeft.data(), expectedLeft.data(), frames, "left")) << where;
                    ASSERT_TRUE(sameBits(outRight.data(), expectedRight.data(), frames, "right")) << where;
                    ASSERT_TRUE(sameState(block.detector_, reference.detector_)) << where;
                    for (auto memories : {&Compressor::highpassStateLeft_, &Compressor::highpassStateRight_,
                                          &Compressor::lowpassStateLeft_, &Compressor::lowpassStateRight_})
                        ASSERT_TRUE(sameBits(block.*memories, reference.*memories, 2, "side-chain memory"))
                            << where;
                }
}

TEST(VectorPath, EngineBlocksMayOverwriteTheirInput)
{
    // Outputs written into the input arrays, and the left output into the right input, as a host may hand
    // over shared buffers.
    const int frames = 1500;
    const std::vector<double> left = noise(frames, 5, 0.8), right = noise(frames, 6, 0.3);
    Compressor reference, shared, crossed;
    std::vector<double> expectedLeft(frames), expectedRight(frames);
    for (int n = 0; n < frames; ++n)
        reference.processSample(left[n], right[n], expectedLeft[n], expectedRight[n]);
    std::vector<double> a = left, b = right;
    shared.processBlock(a.data(), b.data(), a.data(), b.data(), frames);
    EXPECT_TRUE(sameBits(a.data(), expectedLeft.data(), frames, "left in place"));
    EXPECT_TRUE(sameBits(b.data(), expectedRight.data(), frames, "right in place"));
    std::vector<double> c = left, d = right, e(frames);
    crossed.processBlock(c.data(), d.data(), d.data(), e.data(), frames);
    EXPECT_TRUE(sameBits(d.data(), expectedLeft.data(), frames, "left into the right input"));
    EXPECT_TRUE(sameBits(e.data(), expectedRight.data(), frames, "right"));
}

TEST(VectorPath, BlockCallsIgnoreEmptyAndNullArguments)
{
    MultibandPowerDetector detector;
    double x = 1.0, total = -1.0;
    detector.tickBlock(&x, &x, &total, 0);
    detector.tickBlock(nullptr, &x, &total, 1);
    detector.tickBlock(&x, &x, nullptr, 1);
    EXPECT_EQ(total, -1.0);
    for (double p : detector.power_)
        EXPECT_EQ(p, 0.0);
    Compressor compressor;
    double out = -1.0;
    compressor.processBlock(&x, &x, &out, nullptr, 1);
    compressor.processBlock(&x, &x, &out, &out, -3);
    EXPECT_EQ(out, -1.0);
}

TEST(VectorPath, EngineBlocksMatchOnHugeInput)
{
    // Far beyond any audio level, so that band powers overflow to infinity and crossovers subtract
    // infinities: the vector gain law must give fast_pow's own answers outside its domain (the float-range
    // clamp, NaN giving 1) and every path the scalar numbers.
    const int frames = 600;
    std::vector<double> left(frames), right(frames);
    const double levels[] = {0.0, 3e38, -1e200, 1e-300, 1.0, 1e300};
    for (int n = 0; n < frames; ++n) {
        left[n] = levels[(n / 50) % 6] * std::sin(0.3 * n);
        right[n] = levels[(n / 70) % 6];
    }
    std::vector<DetectorPath> paths = vectorPaths();
    for (DetectorPath path : paths)
        for (bool hilbert : {false, true}) {
            Compressor reference, block;
            for (Compressor* c : {&reference, &block}) {
                c->hilbert(hilbert);
                c->attackTime(0.001);
                c->releaseTime(0.05);
            }
            reference.detector_.selectPath(DetectorPath::scalar);
            ASSERT_TRUE(block.detector_.selectPath(path));
            std::vector<double> expectedLeft(frames), expectedRight(frames), outLeft(frames),
                outRight(frames);
            for (int n = 0; n < frames; ++n)
                reference.processSample(left[n], right[n], expectedLeft[n], expectedRight[n]);
            for (int n = 0; n < frames; n += 37)
                block.processBlock(&left[n], &right[n], &outLeft[n], &outRight[n], std::min(37, frames - n));
            EXPECT_TRUE(sameBits(outLeft.data(), expectedLeft.data(), frames, "left"))
                << name(path) << hilbert;
            EXPECT_TRUE(sameBits(outRight.data(), expectedRight.data(), frames, "right"))
                << name(path) << hilbert;
            EXPECT_TRUE(sameState(block.detector_, reference.detector_)) << name(path) << hilbert;
        }
}

TEST(VectorPath, EngineBlocksWithAKeyMatchProcessSampleBitForBit)
{
    // A key offered while the side-chain takes the signal's own input changes nothing: every path and split
    // gives today's unkeyed output. A key in use runs on every path as the keyed processSample does.
    const int frames = 1500;
    const std::vector<double> left = noise(frames, 31, 0.9), right = toneBursts(frames, 0.05, 250),
                              keyLeft = toneBursts(frames, 0.002, 300), keyRight = noise(frames, 32, 2.0);
    std::vector<DetectorPath> paths = vectorPaths();
    paths.push_back(DetectorPath::scalar);
    int caseNumber = 0;
    for (DetectorPath path : paths)
        for (double rate : {44100.0, 96000.0})
            for (int mode = 0; mode < 8; ++mode) {
                const bool listen = (mode & 1) != 0, hilbert = (mode & 2) != 0, key = (mode & 4) != 0;
                Compressor reference, block;
                for (Compressor* c : {&reference, &block}) {
                    c->sidechainHighpassCutoff(60.0);
                    c->sampleRate(rate);
                    c->drive(2.0);
                    c->threshold(0.2);
                    c->ratio(6.0);
                    c->mix(0.8);
                    c->attackTime(0.001);
                    c->releaseTime(0.05);
                    c->hilbert(hilbert);
                    c->sidechainListen(listen);
                }
                block.sidechainSource(key);
                reference.detector_.selectPath(key ? DetectorPath::scalar : path);
                ASSERT_TRUE(block.detector_.selectPath(path));
                std::vector<double> expectedLeft(frames), expectedRight(frames), outLeft(frames),
                    outRight(frames);
                int split = ++caseNumber;
                for (int n = 0; n < frames;) {
                    const int count = std::min(splitFrames[split++ % std::size(splitFrames)], frames - n);
                    if (key) {
                        reference.sidechainSource(true);
                        for (int i = n; i < n + count; ++i)
                            reference.processSample(left[i], right[i], keyLeft[i], keyRight[i],
                                                    expectedLeft[i], expectedRight[i]);
                    } else {
                        reference.processBlock(&left[n], &right[n], &expectedLeft[n], &expectedRight[n],
                                               count);
                    }
                    block.processBlock(&left[n], &right[n], &keyLeft[n], &keyRight[n], &outLeft[n],
                                       &outRight[n], count);
                    n += count;
                }
                const std::string where = name(path) + " " + std::to_string(rate) + " Hz, listen " +
                                          std::to_string(listen) + ", hilbert " + std::to_string(hilbert) +
                                          ", key " + std::to_string(key);
                ASSERT_TRUE(sameBits(outLeft.data(), expectedLeft.data(), frames, "left")) << where;
                ASSERT_TRUE(sameBits(outRight.data(), expectedRight.data(), frames, "right")) << where;
                ASSERT_TRUE(sameState(block.detector_, reference.detector_)) << where;
            }
}
