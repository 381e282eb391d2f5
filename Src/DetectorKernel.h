#pragma once
// The detector's block kernels, one per instruction set. Each kernel runs the same arithmetic as
// MultibandPowerDetector::tick, band by band in the same order and precision, so every kernel gives the same
// bits as the scalar code. The kernels for the wider instruction sets are compiled with their own flags;
// this header therefore declares plain data and functions only (no inline code that one such file could
// hand to the linker compiled for a CPU the host may not have).

namespace detector_kernel
{
constexpr int numBands = 33;
constexpr int numCrossovers = 32;
// Frames whose band powers are held before they are summed, and the widest padded band row (33 bands
// rounded up to whole 8-lane vectors, the last vector holding band 32 alone).
constexpr int chunkFrames = 32;
constexpr int maxRowBands = 40;
// A chunk of band-power rows and of band 32 alone.
constexpr int scratchDoubles = chunkFrames * maxRowBands + chunkFrames;

// The engine's gain law, applied by the kernel to each total when the engine asks for gains instead:
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

// Everything one kernel call reads and updates: the detector's own arrays, and scratch room.
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
    double* scratch;            // scratchDoubles
    const GainLaw* gainLaw;     // null: totals out; otherwise gains
    const SideChain* sideChain; // null: the inputs go to the detector as they are
};

// frames stereo side-chain samples in, the total smoothed power after each of them out (or the gain from it,
// see GainLaw).
void runSse2(const State& state, const double* left, const double* right, double* totals, int frames);
void runAvx2(const State& state, const double* left, const double* right, double* totals, int frames);
void runAvx512(const State& state, const double* left, const double* right, double* totals, int frames);
} // namespace detector_kernel
