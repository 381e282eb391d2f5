#include "Src/Compressor.h"

#include "Common/Assert.h"
#include "Common/dsp/fastPowTables.h"
#include "Common/dsp/misc.h"
#include "Common/dsp/simpleFilters.h"

#include <algorithm>
#include <cmath>

#if ZR_DETECTOR_KERNELS && !(defined(__x86_64__) || defined(__i386__))
#error "the detector kernels are x86 code"
#endif
// A build may cap the path chosen at construction (0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512): the benchmarks
// build the plug-in binary once per path this way.
#ifndef ZR_WIDEST_DETECTOR_PATH
#define ZR_WIDEST_DETECTOR_PATH 3
#endif

namespace
{
// Q of the side-chain filters: Butterworth.
constexpr double sidechainQ = 0.7071067811865476;
// The cookbook kinds of BiquadCoeffs::cook.
constexpr long lowpassKind = 0;
constexpr long highpassKind = 1;

// One sample through a direct-form-II biquad; state[0] is the older, state[1] the newer memory.
inline double runBiquad(const BiquadCoeffs& coeffs, double* state, double x)
{
    const double older = state[0];
    const double newer = state[1];
    const double w = coeffs.gain * x + coeffs.a1 * newer + coeffs.a2 * older;
    const double y = w + coeffs.b1 * newer + coeffs.b2 * older;
    state[0] = newer;
    state[1] = w;
    return y;
}

// runBiquad with the coefficients (widened to double: exact) and memories in locals for the length of a
// block, so that stores to the block's arrays cannot make the compiler reload them. The same arithmetic, so
// the same numbers.
struct BlockBiquad
{
    double gain, a1, a2, b1, b2;
    double older, newer;

    BlockBiquad(const double* coeffs, const double* state)
        : gain(coeffs[0]), a1(coeffs[1]), a2(coeffs[2]), b1(coeffs[3]), b2(coeffs[4]), older(state[0]),
          newer(state[1])
    {}
    double run(double x)
    {
        const double w = gain * x + a1 * newer + a2 * older;
        const double y = w + b1 * newer + b2 * older;
        older = newer;
        newer = w;
        return y;
    }
    void save(double* state) const
    {
        state[0] = older;
        state[1] = newer;
    }
};

// The engine's gain from a detector total: processSample's G.
inline double gainOf(const detector_kernel::GainLaw& law, double total)
{
    return law.wet * law.power(1.0 + total * law.thresholdFactor, law.gainExponent) + law.dry;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------

BandSplitterCoeffs::~BandSplitterCoeffs()
{
    zapArray(coeffs_, static_cast<double*>(nullptr));
}

void BandSplitterCoeffs::reset(int numBands, double sampleRate, double lowFreq, double highFreq)
{
    ZR_ASSERT(numBands>=1);
    if (numBands < 1) return;
    if (numBands_ == numBands && sampleRate_ == sampleRate && lowFreq_ == lowFreq && highFreq_ == highFreq)
        return; // the same arguments give the same values
    if (numBands_ != numBands) {
        // Allocate before giving up the old array, so a failed allocation leaves a consistent object.
        double* fresh = numBands > 1 ? new double[numBands - 1] : nullptr;
        zapArray(coeffs_, fresh);
        numBands_ = numBands;
    }
    const double bandFactor = 1.0 / numBands;
    for (int i = 0; i < numBands - 1; ++i) {
        const double crossover = lowFreq * std::pow(highFreq / lowFreq, (i + 1) * bandFactor);
        coeffs_[i] = calcSimpleAllpassCoeff_sr_cf(saturatingFloat(sampleRate), saturatingFloat(crossover));
    }
    sampleRate_ = sampleRate;
    lowFreq_ = lowFreq;
    highFreq_ = highFreq;
}

// ---------------------------------------------------------------------------------------------------------

BandSplitter::~BandSplitter()
{
    zapArray(state_, static_cast<double*>(nullptr));
}

void BandSplitter::reset(int numBands)
{
    if (numBands < 1) return;
    if (numBands_ != numBands) {
        double* fresh = numBands > 1 ? new double[numBands - 1] : nullptr;
        zapArray(state_, fresh);
        numBands_ = numBands;
    }
    clearArray(state_, numBands_ - 1, 0.0);
}

void BandSplitter::split(const BandSplitterCoeffs& coeffs, double x, double* bands)
{
    if (numBands_ < 1) return;
    if (coeffs.numBands_ != numBands_) {
        clearArray(bands, numBands_, 0.0);
        return;
    }
    if (numBands_ == 1) {
        bands[0] = x + x;
        return;
    }
    const double* c = coeffs.coeffs_;
    const int last = numBands_ - 1;
    // The allpasses run in parallel on the same input; band k lies between crossovers k - 1 and k.
    double lower = c[0] * x + state_[0];
    state_[0] = x - c[0] * lower;
    bands[0] = x + lower;
    for (int i = 1; i < last; ++i) {
        const double upper = c[i] * x + state_[i];
        state_[i] = x - c[i] * upper;
        bands[i] = upper - lower;
        lower = upper;
    }
    bands[last] = x - lower;
}

// ---------------------------------------------------------------------------------------------------------

double MultibandPowerDetector::bandLowEdge(int band)
{
    return lowestBandEdge * std::pow(highestBandEdge / lowestBandEdge, band * (1.0 / numBands));
}

double MultibandPowerDetector::bandCentre(int band)
{
    return lowestBandEdge * std::pow(highestBandEdge / lowestBandEdge, (band + 0.5) * (1.0 / numBands));
}

MultibandPowerDetector::MultibandPowerDetector() : path_(widestPath())
{
    recalcAttackCoeffs();
    recalcReleaseCoeffs();
    recalcHilbertCoeffs();
    reset();
}

void MultibandPowerDetector::attackTime(double at)
{
    ZR_ASSERT(at>=0);
    if (!(at >= 0)) return;
    attackTime_ = at;
    recalcAttackCoeffs();
}

void MultibandPowerDetector::releaseTime(double rt)
{
    ZR_ASSERT(rt>=0);
    if (!(rt >= 0)) return;
    releaseTime_ = rt;
    recalcReleaseCoeffs();
}

void MultibandPowerDetector::sampleRate(double sampleRate)
{
    if (!(sampleRate > 0.0)) return;
    sampleRate_ = sampleRate;
    recalcAttackCoeffs();
    recalcReleaseCoeffs();
    recalcHilbertCoeffs();
    reset();
}

void MultibandPowerDetector::hilbert(bool on)
{
    hilbert_ = on;
}

void MultibandPowerDetector::recalcSmoothingCoeffs(double lowestBandTime, double* coeffs) const
{
    // Higher bands get proportionally shorter times: band k uses the time divided by 1000^(k/33).
    for (int k = 0; k < numBands; ++k) {
        const double timeConstant = lowestBandTime * lowestBandEdge / bandLowEdge(k);
        coeffs[k] = calcSimpleLowpassCoeff_sr_tc(saturatingFloat(sampleRate_), saturatingFloat(timeConstant));
    }
}

void MultibandPowerDetector::recalcAttackCoeffs()
{
    recalcSmoothingCoeffs(attackTime_, attackCoeffs_);
}

void MultibandPowerDetector::recalcReleaseCoeffs()
{
    recalcSmoothingCoeffs(releaseTime_, releaseCoeffs_);
}

void MultibandPowerDetector::recalcHilbertCoeffs()
{
    for (int k = 0; k < numBands; ++k)
        hilbertCoeffs_[k] =
            calcSimpleAllpassCoeff_sr_cf(saturatingFloat(sampleRate_), saturatingFloat(bandCentre(k)));
}

void MultibandPowerDetector::reset()
{
    splitterCoeffs_.reset(numBands, sampleRate_, lowestBandEdge, highestBandEdge);
    splitterLeft_.reset(numBands);
    splitterRight_.reset(numBands);
    clearArray(power_, numBands, 0.0);
    clearArray(hilbertStateLeft_, numBands, 0.0);
    clearArray(hilbertStateRight_, numBands, 0.0);
}

double MultibandPowerDetector::tick(double left, double right)
{
    double bandsLeft[numBands];
    double bandsRight[numBands];
    splitterLeft_.split(splitterCoeffs_, left, bandsLeft);
    splitterRight_.split(splitterCoeffs_, right, bandsRight);

    double total = 0.0;
    for (int k = 0; k < numBands; ++k) {
        const double bandLeft = bandsLeft[k];
        const double bandRight = bandsRight[k];
        double instantPower;
        if (hilbert_) {
            // The band and its 90-degree-shifted copy together give a power that ripples far less.
            const double h = hilbertCoeffs_[k];
            const double quadratureLeft = h * bandLeft + hilbertStateLeft_[k];
            hilbertStateLeft_[k] = bandLeft - h * quadratureLeft;
            const double quadratureRight = h * bandRight + hilbertStateRight_[k];
            hilbertStateRight_[k] = bandRight - h * quadratureRight;
            instantPower = 0.5 * (quadratureLeft * quadratureLeft + bandLeft * bandLeft +
                                  quadratureRight * quadratureRight + bandRight * bandRight);
        } else {
            instantPower = bandLeft * bandLeft + bandRight * bandRight;
            // Keeps the quadrature allpasses primed for switching detection on.
            hilbertStateLeft_[k] = bandLeft;
            hilbertStateRight_[k] = bandRight;
        }
        const double previous = power_[k];
        const double c = instantPower > previous ? attackCoeffs_[k] : releaseCoeffs_[k];
        power_[k] = instantPower * c + (1.0 - c) * previous;
        total += power_[k];
    }
    return total;
}

bool MultibandPowerDetector::pathAvailable(DetectorPath path)
{
    switch (path) {
    case DetectorPath::scalar:
        return true;
#if ZR_DETECTOR_KERNELS
    // The compiler's CPU check also asks the operating system whether it saves the wider registers.
    case DetectorPath::sse2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2");
    case DetectorPath::avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case DetectorPath::avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

DetectorPath MultibandPowerDetector::widestPath()
{
    for (DetectorPath path : {DetectorPath::avx512, DetectorPath::avx2, DetectorPath::sse2})
        if (static_cast<int>(path) <= ZR_WIDEST_DETECTOR_PATH && pathAvailable(path)) return path;
    return DetectorPath::scalar;
}

bool MultibandPowerDetector::selectPath(DetectorPath path)
{
    if (!pathAvailable(path)) return false;
    path_ = path;
    return true;
}

void MultibandPowerDetector::tickBlock(const double* left, const double* right, double* totals, int frames)
{
    engineBlock(left, right, nullptr, nullptr, totals, frames);
}

void MultibandPowerDetector::engineBlock(const double* left, const double* right,
                                         const detector_kernel::SideChain* sideChain,
                                         const detector_kernel::GainLaw* law, double* out, int frames)
{
    if (frames <= 0 || left == nullptr || right == nullptr || out == nullptr) return;
    // The kernels know the 33-band layout only; any other state (never reached by the engine) takes the
    // reference code, which copes with it.
    const bool standardLayout = splitterCoeffs_.numBands_ == numBands && splitterCoeffs_.coeffs_ != nullptr &&
                                splitterLeft_.numBands_ == numBands && splitterLeft_.state_ != nullptr &&
                                splitterRight_.numBands_ == numBands && splitterRight_.state_ != nullptr;
#if ZR_DETECTOR_KERNELS
    static_assert(detector_kernel::numBands == numBands, "the kernels' band count");
    if (path_ != DetectorPath::scalar && standardLayout) {
        const detector_kernel::State state{splitterCoeffs_.coeffs_,
                                           splitterLeft_.state_,
                                           splitterRight_.state_,
                                           power_,
                                           attackCoeffs_,
                                           releaseCoeffs_,
                                           hilbertCoeffs_,
                                           hilbertStateLeft_,
                                           hilbertStateRight_,
                                           hilbert_,
                                           kernelScratch_,
                                           law,
                                           sideChain};
        switch (path_) {
        case DetectorPath::avx512:
            detector_kernel::runAvx512(state, left, right, out, frames);
            return;
        case DetectorPath::avx2:
            detector_kernel::runAvx2(state, left, right, out, frames);
            return;
        case DetectorPath::sse2:
            detector_kernel::runSse2(state, left, right, out, frames);
            return;
        case DetectorPath::scalar:
            break;
        }
    }
#else
    (void)standardLayout;
#endif
    // The reference: the engine's per-sample steps around tick.
    if (sideChain != nullptr) {
        const detector_kernel::SideChain& side = *sideChain;
        BlockBiquad highpassLeft(side.highpass, side.highpassLeft);
        BlockBiquad highpassRight(side.highpass, side.highpassRight);
        BlockBiquad lowpassLeft(side.lowpass, side.lowpassLeft);
        BlockBiquad lowpassRight(side.lowpass, side.lowpassRight);
        for (int n = 0; n < frames; ++n) {
            const double filteredLeft = lowpassLeft.run(highpassLeft.run(left[n]));
            const double filteredRight = lowpassRight.run(highpassRight.run(right[n]));
            side.filteredLeft[n] = filteredLeft;
            side.filteredRight[n] = filteredRight;
            const double total = tick(side.drive * filteredLeft, side.drive * filteredRight);
            out[n] = law != nullptr ? gainOf(*law, total) : total;
        }
        highpassLeft.save(side.highpassLeft);
        highpassRight.save(side.highpassRight);
        lowpassLeft.save(side.lowpassLeft);
        lowpassRight.save(side.lowpassRight);
        return;
    }
    for (int n = 0; n < frames; ++n) {
        const double total = tick(left[n], right[n]);
        out[n] = law != nullptr ? gainOf(*law, total) : total;
    }
}

// ---------------------------------------------------------------------------------------------------------

Compressor::Compressor() = default;

void Compressor::drive(double gain)
{
    drive_ = gain;
}

void Compressor::sidechainHighpassCutoff(double cutoff)
{
    ZR_ASSERT(cutoff > 0.0);
    if (!(cutoff > 0.0)) return;
    sidechainHighpassCutoff_ = cutoff;
    highpassCoeffs_.cook(highpassKind, cutoff / sampleRate_, sidechainQ);
}

void Compressor::sidechainLowpassCutoff(double cutoff)
{
    ZR_ASSERT(cutoff > 0.0);
    if (!(cutoff > 0.0)) return;
    sidechainLowpassCutoff_ = cutoff;
    lowpassCoeffs_.cook(lowpassKind, cutoff / sampleRate_, sidechainQ);
}

void Compressor::sidechainListen(bool on)
{
    sidechainListen_ = on;
}

void Compressor::ratio(double ratio)
{
    // No ratio at or below 0 (or NaN) has a meaning; such a value keeps the previous gain law.
    if (!(ratio > 0.0)) return;
    gainExponent_ = (1.0 - 1.0 / ratio) * -0.5;
}

void Compressor::threshold(double t)
{
    ZR_ASSERT(t>0.0);
    if (!(t > 0.0)) return;
    thresholdFactor_ = 8.0 / (t * t);
}

void Compressor::outputGain(double gain)
{
    outputGain_ = gain;
}

void Compressor::mix(double wet)
{
    mix_ = wet;
}

void Compressor::attackTime(double attackTime)
{
    ZR_ASSERT(attackTime>=0.0);
    if (!(attackTime >= 0.0)) return;
    detector_.attackTime(attackTime);
}

void Compressor::releaseTime(double releaseTime)
{
    ZR_ASSERT(releaseTime>=0.0);
    if (!(releaseTime >= 0.0)) return;
    detector_.releaseTime(releaseTime);
}

void Compressor::hilbert(bool on)
{
    detector_.hilbert(on);
}

void Compressor::sampleRate(double sampleRate)
{
    ZR_ASSERT(sampleRate>0.0);
    if (!(sampleRate > 0.0)) return;
    sampleRate_ = sampleRate;
    detector_.sampleRate(sampleRate);
    // The side-chain filter memories stay: only their coefficients follow the new rate.
    cookSidechainFilters();
}

void Compressor::cookSidechainFilters()
{
    highpassCoeffs_.cook(highpassKind, sidechainHighpassCutoff_ / sampleRate_, sidechainQ);
    lowpassCoeffs_.cook(lowpassKind, sidechainLowpassCutoff_ / sampleRate_, sidechainQ);
}

void Compressor::reset()
{
    detector_.reset();
    clearArray(highpassStateLeft_, 2, 0.0);
    clearArray(highpassStateRight_, 2, 0.0);
    clearArray(lowpassStateLeft_, 2, 0.0);
    clearArray(lowpassStateRight_, 2, 0.0);
    smallestLawFactor_ = 1.0;
}

void Compressor::processSample(double inLeft, double inRight, double& outLeft, double& outRight)
{
    const double sideLeft =
        runBiquad(lowpassCoeffs_, lowpassStateLeft_, runBiquad(highpassCoeffs_, highpassStateLeft_, inLeft));
    const double sideRight = runBiquad(lowpassCoeffs_, lowpassStateRight_,
                                       runBiquad(highpassCoeffs_, highpassStateRight_, inRight));
    const double power = detector_.tick(drive_ * sideLeft, drive_ * sideRight);
    const double u = power * thresholdFactor_;
    if (sidechainListen_) {
        outLeft = sideLeft;
        outRight = sideRight;
        return;
    }
    // Soft-knee power law: about 1 well below the threshold, 1/ratio dB per dB well above it.
    const double g = fast_pow(1.0 + u, gainExponent_);
    const double G = ((mix_ * outputGain_) * drive_) * g + (1.0 - mix_);
    outLeft = inLeft * G;
    outRight = inRight * G;
}

void Compressor::processBlock(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                              int frames)
{
    processBlockIn(inLeft, inRight, outLeft, outRight, frames);
}

void Compressor::processBlock(const double* inLeft, const double* inRight, float* outLeft, float* outRight,
                              int frames)
{
    processBlockIn(inLeft, inRight, outLeft, outRight, frames);
}

template <typename Sample>
void Compressor::processBlockIn(const double* inLeft, const double* inRight, Sample* outLeft,
                                Sample* outRight, int frames)
{
    if (frames <= 0 || inLeft == nullptr || inRight == nullptr || outLeft == nullptr || outRight == nullptr)
        return;
    for (int offset = 0; offset < frames; offset += blockFrames) {
        const int count = frames - offset < blockFrames ? frames - offset : blockFrames;
        processPiece(inLeft + offset, inRight + offset, outLeft + offset, outRight + offset, count);
    }
}

template <typename Sample>
void Compressor::processPiece(const double* inLeft, const double* inRight, Sample* outLeft, Sample* outRight,
                              int frames)
{
    const BiquadCoeffs& hp = highpassCoeffs_;
    const BiquadCoeffs& lp = lowpassCoeffs_;
    detector_kernel::SideChain side{{hp.gain, hp.a1, hp.a2, hp.b1, hp.b2},
                                    {lp.gain, lp.a1, lp.a2, lp.b1, lp.b2},
                                    highpassStateLeft_,
                                    highpassStateRight_,
                                    lowpassStateLeft_,
                                    lowpassStateRight_,
                                    drive_,
                                    sideLeft_,
                                    sideRight_};
    if (sidechainListen_) {
        // The detector still runs: its state must be where processSample would leave it.
        detector_.engineBlock(inLeft, inRight, &side, nullptr, gains_, frames);
        for (int n = 0; n < frames; ++n) {
            outLeft[n] = static_cast<Sample>(sideLeft_[n]);
            outRight[n] = static_cast<Sample>(sideRight_[n]);
        }
        return;
    }
    // processSample's G = ((mix * outputGain) * drive) * fast_pow(1 + total * thresholdFactor, gainExponent)
    // + (1 - mix), its factors formed once: the same products in the same order.
    const detector_kernel::GainLaw law{thresholdFactor_, gainExponent_, (mix_ * outputGain_) * drive_,
                                       1.0 - mix_,       &fast_pow,     fastPowLogTable,
                                       fastPowExpTable};
    detector_.engineBlock(inLeft, inRight, &side, &law, gains_, frames);
    for (int n = 0; n < frames; ++n) {
        // Both inputs are read before either output is written: an output may be the other channel's input.
        const double left = inLeft[n];
        const double right = inRight[n];
        outLeft[n] = static_cast<Sample>(left * gains_[n]);
        outRight[n] = static_cast<Sample>(right * gains_[n]);
    }
    // The meter's minimum in a loop of its own, four chains side by side: inside the loop above it would
    // keep that loop from being vectorised.
    double smallest[4] = {gains_[0], gains_[0], gains_[0], gains_[0]};
    int n = 0;
    for (; n + 4 <= frames; n += 4)
        for (int k = 0; k < 4; ++k)
            smallest[k] = gains_[n + k] < smallest[k] ? gains_[n + k] : smallest[k];
    for (; n < frames; ++n)
        smallest[0] = gains_[n] < smallest[0] ? gains_[n] : smallest[0];
    const double smallestGain =
        std::min(std::min(smallest[0], smallest[1]), std::min(smallest[2], smallest[3]));
    // The gain is wet * factor + dry, and smaller for a smaller factor: one division recovers the factor.
    if (law.wet > 0.0) {
        const double factor = (smallestGain - law.dry) / law.wet;
        if (factor < smallestLawFactor_) smallestLawFactor_ = factor;
    }
}

double Compressor::takeGainReductionDb()
{
    const double factor = smallestLawFactor_;
    smallestLawFactor_ = 1.0;
    if (!(factor < 1.0)) return 0.0;
    // Beyond 200 dB (or a factor rounded to 0 or below) the meter reads its end anyway.
    return factor > 1e-10 ? -20.0 * std::log10(factor) : 200.0;
}
