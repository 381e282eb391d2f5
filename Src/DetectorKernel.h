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
    double* scratch;              // chunkFrames * maxRowBands + chunkFrames
};

// frames stereo side-chain samples in, the total smoothed power after each of them out.
void runSse2(const State& state, const double* left, const double* right, double* totals, int frames);
void runAvx2(const State& state, const double* left, const double* right, double* totals, int frames);
void runAvx512(const State& state, const double* left, const double* right, double* totals, int frames);
} // namespace detector_kernel
