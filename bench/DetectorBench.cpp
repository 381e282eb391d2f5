// Time per stereo frame of MultibandPowerDetector::tick (quadrature detection off and on) and per call of
// fast_pow against the library pow over the gain law's range.

#include "Common/dsp/misc.h"
#include "Src/Compressor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
constexpr int blockFrames = 4096;

std::vector<double> noiseBlock(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> signal(-1.0, 1.0);
    std::vector<double> block(blockFrames);
    for (double& sample : block)
        sample = signal(random);
    return block;
}

void detectorTick(benchmark::State& state)
{
    MultibandPowerDetector detector;
    detector.attackTime(0.01);
    detector.releaseTime(0.2);
    detector.hilbert(state.range(0) != 0);
    const std::vector<double> left = noiseBlock(1);
    const std::vector<double> right = noiseBlock(2);
    for (auto _ : state) {
        double total = 0.0;
        for (int n = 0; n < blockFrames; ++n)
            total += detector.tick(left[n], right[n]);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * blockFrames);
    // Seconds per stereo frame, printed with an SI prefix (n for nanoseconds).
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * blockFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(detectorTick)->Arg(0)->Arg(1)->ArgName("hilbert");

// Arguments as the gain law sees them: 1 + u over many decades, exponents within [-0.5, 0.5].
struct PowArguments
{
    std::vector<double> base;
    std::vector<double> exponent;

    PowArguments() : base(blockFrames), exponent(blockFrames)
    {
        std::mt19937 random(3);
        std::uniform_real_distribution<double> decades(0.0, 12.0);
        std::uniform_real_distribution<double> power(-0.5, 0.5);
        for (int n = 0; n < blockFrames; ++n) {
            base[n] = std::pow(10.0, decades(random));
            exponent[n] = power(random);
        }
    }
};

template <double (*power)(double, double)> void powerFunction(benchmark::State& state)
{
    const PowArguments arguments;
    for (auto _ : state) {
        double total = 0.0;
        for (int n = 0; n < blockFrames; ++n)
            total += power(arguments.base[n], arguments.exponent[n]);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * blockFrames);
    state.counters["per_call"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * blockFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double libraryPow(double x, double y)
{
    return std::pow(x, y);
}

BENCHMARK_TEMPLATE(powerFunction, fast_pow)->Name("fast_pow");
BENCHMARK_TEMPLATE(powerFunction, libraryPow)->Name("std_pow");
} // namespace

BENCHMARK_MAIN();
