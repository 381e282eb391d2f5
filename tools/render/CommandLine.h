#pragma once
// The render tool's command line.

#include "tools/render/OptionReader.h"

#include <string>
#include <vector>

namespace zr::host
{
struct RenderOptions
{
    std::string inputPath;
    std::string outputPath;
    std::string pluginPath; // empty: the ZaRoruraroze.so beside the tool or one folder up
    std::vector<Setting> settings;
    std::string presetPath;
    std::string savePresetPath;
    std::string plotPath;
    std::string curvePath;
    int blockFrames = 512;
    bool floatSamples = false;
    bool quiet = false;
    bool list = false;
    bool printState = false;
    bool help = false;

    bool renders() const { return !inputPath.empty(); }
};

// Options may come as "--name value" or "--name=value". Throws UsageError.
RenderOptions parseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsageText;
} // namespace zr::host
