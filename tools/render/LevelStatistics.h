#pragma once
// Levels of a run: per channel peak and RMS of input and output, and short-window levels from which the
// gain reduction over time is read (input level minus output level of each window).

#include <vector>

namespace zr::host
{
struct WindowLevels
{
    double inputPower; // mean square over the window, averaged over the channels
    double outputPower;
};

class LevelStatistics
{
public:
    // Windows are windowSeconds long (10 ms: short enough to follow a compressor's attack, long enough
    // to hold several periods of a bass note); expectedFrames only reserves memory.
    LevelStatistics(int channels, double sampleRateHz, double windowSeconds, long long expectedFrames);

    // Planar channels; allocates nothing while the reserve lasts.
    void add(const float* const* input, const float* const* output, int frames);
    // Counts the last, partial window.
    void finish();

    int channels() const { return channels_; }
    long long frames() const { return frames_; }
    double windowSeconds() const { return windowFrames_ / sampleRateHz_; }
    double inputPeak(int channel) const { return inPeak_[static_cast<std::size_t>(channel)]; }
    double outputPeak(int channel) const { return outPeak_[static_cast<std::size_t>(channel)]; }
    double inputRms(int channel) const;
    double outputRms(int channel) const;
    const std::vector<WindowLevels>& windows() const { return windows_; }
    // Samples left out of every level because they were NaN or infinite.
    long long nonFiniteInputSamples() const { return nonFiniteInput_; }
    long long nonFiniteOutputSamples() const { return nonFiniteOutput_; }

    // Gain reduction in dB (positive: the output is quieter) over the windows whose input lies above
    // floorDbfs, where a level is meaningful; false when there is no such window.
    bool gainReduction(double floorDbfs, double& largestDb, double& averageDb) const;

    static double toDbfs(double amplitude);

private:
    int channels_;
    double sampleRateHz_;
    int windowFrames_;
    long long frames_ = 0;
    long long nonFiniteInput_ = 0;
    long long nonFiniteOutput_ = 0;
    std::vector<double> inPeak_, outPeak_, inSumSquares_, outSumSquares_;
    double windowIn_ = 0.0, windowOut_ = 0.0;
    int windowFill_ = 0;
    std::vector<WindowLevels> windows_;
};
} // namespace zr::host
