#pragma once
// The host of an effect built in process the way the library's entry point builds it: the adaptor around
// the compressor, or around any plug-in for tests of the adaptor itself. Also the plug-in class driven
// directly, without the adaptor, for comparing the two.

#include "EffectHost.h"

#include <cstddef>
#include <vector>

class MusicPlugin;
class MusicPluginVstAdaptor;

namespace zr::test
{
class InProcessHost : public EffectHost
{
public:
    InProcessHost();
    // Owns the plug-in from here on.
    explicit InProcessHost(MusicPlugin* plugin);
    ~InProcessHost();

    MusicPluginVstAdaptor& adaptor() const { return *adaptor_; }

private:
    MusicPluginVstAdaptor* adaptor_ = nullptr;
};

// Runs the input through MusicPlugin::process in blocks of the given lengths used in turn; in place
// (outputs written over copies of the inputs) when asked.
Stereo processInBlocks(MusicPlugin& plugin, const Stereo& input, const std::vector<int>& blockFrames,
                       bool inPlace = false);

// The noise the compressor adds to sample i of a fresh instance (seed 0, 32-bit LCG, single-precision
// 1e-15): with Mix at 0 its output is exactly the input plus this.
std::vector<double> pluginNoise(std::size_t frames);
} // namespace zr::test
