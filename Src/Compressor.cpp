#include "Src/Compressor.h"

#include "Common/Assert.h"
#include "Common/dsp/misc.h"
#include "Common/dsp/simpleFilters.h"

#include <cmath>

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

MultibandPowerDetector::MultibandPowerDetector()
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
