#pragma once
// Coefficients of one second-order IIR section and the designs that compute them.
//
// H(z) = gain * (z^2 + b1*z + b2) / (z^2 - a1*z - a2), that is
//   y[n] = gain*(x[n] + b1*x[n-1] + b2*x[n-2]) + a1*y[n-1] + a2*y[n-2].
// The feedback coefficients are stored negated against the usual 1 + A1/z + A2/z^2 and the numerator is
// normalised by its own leading coefficient. Designs compute in double and round each coefficient to single
// precision when they store it. Frequencies are normalised (cycles per sample, 0.5 is Nyquist); gains are
// linear. Design arguments that make a formula divide by zero or leave its domain store a harmless filter
// (the identity or a flat gain) instead of NaN.

#include <complex>

class BiquadCoeffs
{
public:
    // Peaking design used by cookPeaking and cookBandpass; any value other than 1 and 2 selects orrelA.
    enum PeakingType : int
    {
        orrelA = 0,
        orrelB = 1,
        orfanidis = 2
    };

    // The shapes of cook and cookFast; any other number gives a flat response.
    enum ShapeType : long
    {
        lowpass = 0,
        highpass = 1,
        bandpass = 2, // 0 dB peak
        notch = 3,
        allpass = 4,
        flat = 5
    };

    float gain = 1.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;

    void cookIdentity();
    void cookMute();

    // Response at the complex point z, in double precision.
    std::complex<double> Hz(std::complex<double> z) const;

    // The audio-equaliser cookbook shapes (type a ShapeType). freq is limited to 0.49.
    void cook(long type, double freq, double q);
    // The same from precomputed cos(w), sin(w) and 1/q.
    void cookFast(long type, double cosw, double sinw, double invQ);
    // Cookbook shelf with slope 1; A is the square root of the linear shelf gain, sign +1 low shelf,
    // -1 high shelf.
    void cookShelf(double freq, double A, double sign);
    // Peak gain at freq, sqrt(gain) at the band edges octaves apart, 1 far away.
    void cookPeaking(double freq, double octaves, double gain, PeakingType type);
    // Gain 1 at freq, 0 at DC, sqrt(0.5) at the band edges octaves apart.
    void cookBandpass(double freq, double octaves, PeakingType type);

    // Orfanidis (1997), digital parametric equaliser with prescribed Nyquist-frequency gain: reference gain
    // G0, peak gain G at f0, bandwidth gain GB over the bandwidth df.
    void cookPeakingOrfanidis(double G0, double G, double GB, double f0, double df);
    // DC gain G0, band-edge gain Gb at Fb, peak gain Gp at Fp.
    void cookPeakingOrrelA(double G0, double Fb, double Gb, double Fp, double Gp);
    // The same task with frequencies measured against Nyquist.
    void cookPeakingOrrelB(double g0, double ef, double eg, double pf, double pg);

    // The edge-peak ratio is the lower band-edge frequency over the peak frequency: one octave of bandwidth
    // is a ratio of sqrt(0.5) and a Q of about 1.414. These compute in single precision.
    static double qToOctaves(double Q);
    static double octavesToQ(double octaves);
    static double edgePeakRatioToOctaves(double ratio);
    static double octavesToEdgePeakRatio(double octaves);
    static double qToEdgePeakRatio(double Q);
    static double edgePeakRatioToQ(double ratio);

private:
    // Stores the normalised coefficients of numerator B0..B2 over denominator A0..A2.
    void store(double B0, double B1, double B2, double A0, double A1, double A2);
    // A flat response of the given gain.
    void cookFlat(double flatGain);
    bool isFinite() const;
};
