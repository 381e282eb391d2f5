// zaroruraroze-render: renders audio files through a VST 2 plug-in binary, offline, the way a sequencer
// would: the plug-in is reached only through its VST 2 interface.

#include "tools/render/AudioFile.h"
#include "tools/render/CommandLine.h"
#include "tools/render/FxPreset.h"
#include "tools/render/Gnuplot.h"
#include "tools/render/LevelStatistics.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/Renderer.h"
#include "tools/render/TransferCurve.h"
#include "tools/render/VstHost.h"

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zr::host;

namespace
{
const char* const kToolName = "zaroruraroze-render";
const char* const kDefaultPluginFile = "ZaRoruraroze.so";
// The sample rate for a run without an input file (curve, presets, listing).
constexpr double kDefaultSampleRateHz = 44100.0;
// Windows of the level statistics and the picture.
constexpr double kLevelWindowSeconds = 0.01;
// Gain reduction is averaged where the input is above this level; below it the plug-in's noise and
// the signal's silences would dominate.
constexpr double kGainFloorDbfs = -60.0;

bool fileExists(const std::string& path)
{
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string defaultPluginPath()
{
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) throw FileError("cannot find the plug-in: give --plugin PATH");
    std::string folder(exe, static_cast<std::size_t>(length));
    folder = folder.substr(0, folder.rfind('/'));
    const std::string parent = folder.substr(0, folder.rfind('/'));
    // A build tree has the plug-in beside the tools' folder; an installed tool in bin/ finds it in lib/vst/.
    for (const std::string& candidate : {folder + "/" + kDefaultPluginFile, parent + "/" + kDefaultPluginFile,
                                         parent + "/lib/vst/" + kDefaultPluginFile})
        if (fileExists(candidate)) return candidate;
    throw FileError(std::string("no ") + kDefaultPluginFile + " beside " + folder +
                    ", one folder up or in ../lib/vst; build it or give --plugin PATH");
}

std::string dbText(double amplitude)
{
    const double db = LevelStatistics::toDbfs(amplitude);
    if (std::isinf(db)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", db);
    return text;
}

class ProgressBar
{
public:
    explicit ProgressBar(bool shown) : shown_(shown) {}
    ~ProgressBar() { clear(); }
    void show(double fraction)
    {
        const int percent = static_cast<int>(fraction * 100.0);
        if (!shown_ || percent == lastPercent_) return;
        lastPercent_ = percent;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\rrendering [%.*s%*s] %3d%%", filled,
                     "########################################", kWidth - filled, "", percent);
        std::fflush(stderr);
    }
    void clear()
    {
        if (!shown_ || lastPercent_ < 0) return;
        std::fprintf(stderr, "\r%*s\r", kWidth + 20, "");
        std::fflush(stderr);
        lastPercent_ = -1;
    }

private:
    static constexpr int kWidth = 40;
    bool shown_;
    int lastPercent_ = -1;
};

void printParameterList(VstHost& host, const ParameterCatalog& catalog)
{
    std::printf("%s (%s), %d parameters:\n", host.effectName().c_str(), fourCharText(host.uniqueId()).c_str(),
                host.numParams());
    std::printf("%3s  %-9s %-24s %-12s %s\n", "#", "name", "save name", "value", "range");
    for (const ParameterInfo& p : catalog.parameters()) {
        const std::string unit = p.label.empty() ? "" : " " + p.label;
        const std::string value = host.parameterDisplay(p.index) + unit;
        const std::string range = p.isSwitch ? p.displayAtMin + " / " + p.displayAtMax
                                             : p.displayAtMin + " .. " + p.displayAtMax + unit;
        std::printf("%3d  %-9s %-24s %-12s %s\n", p.index, p.hostName.c_str(),
                    p.saveKey.empty() ? "-" : p.saveKey.c_str(), value.c_str(), range.c_str());
    }
}

void printSummary(const RenderOptions& options, const InputAudioFile& input, const LevelStatistics& levels,
                  const RenderTiming& timing, int outputFormat)
{
    std::printf("%s -> %s\n", options.inputPath.c_str(), options.outputPath.c_str());
    std::printf("  %s, %d Hz, %s, %.2f s; written as %s\n", describeFormat(input.format()).c_str(),
                input.sampleRateHz(), input.channels() == 1 ? "mono" : "stereo", timing.audioSeconds,
                describeFormat(outputFormat).c_str());
    std::printf("  %-14s %10s %10s\n", "", "peak dBFS", "RMS dBFS");
    const char* names[2] = {input.channels() == 1 ? "mono" : "left", "right"};
    for (int c = 0; c < levels.channels(); ++c)
        std::printf("  input  %-7s %10s %10s\n", names[c], dbText(levels.inputPeak(c)).c_str(),
                    dbText(levels.inputRms(c)).c_str());
    bool clipped = false;
    for (int c = 0; c < levels.channels(); ++c) {
        std::printf("  output %-7s %10s %10s\n", names[c], dbText(levels.outputPeak(c)).c_str(),
                    dbText(levels.outputRms(c)).c_str());
        clipped = clipped || levels.outputPeak(c) > 1.0;
    }
    double largestDb = 0.0, averageDb = 0.0;
    if (levels.gainReduction(kGainFloorDbfs, largestDb, averageDb))
        std::printf("  gain reduction: largest %.2f dB, average %.2f dB (input minus output level, 10 ms "
                    "windows with "
                    "input above %.0f dBFS)\n",
                    largestDb, averageDb, kGainFloorDbfs);
    else
        std::printf("  gain reduction: none measured (the input never rises above %.0f dBFS)\n",
                    kGainFloorDbfs);
    const double factor =
        timing.processSeconds > 0.0 ? timing.audioSeconds / timing.processSeconds : INFINITY;
    std::printf("  audio %.2f s, processing %.3f s (%.1fx realtime), whole run %.3f s\n", timing.audioSeconds,
                timing.processSeconds, factor, timing.totalSeconds);
    const bool floatOutput = (outputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ||
                             (outputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
    if (levels.nonFiniteInputSamples() > 0 || levels.nonFiniteOutputSamples() > 0)
        std::printf(
            "  note: %lld input and %lld output samples are NaN or infinite; the levels leave them out\n",
            levels.nonFiniteInputSamples(), levels.nonFiniteOutputSamples());
    if (clipped && !floatOutput)
        std::printf("  note: the output exceeds full scale and was clipped; --float keeps it\n");
}

void savePreset(VstHost& host, const std::string& path)
{
    const bool bank = path.size() >= 4 && path.compare(path.size() - 4, 4, ".fxb") == 0;
    const std::vector<unsigned char> bytes = serializeFxPreset(captureFxPreset(host, bank));
    TemporaryFile file(path);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

int run(const RenderOptions& options)
{
    // Everything that can be refused is checked before any file is written.
    std::optional<InputAudioFile> input;
    int outputFormat = 0;
    if (options.renders()) {
        input.emplace(options.inputPath);
        struct stat status = {};
        if (stat(options.outputPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            throw FileError("the output " + options.outputPath + " is a folder");
        outputFormat =
            outputFormatFor(input->format(), options.floatSamples, input->channels(), input->sampleRateHz());
    }
    // Every file the run writes must be new ground: neither the input nor another file of this run.
    std::vector<std::string> written;
    for (const std::string* path :
         {&options.outputPath, &options.savePresetPath, &options.plotPath, &options.curvePath})
        if (!path->empty()) written.push_back(*path);
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (options.renders()) checkNotSameFile(options.inputPath, written[i]);
        for (std::size_t j = 0; j < i; ++j)
            if (written[j] == written[i]) throw FileError(written[i] + " is named for two different outputs");
    }
    std::string gnuplot;
    if (!options.plotPath.empty() || !options.curvePath.empty()) {
        gnuplot = findOnPath("gnuplot");
        if (gnuplot.empty())
            throw FileError("--plot and --curve draw with gnuplot, which is not installed (Debian package "
                            "gnuplot-nox); nothing was rendered");
    }

    VstHost host(options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath);
    host.setSampleRate(input ? input->sampleRateHz() : kDefaultSampleRateHz);
    host.setBlockSize(options.blockFrames);
    const ParameterCatalog catalog(host);
    if (!options.presetPath.empty()) {
        try {
            applyFxPreset(host, readFxPresetFile(options.presetPath));
        } catch (const PresetFileError& e) {
            throw PresetFileError("cannot load preset " + options.presetPath + ": " + e.what());
        }
    }
    catalog.apply(host, options.settings);

    if (options.list) printParameterList(host, catalog);
    if (options.printState) {
        const std::string state = ParameterCatalog::stateText(host);
        std::printf("%s%s", state.c_str(), state.empty() || state.back() == '\n' ? "" : "\n");
    }
    if (!options.savePresetPath.empty()) savePreset(host, options.savePresetPath);

    if (input) {
        OutputAudioFile output(options.outputPath, outputFormat, input->channels(), input->sampleRateHz());
        LevelStatistics levels(input->channels(), input->sampleRateHz(), kLevelWindowSeconds,
                               input->frames());
        ProgressBar bar(!options.quiet && isatty(STDERR_FILENO));
        const RenderTiming timing = renderFile(host, *input, output, levels, [&](double f) { bar.show(f); });
        bar.clear();
        output.commit();
        if (!options.quiet) printSummary(options, *input, levels, timing, outputFormat);
        if (!options.plotPath.empty())
            plotLevels(gnuplot, options.plotPath, levels,
                       options.inputPath + " through " + host.effectName());
    }
    if (!options.curvePath.empty()) {
        const std::vector<CurvePoint> curve = measureTransferCurve(host);
        if (!options.quiet) {
            std::printf("transfer curve (1 kHz sine, dBFS peak):\n  %8s %9s\n", "input", "output");
            for (const CurvePoint& p : curve)
                std::printf("  %8.2f %9.3f%s\n", p.inputDbfs,
                            std::round(p.outputDbfs * 1000.0) / 1000.0 + 0.0,
                            p.settled ? "" : "  (not settled)");
        }
        plotTransferCurve(gnuplot, options.curvePath, curve, "static transfer curve of " + host.effectName());
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    TemporaryFile::installCleanupHandlers();
    // A reader that goes away (gnuplot failing) must give an error, not end the tool.
    std::signal(SIGPIPE, SIG_IGN);
    return runTool(kToolName, kUsageText, argc, argv, parseCommandLine, run);
}
