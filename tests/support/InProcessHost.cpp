#include "InProcessHost.h"

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "ZaRorurarozePlugin.h"

#include <algorithm>
#include <cstdint>

namespace zr::test
{
InProcessHost::InProcessHost() : InProcessHost(new ZaRorurarozePlugin()) {}

InProcessHost::InProcessHost(MusicPlugin* plugin)
{
    open([this, plugin](audioMasterCallback callback) {
        adaptor_ = new MusicPluginVstAdaptor(callback, plugin);
        return adaptor_->getAeffect();
    });
}

InProcessHost::~InProcessHost()
{
    close();
}

Stereo processInBlocks(MusicPlugin& plugin, const Stereo& input, const std::vector<int>& blockFrames,
                       bool inPlace)
{
    const std::size_t frames = input.left.size();
    Stereo output = inPlace ? input : Stereo{std::vector<float>(frames), std::vector<float>(frames)};
    std::size_t block = 0;
    for (std::size_t n = 0; n < frames;) {
        const int length =
            static_cast<int>(std::min<std::size_t>(blockFrames[block++ % blockFrames.size()], frames - n));
        const float* inputs[2] = {inPlace ? &output.left[n] : &input.left[n],
                                  inPlace ? &output.right[n] : &input.right[n]};
        float* outputs[2] = {&output.left[n], &output.right[n]};
        plugin.process(inputs, outputs, length);
        n += static_cast<std::size_t>(length);
    }
    return output;
}

std::vector<double> pluginNoise(std::size_t frames)
{
    std::vector<double> n(frames);
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        n[i] = static_cast<double>(seed) * static_cast<double>(1e-15f);
        seed = seed * 1664525u + 1013904223u;
    }
    return n;
}
} // namespace zr::test
