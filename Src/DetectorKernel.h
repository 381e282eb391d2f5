#pragma once
// The detector's block kernels, one per instruction set. Each kernel runs the same arithmetic as
// MultibandPowerDetector::tick, band by band in the same order and precision, so every kernel gives the same
// bits as the scalar code. The kernels for the wider instruction sets are compiled with their own flags;
// this header therefore holds plain data and declarations, and its one inline function is always inlined:
// no copy of it compiled for a CPU the host may not have can reach the linker.

// The code paths of the detector's block processing. All give the same bits; they differ in speed only.
enum class DetectorPath
{
    scalar, // tick, sample by sample: the reference
    sse2,   // 2 lanes
    avx2,   // 4 lanes
    avx512  // 8 lanes
};

namespace detector_kernel
{
constexpr int numBands = 33;
constexpr int numCrossovers = 32;

// The engine's gain law, which the kernel applies to each total when the engine asks for gains:
// gain = wet * power(1 + total * thresholdFactor, gainExponent) + dry, with power = fast_pow, whose tables
// the vector kernels evaluate themselves with the same operations.
struct GainLaw
{
    double thresholdFactor;
    double gainExponent;
    double wet;
    double dry;
    double (*power)(double, double);
    const double (*logTable)[4]; // fast_pow's tables, 16 rows each
    const double (*expTable)[4];

    // The law on one total: the engine's reference code and the kernels' single frames all use this.
    inline __attribute__((always_inline)) double gain(double total) const
    {
        return wet * power(1.0 + total * thresholdFactor, gainExponent) + dry;
    }
};

// The engine's side-chain filters in front of the detector, run by the kernel in its frame loop (their
// recursion waits on each result, so it costs little beside the detector's independent work): each channel
// through the high-pass and then the low-pass biquad, the result stored in filtered* and, times drive, fed to
// the detector. Coefficients gain, a1, a2, b1, b2; memories [0] the older, [1] the newer.
struct SideChain
{
    double highpass[5];
    double lowpass[5];
    double* highpassLeft;
    double* highpassRight;
    double* lowpassLeft;
    double* lowpassRight;
    double drive;
    double* filteredLeft;
    double* filteredRight;
};

// Everything one kernel call reads and updates: the detector's own arrays and the optional stages.
struct State
{
    const double* splitterCoeffs; // numCrossovers
    double* splitterLeft;         // numCrossovers
    double* splitterRight;        // numCrossovers
    double* power;                // numBands
    const double* attackCoeffs;   // numBands
    const double* releaseCoeffs;  // numBands
    const double* hilbertCoeffs;  // numBands
    double* hilbertLeft;          // numBands
    double* hilbertRight;         // numBands
    bool hilbert;
    const GainLaw* gainLaw;     // null: totals out; otherwise gains
    const SideChain* sideChain; // null: the inputs go to the detector as they are
};

// frames stereo side-chain samples in, the total smoothed power after each of them out (or the gain from it,
// see GainLaw), on the kernel of path. false, having done nothing, for the scalar path or one this build
// lacks: the caller then runs the reference code. Allocates nothing.
bool run(DetectorPath path, const State& state, const double* left, const double* right, double* totals,
         int frames) noexcept;

// The kernels themselves; run calls them only on a CPU that has their instruction set.
void runSse2(const State& state, const double* left, const double* right, double* totals,
             int frames) noexcept;
void runAvx2(const State& state, const double* left, const double* right, double* totals,
             int frames) noexcept;
void runAvx512(const State& state, const double* left, const double* right, double* totals,
               int frames) noexcept;
} // namespace detector_kernel
