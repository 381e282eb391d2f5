#include "Src/Compressor.h"

#include "Common/Assert.h"
#include "Common/dsp/Biquad.h"
#include "Common/dsp/fastPowTables.h"
#include "Common/dsp/misc.h"
#include "Common/dsp/simpleFilters.h"

#include <algorithm>
#include <cmath>

// A build may cap the path chosen at construction (0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512): the benchmarks
// build the plug-in binary once per path this way.
#ifndef ZR_WIDEST_DETECTOR_PATH
#define ZR_WIDEST_DETECTOR_PATH 3
#endif

namespace
{
// Q of the side-chain filters: Butterworth.
constexpr double sidechainQ = 0.7071067811865476;
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

void BandSplitter::split(const BandSplitterCoeffs& coeffs, double x, double* bands) noexcept
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

void MultibandPowerDetector::attackTime(double at) noexcept
{
    ZR_ASSERT(at>=0);
    if (!(at >= 0)) return;
    attackTime_ = at;
    recalcAttackCoeffs();
}

void MultibandPowerDetector::releaseTime(double rt) noexcept
{
    ZR_ASSERT(rt>=0);
    if (!(rt >= 0)) return;
    releaseTime_ = rt;
    recalcReleaseCoeffs();
}

void MultibandPowerDetector::sampleRate(double sampleRate) noexcept
{
    if (!(sampleRate > 0.0)) return;
    sampleRate_ = sampleRate;
    recalcAttackCoeffs();
    recalcReleaseCoeffs();
    recalcHilbertCoeffs();
    reset();
}

void MultibandPowerDetector::hilbert(bool on) noexcept
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

void MultibandPowerDetector::reset() noexcept
{
    splitterCoeffs_.reset(numBands, sampleRate_, lowestBandEdge, highestBandEdge);
    splitterLeft_.reset(numBands);
    splitterRight_.reset(numBands);
    clearArray(power_, numBands, 0.0);
    clearArray(hilbertStateLeft_, numBands, 0.0);
    clearArray(hilbertStateRight_, numBands, 0.0);
}

double MultibandPowerDetector::tick(double left, double right) noexcept
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

bool MultibandPowerDetector::kernelState(detector_kernel::State& state) noexcept
{
    static_assert(detector_kernel::numBands == numBands, "the kernels' band count");
    if (splitterCoeffs_.numBands_ != numBands || splitterCoeffs_.coeffs_ == nullptr ||
        splitterLeft_.numBands_ != numBands || splitterLeft_.state_ == nullptr ||
        splitterRight_.numBands_ != numBands || splitterRight_.state_ == nullptr)
        return false;
    state = detector_kernel::State{splitterCoeffs_.coeffs_,
                                   splitterLeft_.state_,
                                   splitterRight_.state_,
                                   power_,
                                   attackCoeffs_,
                                   releaseCoeffs_,
                                   hilbertCoeffs_,
                                   hilbertStateLeft_,
                                   hilbertStateRight_,
                                   hilbert_,
                                   nullptr,
                                   nullptr};
    return true;
}

void MultibandPowerDetector::tickBlock(const double* left, const double* right, double* totals,
                                       int frames) noexcept
{
    if (frames <= 0 || left == nullptr || right == nullptr || totals == nullptr) return;
    detector_kernel::State state;
    if (kernelState(state) && detector_kernel::run(path_, state, left, right, totals, frames)) return;
    for (int n = 0; n < frames; ++n)
        totals[n] = tick(left[n], right[n]);
}

// ---------------------------------------------------------------------------------------------------------

Compressor::Compressor() = default;

void Compressor::drive(double gain) noexcept
{
    drive_ = gain;
}

void Compressor::sidechainHighpassCutoff(double cutoff) noexcept
{
    ZR_ASSERT(cutoff > 0.0);
    if (!(cutoff > 0.0)) return;
    sidechainHighpassCutoff_ = cutoff;
    highpassCoeffs_.cook(BiquadCoeffs::highpass, cutoff / sampleRate_, sidechainQ);
}

void Compressor::sidechainLowpassCutoff(double cutoff) noexcept
{
    ZR_ASSERT(cutoff > 0.0);
    if (!(cutoff > 0.0)) return;
    sidechainLowpassCutoff_ = cutoff;
    lowpassCoeffs_.cook(BiquadCoeffs::lowpass, cutoff / sampleRate_, sidechainQ);
}

void Compressor::sidechainListen(bool on) noexcept
{
    sidechainListen_ = on;
}

void Compressor::sidechainSource(bool key) noexcept
{
    sidechainSource_ = key;
}

void Compressor::ratio(double ratio) noexcept
{
    // No ratio at or below 0 (or NaN) has a meaning; such a value keeps the previous gain law.
    if (!(ratio > 0.0)) return;
    gainExponent_ = (1.0 - 1.0 / ratio) * -0.5;
}

void Compressor::threshold(double t) noexcept
{
    ZR_ASSERT(t>0.0);
    if (!(t > 0.0)) return;
    thresholdFactor_ = 8.0 / (t * t);
}

void Compressor::outputGain(double gain) noexcept
{
    outputGain_ = gain;
}

void Compressor::mix(double wet) noexcept
{
    mix_ = wet;
}

void Compressor::attackTime(double attackTime) noexcept
{
    ZR_ASSERT(attackTime>=0.0);
    if (!(attackTime >= 0.0)) return;
    detector_.attackTime(attackTime);
}

void Compressor::releaseTime(double releaseTime) noexcept
{
    ZR_ASSERT(releaseTime>=0.0);
    if (!(releaseTime >= 0.0)) return;
    detector_.releaseTime(releaseTime);
}

void Compressor::hilbert(bool on) noexcept
{
    detector_.hilbert(on);
}

void Compressor::sampleRate(double sampleRate) noexcept
{
    ZR_ASSERT(sampleRate>0.0);
    if (!(sampleRate > 0.0)) return;
    sampleRate_ = sampleRate;
    detector_.sampleRate(sampleRate);
    // The side-chain filter memories stay: only their coefficients follow the new rate.
    cookSidechainFilters();
}

void Compressor::cookSidechainFilters() noexcept
{
    highpassCoeffs_.cook(BiquadCoeffs::highpass, sidechainHighpassCutoff_ / sampleRate_, sidechainQ);
    lowpassCoeffs_.cook(BiquadCoeffs::lowpass, sidechainLowpassCutoff_ / sampleRate_, sidechainQ);
}

void Compressor::reset() noexcept
{
    detector_.reset();
    clearArray(highpassStateLeft_, 2, 0.0);
    clearArray(highpassStateRight_, 2, 0.0);
    clearArray(lowpassStateLeft_, 2, 0.0);
    clearArray(lowpassStateRight_, 2, 0.0);
    smallestLawFactor_ = 1.0;
}

detector_kernel::GainLaw Compressor::gainLaw() const noexcept
{
    return detector_kernel::GainLaw{thresholdFactor_, gainExponent_, (mix_ * outputGain_) * drive_,
                                    1.0 - mix_,       &fast_pow,     fastPowLogTable,
                                    fastPowExpTable};
}

void Compressor::processSample(double inLeft, double inRight, double keyLeft, double keyRight,
                               double& outLeft, double& outRight) noexcept
{
    const double sideInLeft = sidechainSource_ ? keyLeft : inLeft;
    const double sideInRight = sidechainSource_ ? keyRight : inRight;
    const double sideLeft = Biquad::step(lowpassCoeffs_, lowpassStateLeft_,
                                         Biquad::step(highpassCoeffs_, highpassStateLeft_, sideInLeft));
    const double sideRight = Biquad::step(lowpassCoeffs_, lowpassStateRight_,
                                          Biquad::step(highpassCoeffs_, highpassStateRight_, sideInRight));
    const double power = detector_.tick(drive_ * sideLeft, drive_ * sideRight);
    if (sidechainListen_) {
        outLeft = sideLeft;
        outRight = sideRight;
        return;
    }
    // Soft-knee power law: about 1 well below the threshold, 1/ratio dB per dB well above it.
    const double G = gainLaw().gain(power);
    outLeft = inLeft * G;
    outRight = inRight * G;
}

namespace
{
// The input of processBlock's arrays, copied block by block (so the outputs may be the input arrays).
struct ArrayInput
{
    const double* left;
    const double* right;
    const double* keyLeft;
    const double* keyRight;

    void operator()(int offset, int count, double* toLeft, double* toRight, double* toKeyLeft,
                    double* toKeyRight) const
    {
        std::copy(left + offset, left + offset + count, toLeft);
        std::copy(right + offset, right + offset + count, toRight);
        if (toKeyLeft == nullptr) return;
        std::copy(keyLeft + offset, keyLeft + offset + count, toKeyLeft);
        std::copy(keyRight + offset, keyRight + offset + count, toKeyRight);
    }
};
} // namespace

void Compressor::processBlock(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                              int frames) noexcept
{
    if (inLeft == nullptr || inRight == nullptr) return;
    processBlock(ArrayInput{inLeft, inRight, nullptr, nullptr}, outLeft, outRight, frames);
}

void Compressor::processBlock(const double* inLeft, const double* inRight, float* outLeft, float* outRight,
                              int frames) noexcept
{
    if (inLeft == nullptr || inRight == nullptr) return;
    processBlock(ArrayInput{inLeft, inRight, nullptr, nullptr}, outLeft, outRight, frames);
}

void Compressor::processBlock(const double* inLeft, const double* inRight, const double* keyLeft,
                              const double* keyRight, double* outLeft, double* outRight, int frames) noexcept
{
    if (inLeft == nullptr || inRight == nullptr) return;
    const bool keyOffered = keyLeft != nullptr && keyRight != nullptr;
    processBlock(ArrayInput{inLeft, inRight, keyLeft, keyRight}, outLeft, outRight, frames, keyOffered);
}

void Compressor::runSideChain(const double* sideInLeft, const double* sideInRight,
                              const detector_kernel::GainLaw* law, int frames) noexcept
{
    const BiquadCoeffs& hp = highpassCoeffs_;
    const BiquadCoeffs& lp = lowpassCoeffs_;
    const detector_kernel::SideChain side{{hp.gain, hp.a1, hp.a2, hp.b1, hp.b2},
                                          {lp.gain, lp.a1, lp.a2, lp.b1, lp.b2},
                                          highpassStateLeft_,
                                          highpassStateRight_,
                                          lowpassStateLeft_,
                                          lowpassStateRight_,
                                          drive_,
                                          sideLeft_,
                                          sideRight_};
    detector_kernel::State state;
    if (detector_.kernelState(state)) {
        state.sideChain = &side;
        state.gainLaw = law;
        if (detector_kernel::run(detector_.path(), state, sideInLeft, sideInRight, gains_, frames)) return;
    }
    // The reference: processSample's steps, frame by frame.
    Biquad highpassLeft(hp, highpassStateLeft_);
    Biquad highpassRight(hp, highpassStateRight_);
    Biquad lowpassLeft(lp, lowpassStateLeft_);
    Biquad lowpassRight(lp, lowpassStateRight_);
    for (int n = 0; n < frames; ++n) {
        sideLeft_[n] = lowpassLeft.run(highpassLeft.run(sideInLeft[n]));
        sideRight_[n] = lowpassRight.run(highpassRight.run(sideInRight[n]));
        const double total = detector_.tick(drive_ * sideLeft_[n], drive_ * sideRight_[n]);
        gains_[n] = law != nullptr ? law->gain(total) : total;
    }
    highpassLeft.save(highpassStateLeft_);
    highpassRight.save(highpassStateRight_);
    lowpassLeft.save(lowpassStateLeft_);
    lowpassRight.save(lowpassStateRight_);
}

template <typename Sample>
void Compressor::runBlock(const double* inLeft, const double* inRight, const double* sideInLeft,
                          const double* sideInRight, Sample* outLeft, Sample* outRight, int frames) noexcept
{
    ZR_ASSERT(frames <= maxBlockFrames);
    if (sidechainListen_) {
        // The detector still runs: its state must be where processSample would leave it.
        runSideChain(sideInLeft, sideInRight, nullptr, frames);
        for (int n = 0; n < frames; ++n) {
            outLeft[n] = static_cast<Sample>(sideLeft_[n]);
            outRight[n] = static_cast<Sample>(sideRight_[n]);
        }
        return;
    }
    const detector_kernel::GainLaw law = gainLaw();
    runSideChain(sideInLeft, sideInRight, &law, frames);
    for (int n = 0; n < frames; ++n) {
        // The block's input is the compressor's own copy, so no output can overwrite it.
        const double left = inLeft[n];
        const double right = inRight[n];
        outLeft[n] = static_cast<Sample>(left * gains_[n]);
        outRight[n] = static_cast<Sample>(right * gains_[n]);
    }
    trackSmallestGain(law, frames);
}

void Compressor::trackSmallestGain(const detector_kernel::GainLaw& law, int frames) noexcept
{
    // Four chains side by side, in a loop of its own: inside the output loop the minimum would keep that
    // loop from being vectorised.
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

double Compressor::takeGainReductionDb() noexcept
{
    const double factor = smallestLawFactor_;
    smallestLawFactor_ = 1.0;
    if (!(factor < 1.0)) return 0.0;
    // Beyond 200 dB (or a factor rounded to 0 or below) the meter reads its end anyway. fast_log2, not log10:
    // this runs on the audio thread.
    return factor > 1e-10 ? -amplitudeDbPerOctave * fast_log2(factor) : 200.0;
}

template void Compressor::runBlock(const double*, const double*, const double*, const double*, float*, float*,
                                   int) noexcept;
template void Compressor::runBlock(const double*, const double*, const double*, const double*, double*,
                                   double*, int) noexcept;
