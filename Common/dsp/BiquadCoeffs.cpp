#include "Common/dsp/BiquadCoeffs.h"

#include "Common/Assert.h"
#include "Common/dsp/misc.h"

#include <cfloat>
#include <cmath>

namespace
{
constexpr double pi = 3.14159265358979323846;

// 0.5^(octaves/2) in single precision: the band-edge to peak frequency ratio of a bandwidth in octaves.
float halfOctaveRatio(double octaves)
{
    return std::pow(0.5f, saturatingFloat(octaves) / 2.0f);
}

// Ratios are positive and at most 1; release builds keep invalid ones there.
float limitRatio(float ratio)
{
    if (!(ratio > 0.0f)) return FLT_MIN;
    return ratio <= 1.0f ? ratio : 1.0f;
}
} // namespace

void BiquadCoeffs::cookIdentity()
{
    gain = 1.0f;
    a1 = 0.0f;
    a2 = 0.0f;
    b1 = 0.0f;
    b2 = 0.0f;
}

void BiquadCoeffs::cookMute()
{
    gain = 0.0f;
    a1 = 0.0f;
    a2 = 0.0f;
    b1 = 0.0f;
    b2 = 0.0f;
}

void BiquadCoeffs::cookFlat(double flatGain)
{
    cookIdentity();
    if (std::isfinite(flatGain)) gain = static_cast<float>(flatGain);
}

bool BiquadCoeffs::isFinite() const
{
    return std::isfinite(gain) && std::isfinite(a1) && std::isfinite(a2) && std::isfinite(b1) &&
           std::isfinite(b2);
}

std::complex<double> BiquadCoeffs::Hz(std::complex<double> z) const
{
    const std::complex<double> numerator = z * z + static_cast<double>(b1) * z + static_cast<double>(b2);
    const std::complex<double> denominator = z * z - static_cast<double>(a1) * z - static_cast<double>(a2);
    // Dividing as n * conj(d) / |d|^2 after scaling d to unit size: a numerator equal to the denominator
    // (the flat design) then gives exactly 1, and large |z| cannot overflow |d|^2.
    const double scale = 1.0 / std::fmax(std::fabs(denominator.real()), std::fabs(denominator.imag()));
    const std::complex<double> n = numerator * scale;
    const std::complex<double> d = denominator * scale;
    const double norm = d.real() * d.real() + d.imag() * d.imag();
    const std::complex<double> quotient((n.real() * d.real() + n.imag() * d.imag()) / norm,
                                        (n.imag() * d.real() - n.real() * d.imag()) / norm);
    return static_cast<double>(gain) * quotient;
}

void BiquadCoeffs::store(double B0, double B1, double B2, double A0, double A1, double A2)
{
    if (B0 == 0.0) {
        // A numerator without its leading coefficient has no normalised form. For the low-pass at DC and
        // the high-pass at Nyquist the whole numerator vanishes, so silence is the exact answer; muting the
        // feedback too keeps old memories from ringing on through poles near the unit circle.
        cookMute();
        return;
    }
    gain = static_cast<float>(B0 / A0);
    a1 = static_cast<float>(-A1 / A0);
    a2 = static_cast<float>(-A2 / A0);
    b1 = static_cast<float>(B1 / B0);
    b2 = static_cast<float>(B2 / B0);
    if (!isFinite()) cookIdentity();
}

void BiquadCoeffs::cook(long type, double freq, double q)
{
    // A zero, negative or NaN q has no design; the filter then passes the signal unchanged.
    if (!(q > 0.0) || freq != freq) {
        cookIdentity();
        return;
    }
    // At DC the formulas put a double pole on the unit circle. The exact responses there are silence for
    // the low-pass and the band-pass and the input itself for every other shape.
    if (!(freq > 0.0)) {
        if (type == 0 || type == 2)
            cookMute();
        else
            cookIdentity();
        return;
    }
    if (freq > 0.49) freq = 0.49;
    const float w = static_cast<float>(2.0 * pi * freq);
    const double wDouble = w;
    cookFast(type, std::cos(wDouble), std::sin(wDouble), 1.0 / q);
}

void BiquadCoeffs::cookFast(long type, double cosw, double sinw, double invQ)
{
    const double alpha = sinw * invQ * 0.5;
    const double A0 = 1.0 + alpha;
    const double A1 = -2.0 * cosw;
    const double A2 = 1.0 - alpha;
    switch (type) {
    case lowpass:
        store((1.0 - cosw) / 2.0, 1.0 - cosw, (1.0 - cosw) / 2.0, A0, A1, A2);
        break;
    case highpass:
        store((1.0 + cosw) / 2.0, -(1.0 + cosw), (1.0 + cosw) / 2.0, A0, A1, A2);
        break;
    case bandpass:
        store(alpha, 0.0, -alpha, A0, A1, A2);
        break;
    case notch:
        store(1.0, -2.0 * cosw, 1.0, A0, A1, A2);
        break;
    case allpass:
        store(1.0 - alpha, -2.0 * cosw, 1.0 + alpha, A0, A1, A2);
        break;
    default:
        store(A0, A1, A2, A0, A1, A2);
        break;
    }
}

void BiquadCoeffs::cookShelf(double freq, double A, double sign)
{
    if (!(A > 0.0) || freq != freq) {
        cookIdentity();
        return;
    }
    // At DC (where the formulas put a double pole on the unit circle) the low shelf is empty and the high
    // shelf covers everything.
    if (!(freq > 0.0)) {
        cookFlat(sign > 0.0 ? 1.0 : A * A);
        return;
    }
    if (freq > 0.49f) freq = 0.49f;
    const double w = 2.0 * pi * freq;
    const double c = std::cos(w);
    const double s = std::sin(w);
    const double r = std::sqrt(A);
    const double k = std::sqrt(2.0) * r * s;

    const double B0 = A * ((A + 1.0) - (A - 1.0) * c * sign + k);
    const double B1 = 2.0 * A * sign * ((A - 1.0) - (A + 1.0) * c * sign);
    const double B2 = A * ((A + 1.0) - (A - 1.0) * c * sign - k);
    const double A0 = (A + 1.0) + (A - 1.0) * c * sign + k;
    const double A1 = -2.0 * sign * ((A - 1.0) + (A + 1.0) * c * sign);
    const double A2 = (A + 1.0) + (A - 1.0) * c * sign - k;

    // This design keeps its two normalisers in single precision as well.
    const double numeratorScale = static_cast<float>(B0);
    const double denominatorScale = static_cast<float>(1.0 / A0);
    gain = static_cast<float>(numeratorScale * denominatorScale);
    a1 = static_cast<float>(-A1 * denominatorScale);
    a2 = static_cast<float>(-A2 * denominatorScale);
    b1 = static_cast<float>(B1 / numeratorScale);
    b2 = static_cast<float>(B2 / numeratorScale);
    if (!isFinite()) cookIdentity();
}

void BiquadCoeffs::cookPeaking(double freq, double octaves, double gain, PeakingType type)
{
    // The designs need the reference, edge and peak gains to differ.
    if (std::fabs(gain - 1.0) < 0.001) gain = 0.999;
    const float ratio = halfOctaveRatio(octaves);
    const double fb = freq * ratio;
    switch (type) {
    case orfanidis:
        cookPeakingOrfanidis(1.0, gain, std::sqrt(gain), freq,
                             freq * (std::pow(2.0, octaves / 2.0) - std::pow(0.5, octaves / 2.0)));
        break;
    case orrelB:
        cookPeakingOrrelB(1.0, fb, std::sqrt(gain), freq, gain);
        break;
    default:
        cookPeakingOrrelA(1.0, fb, std::sqrt(gain), freq, gain);
        break;
    }
}

void BiquadCoeffs::cookBandpass(double freq, double octaves, PeakingType type)
{
    switch (type) {
    case orfanidis: {
        const double f0 = std::fmin(freq, 0.5);
        const double upperEdge = std::fmin(f0 * std::pow(2.0, octaves / 2.0), 0.5);
        const double lowerEdge = f0 * std::pow(0.5, octaves / 2.0);
        cookPeakingOrfanidis(0.0, 1.0, std::sqrt(0.5), f0, upperEdge - lowerEdge);
        break;
    }
    case orrelB:
        cookPeakingOrrelB(0.0, freq * std::pow(0.5, octaves / 2.0), std::sqrt(0.5), freq, 1.0);
        break;
    default:
        cookPeakingOrrelA(0.0, freq * std::pow(0.5, octaves / 2.0), std::sqrt(0.5), freq, 1.0);
        break;
    }
}

void BiquadCoeffs::cookPeakingOrfanidis(double G0, double G, double GB, double f0, double df)
{
    // Without a peak the design divides by zero; the exact answer is the flat reference gain.
    if (G == G0) {
        cookFlat(G0);
        return;
    }
    const double pi2 = pi * pi;
    const double w0 = 2.0 * pi * f0;
    const double dw = 2.0 * pi * df;
    const double F = std::fabs(G * G - GB * GB);
    const double G00 = std::fabs(G * G - G0 * G0);
    const double F00 = std::fabs(GB * GB - G0 * G0);

    const double warp = (w0 * w0 - pi2) * (w0 * w0 - pi2);
    const double G1 =
        std::sqrt((G0 * G0 * warp * F + G * G * F00 * pi2 * dw * dw) / (warp * F + F00 * pi2 * dw * dw));

    const double G01 = std::fabs(G * G - G0 * G1);
    const double G11 = std::fabs(G * G - G1 * G1);
    const double F01 = std::fabs(GB * GB - G0 * G1);
    const double F11 = std::fabs(GB * GB - G1 * G1);

    const double tanHalf = std::tan(w0 / 2.0);
    const double W2 = std::sqrt(G11 / G00) * (tanHalf * tanHalf);
    const double DW = (1.0 + std::sqrt(F00 / F11) * W2) * std::tan(dw / 2.0);

    const double C = F11 * DW * DW - 2.0 * W2 * (F01 - std::sqrt(F00 * F11));
    const double D = 2.0 * W2 * (G01 - std::sqrt(G00 * G11));
    const double A = std::sqrt((C + D) / F);
    const double B = std::sqrt((G * G * C + GB * GB * D) / F);

    const double N = 1.0 + W2 + A;
    const double numeratorLead = G1 + G0 * W2 + B;
    gain = static_cast<float>(numeratorLead / N);
    a1 = static_cast<float>(2.0 * (1.0 - W2) / N);
    a2 = static_cast<float>((A - 1.0 - W2) / N);
    b1 = static_cast<float>(-2.0 * (G1 - G0 * W2) / numeratorLead);
    b2 = static_cast<float>((G1 + G0 * W2 - B) / numeratorLead);
    if (!isFinite()) cookFlat(G0);
}

void BiquadCoeffs::cookPeakingOrrelA(double G0, double Fb, double Gb, double Fp, double Gp)
{
    ZR_ASSERT(Fp>0);
    ZR_ASSERT(Fb>0);
    ZR_ASSERT(Fb<Fp);
    ZR_ASSERT(G0>=0);
    ZR_ASSERT(Gb>=0);
    ZR_ASSERT(Gp>=0);
    ZR_ASSERT((G0<Gb && Gb<Gp) || (G0>Gb && Gb>Gp));
    if (!(Fp > 0 && Fb > 0 && Fb < Fp && G0 >= 0 && Gb >= 0 && Gp >= 0) ||
        !((G0 < Gb && Gb < Gp) || (G0 > Gb && Gb > Gp))) {
        cookFlat(G0);
        return;
    }
    if (Fp > 0.49f) Fp = 0.49f;
    if (Fb > 0.48f) Fb = 0.48f;
    const double pi2 = pi * pi;
    const double wp = 2.0 * pi * Fp;
    const double wb = 2.0 * pi * Fb;
    const double P = wp * wp;
    const double Q = wb * wb;
    const double g0 = G0 * G0;
    const double gb = Gb * Gb;
    const double gp = Gp * Gp;

    const double d2 = (P * P + pi2 * pi2) * Q * (gb - gp);
    const double d6 = 2.0 * pi2 * Q * P * (gp - g0);
    const double d7 = (Q * Q + P * P) * pi2 * (g0 - gb);
    // Squared gain at Nyquist.
    const double H = (gb * d6 + g0 * d2 + gp * d7) / (d2 + d6 + d7);
    const double G1 = std::sqrt(H);

    const double tanHalf = std::tan(wp / 2.0);
    const double t = tanHalf * tanHalf;
    // The tangent of wp^2/(2 pi), not of wp/2: this design's own frequency warping.
    const double u = std::tan(P / (2.0 * pi));
    const double k = 1.0 / ((gp - g0) * (u * u));
    const double m = std::fabs(u * u * k) * std::sqrt((gp - H) * (gp - g0));
    const double W = t * m;
    const double n = (2.0 * (m - 1.0) - t * (g0 - H) * k) * t;
    const double A = std::sqrt(n);
    const double B = std::sqrt((2.0 * G1 * (G0 - G1) - (g0 - H) * W * (gp - g0) * k) * W + H * n);

    const double N1 = G1 + W * G0;
    const double N2 = W * G0 - G1;
    const double S = N1 + B;
    const double D = 1.0 / (W + 1.0 + A);
    gain = static_cast<float>(S * D);
    a1 = static_cast<float>(-2.0 * (W - 1.0) * D);
    a2 = static_cast<float>((A - (W + 1.0)) * D);
    b1 = static_cast<float>(2.0 * N2 / S);
    b2 = static_cast<float>((N1 - B) / S);
    if (!isFinite()) cookFlat(G0);
}

void BiquadCoeffs::cookPeakingOrrelB(double g0, double ef, double eg, double pf, double pg)
{
    ZR_ASSERT(pf>0);
    ZR_ASSERT(ef>0);
    ZR_ASSERT(ef<pf);
    ZR_ASSERT(g0>=0);
    ZR_ASSERT(eg>0);
    ZR_ASSERT(pg>=0);
    ZR_ASSERT((g0<eg && eg<pg) || (g0>eg && eg>pg));
    if (!(pf > 0 && ef > 0 && ef < pf && g0 >= 0 && eg > 0 && pg >= 0) ||
        !((g0 < eg && eg < pg) || (g0 > eg && eg > pg))) {
        cookFlat(g0);
        return;
    }
    double e = 2.0 * ef;
    double p = 2.0 * pf;
    if (p > 0.99f) p = 0.99f;
    if (e > 0.98f) e = 0.98f;
    const double p2 = p * p;
    const double p4 = p2 * p2;
    const double e2 = e * e;
    const double G = g0 * g0;
    const double Gp = pg * pg;
    const double Gb = eg * eg;

    const double X = (Gp - Gb) * e2;
    const double d3 = (p4 + 1.0) * X;
    const double d4 = X * (4.0 * p4 + 0.25);
    const double d7 = G - Gp;
    const double d5 = (e2 * e2 + p4) * (Gb - G);
    const double d1 = 2.0 * p2 * d7 * e2;
    const double d6 = d5 + d1;
    const double s = Gp * d5 + Gb * d1;
    const double H = (G * d3 + s) / (d3 + d6);
    const double G1 = std::sqrt(H);
    const double M = (G * d4 + s) / (d4 + d6);

    const double tanHalf = std::tan(p * pi / 2.0);
    const double T = tanHalf * tanHalf;
    const double V = std::sqrt(d7 / (H - Gp));
    const double r = 1.0 / ((M - Gp) * (H - Gp));
    const double U = 2.0 * T * (H - Gp);
    const double R = (G - M) * (H - Gp) * (T * T) + (H - M) * d7;
    const double Y = (Gp - G) * U;
    const double Z = (M - Gp) * U * V;
    const double A = std::sqrt((R + Y + Z) * r);
    const double B = std::sqrt((Gp * R + M * Y + g0 * G1 * Z) * r);

    const double N1 = G1 * V + g0 * T;
    const double N2 = g0 * T - G1 * V;
    const double S = N1 + B;
    const double D = 1.0 / (T + V + A);
    gain = static_cast<float>(S * D);
    a1 = static_cast<float>(-2.0 * (T - V) * D);
    a2 = static_cast<float>((A - (T + V)) * D);
    b1 = static_cast<float>(2.0 * N2 / S);
    b2 = static_cast<float>((N1 - B) / S);
    if (!isFinite()) cookFlat(g0);
}

double BiquadCoeffs::octavesToEdgePeakRatio(double octaves)
{
    ZR_ASSERT(octaves>=0);
    const float ratio = halfOctaveRatio(octaves);
    ZR_ASSERT(ratio>0.0f && ratio<=1.0f);
    return limitRatio(ratio);
}

double BiquadCoeffs::edgePeakRatioToOctaves(double ratio)
{
    ZR_ASSERT(ratio>0.0f);
    if (!(ratio > 0.0f)) return 0.0;
    const float invLn2 = 1.0f / std::log(2.0f);
    const float octaves = (invLn2 + invLn2) * std::fabs(std::log(saturatingFloat(ratio)));
    ZR_ASSERT(octaves>=0);
    return octaves;
}

double BiquadCoeffs::qToEdgePeakRatio(double Q)
{
    ZR_ASSERT(Q>=0.0f);
    const float x = 0.5f / saturatingFloat(Q);
    // sqrt(x^2 + 1) - x, written without the cancellation that would turn a small Q (large x) into 0.
    const float ratio = 1.0f / (x + std::sqrt(x * x + 1.0f));
    ZR_ASSERT(ratio>0.0f && ratio<=1.0f);
    return limitRatio(ratio);
}

double BiquadCoeffs::edgePeakRatioToQ(double ratio)
{
    ZR_ASSERT(ratio>0.0f);
    if (!(ratio > 0.0f)) return FLT_MIN;
    const float r = saturatingFloat(ratio);
    const float Q = 1.0f / std::fabs(r - 1.0f / r);
    ZR_ASSERT(Q>0);
    return Q > 0 ? Q : FLT_MIN;
}

double BiquadCoeffs::qToOctaves(double Q)
{
    return edgePeakRatioToOctaves(qToEdgePeakRatio(Q));
}

double BiquadCoeffs::octavesToQ(double octaves)
{
    return edgePeakRatioToQ(octavesToEdgePeakRatio(octaves));
}
