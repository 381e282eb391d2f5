#include "tools/render/TransferCurve.h"

#include "tools/render/TemporaryFile.h"
#include "tools/render/VstHost.h"

#include <algorithm>
#include <cmath>

namespace zr::host
{
namespace
{
constexpr double kTwoPi = 6.283185307179586476925;
}

std::vector<CurvePoint> measureTransferCurve(VstHost& host, const CurveSweep& sweep)
{
    const double rateHz = host.sampleRateHz();
    if (!(sweep.toneHz < 0.45 * rateHz)) throw FileError("the sample rate is too low for a 1 kHz test tone");
    if (host.numOutputs() < 1) throw FileError("the plug-in has no output to measure");
    const int pieceFrames = std::max(1, static_cast<int>(std::lround(sweep.pieceSeconds * rateHz)));
    const int minPieces = static_cast<int>(std::ceil(sweep.minSeconds / sweep.pieceSeconds));
    const int maxPieces = static_cast<int>(std::ceil(sweep.maxSeconds / sweep.pieceSeconds));

    std::vector<float> tone(static_cast<std::size_t>(pieceFrames));
    std::vector<std::vector<float>> outputs(static_cast<std::size_t>(host.numOutputs()),
                                            std::vector<float>(static_cast<std::size_t>(pieceFrames)));
    std::vector<float*> inputPointers(static_cast<std::size_t>(host.numInputs()), tone.data());
    std::vector<float*> outputPointers;
    for (auto& channel : outputs)
        outputPointers.push_back(channel.data());

    // Start from silence, as after loading.
    host.suspend();
    host.resume();
    const double phaseStep = kTwoPi * sweep.toneHz / rateHz;
    double phase = 0.0;
    std::vector<CurvePoint> curve;
    const int steps = static_cast<int>(std::floor((sweep.toDbfs - sweep.fromDbfs) / sweep.stepDb + 1e-9));
    for (int step = 0; step <= steps; ++step) {
        const double levelDbfs = sweep.fromDbfs + step * sweep.stepDb;
        const double amplitude = std::pow(10.0, levelDbfs / 20.0);
        double previousDb = 0.0;
        double outputDb = 0.0;
        int steadyReadings = 0;
        int piece = 0;
        bool settled = false;
        // The sweep rises through the levels without a reset: each level starts near its steady state.
        for (; piece < maxPieces && !settled; ++piece) {
            for (float& sample : tone) {
                sample = static_cast<float>(amplitude * std::sin(phase));
                phase = std::fmod(phase + phaseStep, kTwoPi);
            }
            host.process(inputPointers.data(), outputPointers.data(), pieceFrames);
            double sumSquares = 0.0;
            for (float y : outputs[0])
                sumSquares += static_cast<double>(y) * y;
            // A sine's peak is its RMS times the square root of two.
            const double peak = std::sqrt(2.0 * sumSquares / pieceFrames);
            outputDb = peak > 0.0 ? 20.0 * std::log10(peak) : -200.0;
            steadyReadings =
                (piece > 0 && std::fabs(outputDb - previousDb) < sweep.settledDb) ? steadyReadings + 1 : 0;
            settled = piece + 1 >= minPieces && steadyReadings >= sweep.settledReadings;
            previousDb = outputDb;
        }
        curve.push_back({levelDbfs, outputDb, settled});
    }
    host.suspend();
    return curve;
}
} // namespace zr::host
