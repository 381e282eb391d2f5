#pragma once
// Coefficients of the two first-order filters of the DSP library, from musical terms.
//
// One-pole low-pass with coefficient c:  y[n] = y[n-1] + c*(x[n] - y[n-1])  (c = 1 passes, c = 0 holds).
// First-order allpass with coefficient a and memory s:  y = a*x + s, then s = x - a*y;
// transfer function (a + z^-1)/(1 + a*z^-1), phase -90 degrees at its design frequency.
//
// Suffixes name the arguments: _sr sample rate (Hz), _cf cut-off or centre frequency (Hz, or normalised to
// the sample rate where there is no _sr), _cg gain at the cut-off, _ng gain at Nyquist, _tc time constant
// (s), _tv time variance (samples^2), _fd fractional delay (samples), _wf a frequency (Hz). Arguments outside
// the asserted ranges give a harmless coefficient in release builds. Meant for parameter changes: these call
// the library's transcendental functions.

// Low-pass whose gain at f (cut-off / sample rate) is sqrt(0.5), i.e. -3 dB.
double calcSimpleLowpassCoeff_cf(double f);
double calcSimpleLowpassCoeff_sr_cf(double sampleRate, double cutoff);
// Low-pass whose gain at the cut-off is the given linear gain (0 < gain <= 1).
double calcSimpleLowpassCoeff_sr_cf_cg(double sampleRate, double cutoff, double gain);
// Low-pass whose gain at Nyquist, c/(2 - c), is nyquistGain.
double calcSimpleLowpassCoeff_ng(double nyquistGain);
// Low-pass with the given time constant: 1 - exp(-1/(timeConstant*sampleRate)); exactly 1 for 0 s.
double calcSimpleLowpassCoeff_sr_tc(double sampleRate, double timeConstant);
// Low-pass whose impulse response has the given variance over time: (1 - c)/c^2 = variance.
double calcSimpleLowpassCoeff_tv(double variance);
// Allpass with its -90 degree point at centreFreq (limited to 0.49 times the sample rate).
double calcSimpleAllpassCoeff_sr_cf(double sampleRate, double centerFreq);
double calcSimpleAllpassCoeff_sr_wf(double sampleRate, double freq);
// Allpass with a low-frequency group delay of fractionalDelay samples.
double calcSimpleAllpassCoeff_fd(double fractionalDelay);
