#include "tools/render/Renderer.h"

#include "tools/render/VstHost.h"

#include <algorithm>
#include <chrono>

namespace zr::host
{
RenderTiming renderFile(VstHost& host, InputAudioFile& input, OutputAudioFile& output,
                        LevelStatistics& levels, const ProgressCallback& progress)
{
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    if (host.numOutputs() < 1) throw FileError("the plug-in has no audio outputs");
    const int fileChannels = input.channels();
    const std::size_t block = static_cast<std::size_t>(host.blockFrames());

    std::vector<float> interleaved(block * static_cast<std::size_t>(fileChannels));
    std::vector<std::vector<float>> fileIn(static_cast<std::size_t>(fileChannels), std::vector<float>(block));
    std::vector<std::vector<float>> fileOut(static_cast<std::size_t>(fileChannels),
                                            std::vector<float>(block));
    std::vector<std::vector<float>> pluginOut(static_cast<std::size_t>(host.numOutputs()),
                                              std::vector<float>(block));
    const std::vector<float> silence(block, 0.0f);

    // Plug-in inputs 0 and 1 take the file's channels (both the one channel of a mono file); any others
    // get silence. The plug-in reads its inputs only, so handing it the same buffer twice is safe.
    std::vector<float*> inputPointers;
    for (int c = 0; c < host.numInputs(); ++c)
        inputPointers.push_back(c < 2 ? fileIn[static_cast<std::size_t>(std::min(c, fileChannels - 1))].data()
                                      : const_cast<float*>(silence.data()));
    std::vector<float*> outputPointers;
    for (auto& channel : pluginOut)
        outputPointers.push_back(channel.data());
    std::vector<const float*> levelIn, levelOut;
    for (int c = 0; c < fileChannels; ++c) {
        levelIn.push_back(fileIn[static_cast<std::size_t>(c)].data());
        levelOut.push_back(fileOut[static_cast<std::size_t>(c)].data());
    }

    RenderTiming timing;
    Clock::duration inPlugin{};
    host.resume();
    long long framesDone = 0;
    for (;;) {
        const auto frames = static_cast<int>(input.read(interleaved.data(), static_cast<sf_count_t>(block)));
        if (frames <= 0) break;
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < fileChannels; ++c)
                fileIn[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
                    interleaved[static_cast<std::size_t>(i * fileChannels + c)];

        const auto before = Clock::now();
        host.process(inputPointers.data(), outputPointers.data(), frames);
        inPlugin += Clock::now() - before;

        const std::vector<float>& left = pluginOut[0];
        const std::vector<float>& right = pluginOut[std::min<std::size_t>(1, pluginOut.size() - 1)];
        for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i) {
            if (fileChannels == 1) {
                // In double the sum is exact, so equal channels give back exactly that channel.
                fileOut[0][i] = static_cast<float>((static_cast<double>(left[i]) + right[i]) * 0.5);
            } else {
                fileOut[0][i] = left[i];
                fileOut[1][i] = right[i];
            }
            for (int c = 0; c < fileChannels; ++c)
                interleaved[i * static_cast<std::size_t>(fileChannels) + static_cast<std::size_t>(c)] =
                    fileOut[static_cast<std::size_t>(c)][i];
        }
        output.write(interleaved.data(), frames);
        levels.add(levelIn.data(), levelOut.data(), frames);
        framesDone += frames;
        if (progress && input.frames() > 0)
            progress(std::min(1.0, static_cast<double>(framesDone) / static_cast<double>(input.frames())));
    }
    host.suspend();
    levels.finish();
    timing.audioSeconds = static_cast<double>(framesDone) / input.sampleRateHz();
    timing.processSeconds = std::chrono::duration<double>(inPlugin).count();
    timing.totalSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    return timing;
}
} // namespace zr::host
