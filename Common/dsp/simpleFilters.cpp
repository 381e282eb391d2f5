#include "Common/dsp/simpleFilters.h"

#include "Common/Assert.h"

#include <cfloat>
#include <cmath>

namespace
{
constexpr double pi = 3.14159265358979323846;

// The one-pole's gain at Nyquist when an analog one-pole with cut-off f (normalised, f >= 0.5) is sampled:
// 1/sqrt(1 + (0.5/f)^2). The sum is rounded to single precision before the square root.
double analogNyquistGain(double f)
{
    const float sum = static_cast<float>(f * f + 0.25);
    return f / std::sqrt(static_cast<double>(sum));
}

// Nyquist gains are at most 1, but rounding the sum above can land below f*f for large f; clamping keeps
// such a cut-off (far above Nyquist) a pass-through instead of a failed check. Non-finite ones pass too.
double limitNyquistGain(double nyquistGain)
{
    return nyquistGain <= 1.0 ? nyquistGain : 1.0;
}
} // namespace

double calcSimpleLowpassCoeff_cf(double f)
{
    ZR_ASSERT(f>=0.0);
    if (!(f > 0.0)) return 0.0;
    if (f < 0.5) {
        const double b = 2.0 - std::cos(2.0 * pi * f);
        return 1.0 - (b - std::sqrt(b * b - 1.0));
    }
    return calcSimpleLowpassCoeff_ng(limitNyquistGain(analogNyquistGain(f)));
}

double calcSimpleLowpassCoeff_sr_cf(double sampleRate, double cutoff)
{
    ZR_ASSERT(sampleRate>0.0f);
    if (!(sampleRate > 0.0)) return 1.0;
    return calcSimpleLowpassCoeff_cf(cutoff / sampleRate);
}

double calcSimpleLowpassCoeff_sr_cf_cg(double sampleRate, double cutoff, double gain)
{
    ZR_ASSERT(cutoff>=0.0);
    ZR_ASSERT(gain>0.0);
    ZR_ASSERT(gain<=1.0);
    ZR_ASSERT(sampleRate>0.0);
    if (!(sampleRate > 0.0) || !(gain > 0.0)) return 1.0;
    if (gain >= 1.0) return 1.0;
    const double f = cutoff * (1.0 / sampleRate);
    if (!(f > 0.0)) return 0.0;
    const double g2 = gain * gain;
    if (f < 0.5) {
        const double b = (g2 * std::cos(2.0 * pi * f) - 1.0) / (g2 - 1.0);
        return 1.0 - (b - std::sqrt(b * b - 1.0));
    }
    // At or above Nyquist: the analog one-pole with gain g at f has its cut-off at f*g/sqrt(1 - g^2); its
    // gain at Nyquist continues the digital design (both give g at f = 0.5).
    // Its Nyquist gain is 1/sqrt(1 + (0.5/fc)^2), written so that neither a huge nor a tiny fc overflows;
    // a gain too small for single precision is kept at the smallest normal float.
    const double analogCutoff = f * gain / std::sqrt(1.0 - g2);
    const double exact = analogCutoff >= 1.0 ? 1.0 / std::sqrt(1.0 + 0.25 / (analogCutoff * analogCutoff))
                                             : analogCutoff / std::sqrt(analogCutoff * analogCutoff + 0.25);
    double nyquistGain = static_cast<float>(exact);
    if (nyquistGain < FLT_MIN) nyquistGain = FLT_MIN;
    ZR_ASSERT(nyquistGain>0.0 && nyquistGain <= 1.0);
    if (!(nyquistGain > 0.0 && nyquistGain <= 1.0)) nyquistGain = 1.0;
    return 2.0 * nyquistGain / (1.0 + nyquistGain);
}

double calcSimpleLowpassCoeff_ng(double nyquistGain)
{
    ZR_ASSERT(nyquistGain>0.0 && nyquistGain <= 1.0);
    if (!(nyquistGain > 0.0)) return 0.0;
    if (nyquistGain > 1.0) return 1.0;
    return 2.0 * nyquistGain / (1.0 + nyquistGain);
}

double calcSimpleLowpassCoeff_sr_tc(double sampleRate, double timeConstant)
{
    ZR_ASSERT(sampleRate>0.0);
    ZR_ASSERT(timeConstant>=0.0);
    if (!(sampleRate > 0.0) || !(timeConstant > 0.0)) return 1.0;
    return 1.0 - std::exp(-1.0 / (timeConstant * sampleRate));
}

double calcSimpleLowpassCoeff_tv(double variance)
{
    ZR_ASSERT(variance>=0.0);
    if (!(variance > 0.0)) return 1.0;
    return 2.0 / (1.0 + std::sqrt(1.0 + 4.0 * variance));
}

double calcSimpleAllpassCoeff_sr_cf(double sampleRate, double centerFreq)
{
    ZR_ASSERT(centerFreq>0.0);
    ZR_ASSERT(sampleRate>0.0);
    double f = centerFreq / sampleRate;
    if (!(f > 0.0)) f = 0.0;
    if (f > 0.49) f = 0.49;
    const float t = std::tan(static_cast<float>(pi * f));
    return (t - 1.0) / (t + 1.0);
}

double calcSimpleAllpassCoeff_sr_wf(double sampleRate, double freq)
{
    return calcSimpleAllpassCoeff_sr_cf(sampleRate, freq);
}

double calcSimpleAllpassCoeff_fd(double fractionalDelay)
{
    ZR_ASSERT(fractionalDelay>0.0);
    if (!(fractionalDelay > 0.0)) return 1.0;
    return (1.0 - fractionalDelay) / (1.0 + fractionalDelay);
}
