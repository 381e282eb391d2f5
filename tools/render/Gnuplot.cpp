#include "tools/render/Gnuplot.h"

#include "tools/render/TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::host
{
namespace
{
// Levels below this are drawn at it: the plug-in's own noise floor lies far below.
constexpr double kPlotFloorDbfs = -100.0;
// Gain change is only meaningful where the input carries signal.
constexpr double kGainFloorDbfs = -60.0;
// More points than a 1280-pixel-wide picture can show only slow gnuplot down.
constexpr std::size_t kMaxPlotPoints = 4000;

// gnuplot's single-quoted strings take a quote as two quotes and nothing else specially.
std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        if (c != '\n') out += c;
    }
    return out + "'";
}

std::string terminalLines(const std::string& pngPath, int width, int height)
{
    char size[64];
    std::snprintf(size, sizeof size, "size %d,%d", width, height);
    return std::string("if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) { set terminal pngcairo noenhanced ") +
           size + " font ',10' } else { set terminal png noenhanced " + size + " }\n" + "set output " +
           quoted(pngPath) + "\n";
}

// Feeds the script to gnuplot and moves the picture into place when gnuplot succeeded.
void runGnuplot(const std::string& gnuplot, const std::string& pngPath, const std::string& scriptBody)
{
    TemporaryFile picture(pngPath);
    close(picture.fd());
    picture.release();
    const std::string script = terminalLines(picture.path(), 1280, 800) + scriptBody + "set output\n";

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw FileError(std::string("cannot start gnuplot: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    char* argv[] = {const_cast<char*>(gnuplot.c_str()), nullptr};
    pid_t child = 0;
    const int spawnResult = posix_spawn(&child, gnuplot.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (spawnResult != 0) {
        close(pipeEnds[1]);
        throw FileError("cannot start " + gnuplot + ": " + std::strerror(spawnResult));
    }
    bool written = true;
    const char* p = script.data();
    std::size_t left = script.size();
    while (left > 0) {
        const ssize_t n = write(pipeEnds[1], p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    close(pipeEnds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    struct stat result = {};
    const bool drawn = written && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                       stat(picture.path().c_str(), &result) == 0 && result.st_size > 0;
    if (!drawn) throw FileError("gnuplot could not draw " + pngPath);
    picture.commit();
}

std::string number(double value)
{
    if (!std::isfinite(value)) return "NaN";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

double powerToDb(double power)
{
    return power > 0.0 ? 10.0 * std::log10(power) : kPlotFloorDbfs;
}
} // namespace

std::string findOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::string();
    const std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        struct stat status = {};
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

void plotLevels(const std::string& gnuplot, const std::string& pngPath, const LevelStatistics& levels,
                const std::string& title)
{
    const std::vector<WindowLevels>& windows = levels.windows();
    const std::size_t merge =
        std::max<std::size_t>(1, (windows.size() + kMaxPlotPoints - 1) / kMaxPlotPoints);
    const double mergedSeconds = levels.windowSeconds() * static_cast<double>(merge);
    std::string data = "$levels << EOD\n";
    // The gain axis always shows 0 dB, so a constant gain still has a readable scale.
    double lowestGainDb = 0.0, highestGainDb = 0.0;
    for (std::size_t first = 0; first < windows.size(); first += merge) {
        const std::size_t last = std::min(windows.size(), first + merge);
        double in = 0.0, out = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            in += windows[i].inputPower;
            out += windows[i].outputPower;
        }
        in /= static_cast<double>(last - first);
        out /= static_cast<double>(last - first);
        const double inDb = std::max(kPlotFloorDbfs, powerToDb(in));
        const double outDb = std::max(kPlotFloorDbfs, powerToDb(out));
        const double gainDb = inDb > kGainFloorDbfs ? outDb - inDb : NAN;
        if (std::isfinite(gainDb)) {
            lowestGainDb = std::min(lowestGainDb, gainDb);
            highestGainDb = std::max(highestGainDb, gainDb);
        }
        const double seconds =
            (static_cast<double>(first) + 0.5 * static_cast<double>(last - first)) * levels.windowSeconds();
        data += number(seconds) + " " + number(inDb) + " " + number(outDb) + " " + number(gainDb) + "\n";
    }
    data += "EOD\n";
    char windowText[64];
    std::snprintf(windowText, sizeof windowText, "%.0f ms", mergedSeconds * 1000.0);
    const std::string script =
        data + "set multiplot title " + quoted(title) + "\n" +
        "set grid\nset lmargin 12\nset rmargin 4\nset key bottom right\n"
        "set origin 0,0.36\nset size 1,0.60\nset xtics format ''\n"
        "set ylabel 'level (dBFS, RMS over " +
        windowText +
        ")'\n"
        "plot $levels using 1:2 with lines lw 1 lc rgb '#7f7f7f' title 'input', "
        "$levels using 1:3 with lines lw 1 lc rgb '#1f5fbf' title 'output'\n"
        "set origin 0,0\nset size 1,0.36\nset xtics format '% g'\nset xlabel 'time (s)'\n"
        "set ylabel 'gain change (dB)'\nset key off\n" +
        "set yrange [" + number(std::floor(lowestGainDb) - 1.0) + ":" +
        number(std::ceil(highestGainDb) + 1.0) + "]\n" +
        "plot $levels using 1:4 with lines lw 1 lc rgb '#bf3f1f' title 'gain change'\n"
        "unset multiplot\n";
    runGnuplot(gnuplot, pngPath, script);
}

void plotTransferCurve(const std::string& gnuplot, const std::string& pngPath,
                       const std::vector<CurvePoint>& curve, const std::string& title)
{
    std::string data = "$curve << EOD\n";
    for (const CurvePoint& p : curve)
        data += number(p.inputDbfs) + " " + number(p.outputDbfs) + "\n";
    data += "EOD\n";
    const std::string script =
        data + "set title " + quoted(title) + "\n" +
        "set grid\nset key top left\nset size square\n"
        "set xlabel 'input level (dBFS, peak of a 1 kHz sine)'\n"
        "set ylabel 'steady output level (dBFS)'\n"
        "plot $curve using 1:2 with linespoints pt 7 ps 0.6 lc rgb '#1f5fbf' title 'output', "
        "x with lines dt 2 lc rgb '#7f7f7f' title 'unity'\n";
    runGnuplot(gnuplot, pngPath, script);
}
} // namespace zr::host
