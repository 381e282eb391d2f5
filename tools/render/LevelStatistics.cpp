#include "tools/render/LevelStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zr::host
{
LevelStatistics::LevelStatistics(int channels, double sampleRateHz, double windowSeconds,
                                 long long expectedFrames)
    : channels_(channels), sampleRateHz_(sampleRateHz),
      windowFrames_(std::max(1, static_cast<int>(std::lround(windowSeconds * sampleRateHz)))),
      inPeak_(static_cast<std::size_t>(channels)), outPeak_(static_cast<std::size_t>(channels)),
      inSumSquares_(static_cast<std::size_t>(channels)), outSumSquares_(static_cast<std::size_t>(channels))
{
    if (expectedFrames > 0) windows_.reserve(static_cast<std::size_t>(expectedFrames / windowFrames_ + 2));
}

void LevelStatistics::add(const float* const* input, const float* const* output, int frames)
{
    for (int i = 0; i < frames; ++i) {
        double inSquares = 0.0;
        double outSquares = 0.0;
        for (std::size_t c = 0; c < static_cast<std::size_t>(channels_); ++c) {
            double x = input[c][i];
            double y = output[c][i];
            // A NaN or infinite sample is counted, not summed: it would make every level meaningless.
            if (!std::isfinite(x)) {
                ++nonFiniteInput_;
                x = 0.0;
            }
            if (!std::isfinite(y)) {
                ++nonFiniteOutput_;
                y = 0.0;
            }
            inPeak_[c] = std::fmax(inPeak_[c], std::fabs(x));
            outPeak_[c] = std::fmax(outPeak_[c], std::fabs(y));
            inSumSquares_[c] += x * x;
            outSumSquares_[c] += y * y;
            inSquares += x * x;
            outSquares += y * y;
        }
        windowIn_ += inSquares;
        windowOut_ += outSquares;
        if (++windowFill_ == windowFrames_) finish();
    }
    frames_ += frames;
}

void LevelStatistics::finish()
{
    if (windowFill_ == 0) return;
    const double count = static_cast<double>(windowFill_) * channels_;
    windows_.push_back({windowIn_ / count, windowOut_ / count});
    windowIn_ = windowOut_ = 0.0;
    windowFill_ = 0;
}

double LevelStatistics::inputRms(int channel) const
{
    return frames_ > 0 ? std::sqrt(inSumSquares_[static_cast<std::size_t>(channel)] / frames_) : 0.0;
}

double LevelStatistics::outputRms(int channel) const
{
    return frames_ > 0 ? std::sqrt(outSumSquares_[static_cast<std::size_t>(channel)] / frames_) : 0.0;
}

bool LevelStatistics::gainReduction(double floorDbfs, double& largestDb, double& averageDb) const
{
    const double floorPower = std::pow(10.0, floorDbfs / 10.0);
    double sum = 0.0;
    long long counted = 0;
    largestDb = -std::numeric_limits<double>::infinity();
    for (const WindowLevels& w : windows_) {
        if (!(w.inputPower > floorPower)) continue;
        // A silent output window counts as 60 dB below the floor, not as infinite reduction.
        const double reductionDb =
            10.0 * std::log10(w.inputPower / std::max(w.outputPower, floorPower * 1e-6));
        if (!std::isfinite(reductionDb)) continue;
        largestDb = std::max(largestDb, reductionDb);
        sum += reductionDb;
        ++counted;
    }
    if (counted == 0) return false;
    averageDb = sum / static_cast<double>(counted);
    return true;
}

double LevelStatistics::toDbfs(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -std::numeric_limits<double>::infinity();
}
} // namespace zr::host
