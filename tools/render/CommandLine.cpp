#include "tools/render/CommandLine.h"

#include "Common/musicplugin/UserValue.h"

#include <cmath>

namespace zr::host
{
namespace
{
// Blocks beyond this are no longer what any host passes; the limit also bounds the buffers.
constexpr int kMaxBlockFrames = 1 << 20;
} // namespace

const char* const kUsageText =
    "usage: zaroruraroze-render [options] [INPUT OUTPUT]\n"
    "Renders an audio file (WAV, AIFF, FLAC, Ogg and whatever else libsndfile reads; mono or stereo)\n"
    "through a VST 2 plug-in. OUTPUT keeps INPUT's format and sample type.\n"
    "\n"
    "  --plugin PATH        the plug-in (default: ZaRoruraroze.so beside this tool, one folder up or in\n"
    "                       ../lib/vst, where packages install it)\n"
    "  --set NAME=VALUE     sets a parameter; NAME as the host shows it (\"Threshold\", \"Out Gain\") or\n"
    "                       as presets store it (\"threshold\"); VALUE in its unit: -12, -12dB, -inf,\n"
    "                       1.5k, 10ms, 50%, on/off, or @0.25 for a knob position. Repeatable.\n"
    "  --preset FILE        loads a program (.fxp) or bank (.fxb) file first\n"
    "  --save-preset FILE   writes the state after the settings (.fxp program, .fxb bank)\n"
    "  --print-state        prints the plug-in's own state text\n"
    "  --list               lists the parameters: index, names, value, range\n"
    "  --block N            frames per processing call (default 512)\n"
    "  --float              writes 32-bit float samples\n"
    "  --plot FILE.png      draws input and output levels and the gain change (needs gnuplot)\n"
    "  --curve FILE.png     measures and draws the static transfer curve (needs gnuplot)\n"
    "  --quiet              no progress bar, no summary\n"
    "  --help               this text\n";

RenderOptions parseCommandLine(const std::vector<std::string>& arguments)
{
    RenderOptions options;
    std::vector<std::string> files;
    OptionReader reader(arguments);
    while (reader.next()) {
        if (!reader.isOption()) {
            files.push_back(reader.name());
            continue;
        }
        const std::string& name = reader.name();
        auto value = [&]() { return reader.value(); };
        auto flag = [&]() { return reader.flag(); };
        if (name == "--plugin") {
            options.pluginPath = value();
        } else if (name == "--set") {
            options.settings.push_back(parseSettingOption(value()));
        } else if (name == "--preset") {
            options.presetPath = value();
        } else if (name == "--save-preset") {
            options.savePresetPath = value();
        } else if (name == "--plot") {
            options.plotPath = value();
        } else if (name == "--curve") {
            options.curvePath = value();
        } else if (name == "--block") {
            const std::string text = value();
            const auto frames = parseNumber(text);
            if (!frames || *frames != std::floor(*frames) || *frames < 1 || *frames > kMaxBlockFrames)
                throw UsageError("--block wants a whole number of frames from 1 to " +
                                 std::to_string(kMaxBlockFrames) + ", got '" + text + "'");
            options.blockFrames = static_cast<int>(*frames);
        } else if (name == "--float") {
            options.floatSamples = flag();
        } else if (name == "--quiet") {
            options.quiet = flag();
        } else if (name == "--list") {
            options.list = flag();
        } else if (name == "--print-state") {
            options.printState = flag();
        } else if (name == "--help") {
            options.help = flag();
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    if (options.help) return options;
    if (files.size() == 1) throw UsageError("an input file needs an output file");
    if (files.size() > 2) throw UsageError("too many files: give one input and one output");
    if (files.size() == 2) {
        options.inputPath = files[0];
        options.outputPath = files[1];
    }
    if (!options.plotPath.empty() && !options.renders())
        throw UsageError("--plot needs an input and an output file");
    if (options.floatSamples && !options.renders())
        throw UsageError("--float needs an input and an output file");
    const bool doesSomething = options.renders() || options.list || options.printState ||
                               !options.savePresetPath.empty() || !options.curvePath.empty();
    if (!doesSomething) throw UsageError("nothing to do");
    return options;
}
} // namespace zr::host
