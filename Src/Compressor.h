#pragma once
// The compressor engine: the settings the parameters feed in, the two side-chain filters, and a stereo-linked
// multiband level detector that splits the side-chain into 33 log-spaced bands between 20 Hz and 20 kHz and
// smooths each band's power with its own attack and release speed (faster for higher bands).
//
// Plain classes held by value. Every call arrives under the host adaptor's lock, so setters and the audio
// path never overlap; the audio path (processSample, tick) allocates nothing and calls no transcendental
// function. Fields are public: the plug-in and the tests read them directly.

#include "Common/dsp/BiquadCoeffs.h"
#include "Src/DetectorKernel.h"

// Crossover allpass coefficients shared by the splitters of both channels.
class BandSplitterCoeffs
{
public:
    BandSplitterCoeffs() = default;
    ~BandSplitterCoeffs();
    BandSplitterCoeffs(const BandSplitterCoeffs&) = delete;
    BandSplitterCoeffs& operator=(const BandSplitterCoeffs&) = delete;

    // Crossover i (0 .. numBands-2) at lowFreq * (highFreq/lowFreq)^((i+1)/numBands) Hz. The array is
    // replaced only when the band count changes; the values are recomputed only when an argument changes,
    // since a host may suspend (and so reset) from its audio thread.
    void reset(int numBands, double sampleRate, double lowFreq, double highFreq);

    int numBands_ = 0;
    double* coeffs_ = nullptr; // numBands_ - 1 entries

private:
    double sampleRate_ = 0.0;
    double lowFreq_ = 0.0;
    double highFreq_ = 0.0;
};

// One channel's crossover allpass memories.
class BandSplitter
{
public:
    BandSplitter() = default;
    ~BandSplitter();
    BandSplitter(const BandSplitter&) = delete;
    BandSplitter& operator=(const BandSplitter&) = delete;

    // numBands bands, all memories 0.0. With an unchanged band count the memories are cleared in place, so
    // resetting allocates nothing (and cannot throw) after the first time.
    void reset(int numBands);

    // Splits x into numBands_ band samples written to bands: all crossover allpasses see the same x, and
    // neighbouring allpass outputs are subtracted, so the bands of a channel add up to 2x. Writes silence
    // if the coefficients were reset for a different band count.
    void split(const BandSplitterCoeffs& coeffs, double x, double* bands);

    int numBands_ = 0;
    double* state_ = nullptr; // numBands_ - 1 entries
};

// The code paths of MultibandPowerDetector::tickBlock. All give the same bits; they differ in speed only.
enum class DetectorPath
{
    scalar, // tick, sample by sample: the reference
    sse2,   // 2 lanes
    avx2,   // 4 lanes
    avx512  // 8 lanes
};

class MultibandPowerDetector
{
public:
    static constexpr int numBands = 33;
    static constexpr double lowestBandEdge = 20.0;     // Hz
    static constexpr double highestBandEdge = 20000.0; // Hz, passed to the splitter

    // Lower edge of band k (and crossover k - 1): 20 * 1000^(k/33) Hz.
    static double bandLowEdge(int band);
    // Geometric centre of band k: 20 * 1000^((k + 0.5)/33) Hz.
    static double bandCentre(int band);

    MultibandPowerDetector();

    // Reached through the Compressor's setters.
    void attackTime(double at);
    void releaseTime(double rt);
    void sampleRate(double sampleRate);
    void hilbert(bool on);

    void recalcAttackCoeffs();
    void recalcReleaseCoeffs();
    void recalcHilbertCoeffs();

    // Recomputes the crossovers for the current sample rate, clears both splitters' memories, the band
    // powers and the quadrature memories. The attack, release and quadrature coefficients stay.
    void reset();

    // One stereo sample pair of the side-chain in, the total smoothed power of all bands out. The plain
    // reference code.
    double tick(double left, double right);

    // frames sample pairs at once: totals[n] = tick(left[n], right[n]), bit for bit, on the selected path.
    // Allocates nothing.
    void tickBlock(const double* left, const double* right, double* totals, int frames);
    // The same for the engine's block processing, with two optional stages around the detector that the
    // vector paths run inside their own loops: the side-chain filters in front (left and right are then the
    // unfiltered input), and the gain law on each total on the way out (out then holds gains).
    void engineBlock(const double* left, const double* right, const detector_kernel::SideChain* sideChain,
                     const detector_kernel::GainLaw* law, double* out, int frames);

    // Whether this CPU (and its operating system) can run a path; the widest such path.
    static bool pathAvailable(DetectorPath path);
    static DetectorPath widestPath();
    // Selects a path for tickBlock; an unavailable one is refused (false) and the current one stays.
    bool selectPath(DetectorPath path);
    DetectorPath path() const { return path_; }

    BandSplitterCoeffs splitterCoeffs_;
    BandSplitter splitterLeft_;
    BandSplitter splitterRight_;
    double power_[numBands] = {};
    double attackCoeffs_[numBands] = {};
    double releaseCoeffs_[numBands] = {};
    double hilbertCoeffs_[numBands] = {};
    double hilbertStateLeft_[numBands] = {};
    double hilbertStateRight_[numBands] = {};
    double attackTime_ = 0.05;  // s, of the lowest band
    double releaseTime_ = 0.05; // s, of the lowest band
    double sampleRate_ = 44100.0;
    bool hilbert_ = false;

private:
    // Chosen once at construction: the widest path the CPU has.
    DetectorPath path_ = DetectorPath::scalar;
    // Band powers of a chunk of frames, for the in-order sums of the vector paths.
    alignas(64) double kernelScratch_[detector_kernel::scratchDoubles] = {};

    void recalcSmoothingCoeffs(double lowestBandTime, double* coeffs) const;
};

class Compressor
{
public:
    Compressor();

    // Setters, called by the parameter listeners.
    void drive(double gain);
    void sidechainHighpassCutoff(double cutoff);
    void sidechainLowpassCutoff(double cutoff);
    void sidechainListen(bool on);
    void ratio(double ratio);
    void threshold(double t);
    void outputGain(double gain);
    void mix(double wet);
    void attackTime(double attackTime);
    void releaseTime(double releaseTime);
    void hilbert(bool on);
    void sampleRate(double sampleRate);

    // Clears the processing state, as on suspend: recomputes the crossovers for the current sample rate,
    // clears the detector's splitter memories, band powers and quadrature memories and the eight side-chain
    // filter memories. Coefficients and settings stay. Allocates nothing.
    void reset();

    // One sample pair of the signal path (the caller adds its noise before): side-chain high-pass and
    // low-pass, the detector on the driven side-chain, the gain law, mix and output gain. Expects finite
    // input. Outputs are in double; the caller narrows them.
    void processSample(double inLeft, double inRight, double& outLeft, double& outRight);

    // frames sample pairs at once, the same as processSample on each in turn, bit for bit; the detector runs
    // on its selected path. Outputs may be the input arrays. Allocates nothing: long blocks go through in
    // pieces of blockFrames.
    void processBlock(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                      int frames);
    // The same with the outputs narrowed to single precision on the way out, as the plug-in stores them.
    void processBlock(const double* inLeft, const double* inRight, float* outLeft, float* outRight,
                      int frames);
    static constexpr int blockFrames = 256;

    // The largest reduction the gain law applied since the last call, in dB (0 when it reduced nothing,
    // with the side-chain listened to, or when mix or output gain mute the law's effect); then starts anew.
    double takeGainReductionDb();

    double drive_ = 1.0;
    double sidechainHighpassCutoff_ = 20.0;   // Hz
    double sidechainLowpassCutoff_ = 40000.0; // Hz
    bool sidechainListen_ = false;
    double gainExponent_ = -0.5;    // -0.5 * (1 - 1/ratio)
    double thresholdFactor_ = 16.0; // 8 / threshold^2
    double outputGain_ = 1.0;
    double mix_ = 1.0;
    double sampleRate_ = 44100.0;
    BiquadCoeffs highpassCoeffs_;
    BiquadCoeffs lowpassCoeffs_;
    // Direct-form-II memories: [0] the older, [1] the newer delayed value.
    double highpassStateLeft_[2] = {0.0, 0.0};
    double highpassStateRight_[2] = {0.0, 0.0};
    double lowpassStateLeft_[2] = {0.0, 0.0};
    double lowpassStateRight_[2] = {0.0, 0.0};
    MultibandPowerDetector detector_;
    // The smallest factor of the gain law (its fast_pow term) met since takeGainReductionDb.
    double smallestLawFactor_ = 1.0;

private:
    void cookSidechainFilters();
    template <typename Sample>
    void processBlockIn(const double* inLeft, const double* inRight, Sample* outLeft, Sample* outRight,
                        int frames);
    template <typename Sample>
    void processPiece(const double* inLeft, const double* inRight, Sample* outLeft, Sample* outRight,
                      int frames);

    // Scratch of processBlock: the filtered side-chain and the gains.
    alignas(64) double sideLeft_[blockFrames] = {};
    alignas(64) double sideRight_[blockFrames] = {};
    alignas(64) double gains_[blockFrames] = {};
};
