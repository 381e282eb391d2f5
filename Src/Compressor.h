#pragma once
// The compressor engine: the settings the parameters feed in, the two side-chain filters, and a stereo-linked
// multiband level detector that splits the side-chain into 33 log-spaced bands between 20 Hz and 20 kHz and
// smooths each band's power with its own attack and release speed (faster for higher bands).
//
// Plain classes held by value, with one caller at a time (see MusicPlugin): setters and the audio path
// never overlap. Threads: the setters run on the thread that sets a parameter (for LV2 and JACK the audio
// thread), so after construction they allocate nothing and lock nothing; the audio path (reset,
// processSample, processBlock, tick, tickBlock) is noexcept and besides calls no transcendental function.
// Fields are public: the plug-in and the tests read them directly.

#include "Common/dsp/BiquadCoeffs.h"
#include "Src/DetectorKernel.h"

#include <algorithm>

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
    void split(const BandSplitterCoeffs& coeffs, double x, double* bands) noexcept;

    int numBands_ = 0;
    double* state_ = nullptr; // numBands_ - 1 entries
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
    void attackTime(double at) noexcept;
    void releaseTime(double rt) noexcept;
    void sampleRate(double sampleRate) noexcept;
    void hilbert(bool on) noexcept;

    void recalcAttackCoeffs();
    void recalcReleaseCoeffs();
    void recalcHilbertCoeffs();

    // Recomputes the crossovers for the current sample rate, clears both splitters' memories, the band
    // powers and the quadrature memories. The attack, release and quadrature coefficients stay.
    void reset() noexcept;

    // One stereo sample pair of the side-chain in, the total smoothed power of all bands out. The plain
    // reference code.
    double tick(double left, double right) noexcept;

    // frames sample pairs at once: totals[n] = tick(left[n], right[n]), bit for bit, on the selected path.
    // Allocates nothing.
    void tickBlock(const double* left, const double* right, double* totals, int frames) noexcept;
    // The kernels' view of this detector's arrays, without the optional stages. false when the arrays are
    // not the kernels' 33-band layout (never for the engine's detector): only tick copes with that.
    bool kernelState(detector_kernel::State& state) noexcept;

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

    void recalcSmoothingCoeffs(double lowestBandTime, double* coeffs) const;
};

class Compressor
{
public:
    Compressor();

    // Setters, called by the parameter listeners. Cutoffs in Hz, times in seconds, gains linear.
    void drive(double gain) noexcept;
    void sidechainHighpassCutoff(double cutoff) noexcept;
    void sidechainLowpassCutoff(double cutoff) noexcept;
    void sidechainListen(bool on) noexcept;
    // Where the side-chain (filters, listen, detector) takes its input: false the signal's own, true a key
    // signal the caller offers beside it. Without a key offered, the signal's own.
    void sidechainSource(bool key) noexcept;
    void ratio(double ratio) noexcept;
    void threshold(double t) noexcept;
    void outputGain(double gain) noexcept;
    void mix(double wet) noexcept;
    void attackTime(double attackTime) noexcept;
    void releaseTime(double releaseTime) noexcept;
    void hilbert(bool on) noexcept;
    void sampleRate(double sampleRate) noexcept;

    // Clears the processing state, as on suspend: recomputes the crossovers for the current sample rate,
    // clears the detector's splitter memories, band powers and quadrature memories and the eight side-chain
    // filter memories. Coefficients and settings stay. Allocates nothing.
    void reset() noexcept;

    // One sample pair of the signal path (the caller adds its noise before): side-chain high-pass and
    // low-pass, the detector on the driven side-chain, the gain law, mix and output gain. Expects finite
    // input. Outputs are in double; the caller narrows them.
    void processSample(double inLeft, double inRight, double& outLeft, double& outRight) noexcept
    {
        processSample(inLeft, inRight, inLeft, inRight, outLeft, outRight);
    }
    // The same with a key pair offered: with sidechainSource(true) the side-chain runs on the key (and
    // listen plays the filtered key), while the gain applies to the input.
    void processSample(double inLeft, double inRight, double keyLeft, double keyRight, double& outLeft,
                       double& outRight) noexcept;

    // The longest block the engine runs at once. processBlock cuts a longer run into blocks of at most this
    // many frames; it is the one place a run of frames is cut.
    static constexpr int maxBlockFrames = 256;

    // frames sample pairs at once, the same as processSample on each in turn, bit for bit; the detector runs
    // on its selected path. Outputs may be the input arrays. Allocates nothing.
    void processBlock(const double* inLeft, const double* inRight, double* outLeft, double* outRight,
                      int frames) noexcept;
    // The same with the outputs narrowed to single precision on the way out, as the plug-in stores them.
    void processBlock(const double* inLeft, const double* inRight, float* outLeft, float* outRight,
                      int frames) noexcept;
    // The same with a key offered (see the keyed processSample).
    void processBlock(const double* inLeft, const double* inRight, const double* keyLeft,
                      const double* keyRight, double* outLeft, double* outRight, int frames) noexcept;
    // The same with the input made block by block: input(offset, count, left, right, keyLeft, keyRight)
    // writes input pairs offset .. offset + count - 1, in double, to left[0 ..] and right[0 ..] just before
    // their block runs, and the key pairs likewise to keyLeft and keyRight unless these are null: they are
    // when no key is offered (keyOffered false) or the side-chain takes the signal's own input. It lets the
    // plug-in convert its input and add its noise without buffers or cuts of its own.
    template <typename Input, typename Sample>
    void processBlock(Input&& input, Sample* outLeft, Sample* outRight, int frames,
                      bool keyOffered = false) noexcept
    {
        if (frames <= 0 || outLeft == nullptr || outRight == nullptr) return;
        double* keyLeft = keyOffered && sidechainSource_ ? keyLeft_ : nullptr;
        double* keyRight = keyLeft != nullptr ? keyRight_ : nullptr;
        for (int offset = 0; offset < frames; offset += maxBlockFrames) {
            const int count = std::min(frames - offset, maxBlockFrames);
            input(offset, count, inputLeft_, inputRight_, keyLeft, keyRight);
            runBlock(inputLeft_, inputRight_, keyLeft != nullptr ? keyLeft : inputLeft_,
                     keyRight != nullptr ? keyRight : inputRight_, outLeft + offset, outRight + offset,
                     count);
        }
    }

    // The gain the signal path applies for a detector power (the total tick returns), with the current
    // settings: the static curve, for an editor. Sd Listen aside.
    double staticGain(double power) const noexcept { return gainLaw().gain(power); }

    // The largest reduction the gain law applied since the last call, in dB (0 when it reduced nothing,
    // with the side-chain listened to, or when mix or output gain mute the law's effect); then starts anew.
    double takeGainReductionDb() noexcept;
    double drive_ = 1.0;
    double sidechainHighpassCutoff_ = 20.0;   // Hz
    double sidechainLowpassCutoff_ = 40000.0; // Hz
    bool sidechainListen_ = false;
    bool sidechainSource_ = false;  // the key, when one is offered
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
    void cookSidechainFilters() noexcept;
    // processSample's gain law, its factors formed once: G = wet * fast_pow(1 + total * thresholdFactor,
    // gainExponent) + dry with wet = (mix * outputGain) * drive and dry = 1 - mix.
    detector_kernel::GainLaw gainLaw() const noexcept;
    // The side-chain's input pairs of a block of at most maxBlockFrames through the side-chain filters
    // (into sideLeft_, sideRight_) and the detector, and, with a law, the gains into gains_.
    void runSideChain(const double* sideInLeft, const double* sideInRight,
                      const detector_kernel::GainLaw* law, int frames) noexcept;
    // The meter's stage: the smallest factor of the law among a block's gains into smallestLawFactor_.
    void trackSmallestGain(const detector_kernel::GainLaw& law, int frames) noexcept;
    // One block of at most maxBlockFrames frames, the side-chain on sideIn (the input itself unless a key
    // is in use).
    template <typename Sample>
    void runBlock(const double* inLeft, const double* inRight, const double* sideInLeft,
                  const double* sideInRight, Sample* outLeft, Sample* outRight, int frames) noexcept;

    // Scratch of a block: its input and key, the filtered side-chain and the gains.
    alignas(64) double inputLeft_[maxBlockFrames] = {};
    alignas(64) double inputRight_[maxBlockFrames] = {};
    alignas(64) double keyLeft_[maxBlockFrames] = {};
    alignas(64) double keyRight_[maxBlockFrames] = {};
    alignas(64) double sideLeft_[maxBlockFrames] = {};
    alignas(64) double sideRight_[maxBlockFrames] = {};
    alignas(64) double gains_[maxBlockFrames] = {};
};
