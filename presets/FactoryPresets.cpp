#include "presets/FactoryPresets.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/Param.h"
#include "Common/musicplugin/PresetBank.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace
{
// Six significant digits, as the plug-in writes a value in its state text: the files then hold short
// numbers that read back as the very value the table means.
double rounded(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return std::strtod(text, nullptr);
}

double db(double decibels)
{
    return rounded(std::pow(10.0, decibels / 20.0));
}

double ms(double milliseconds)
{
    return rounded(milliseconds / 1000.0);
}

double percent(double value)
{
    return rounded(value / 100.0);
}

constexpr double on = 1.0;

// Tuned on the project's demo music with the render tool (presets/README.md has the measurements).
// Ratios are dB/dB; thresholds are where the soft knee sits (a sine's peak there is about 6 dB below it);
// attack and release are those of the lowest band, the higher bands being faster.
std::vector<FactoryPreset> makeTable()
{
    return {
        {"bus-glue",
         "Bus Glue",
         "Gentle 2:1 glue for a mix or group bus: slow attack keeps the transients, a few dB of reduction.",
         {{"threshold", db(-4)},
          {"ratio", 2},
          {"attack", ms(30)},
          {"release", ms(300)},
          {"outputGain", db(2)}}},
        {"vocal-leveller",
         "Vocal Leveller",
         "Evens out a voice from phrase to phrase: side-chain high-passed against plosives, smooth "
         "quadrature "
         "detection.",
         {{"threshold", db(-12)},
          {"ratio", 3},
          {"attack", ms(10)},
          {"release", ms(150)},
          {"sidechainHighpassCutoff", 100},
          {"hilbert", on},
          {"outputGain", db(4)}}},
        {"drum-punch",
         "Drum Punch",
         "4:1 with a slow attack that lets the front of each hit through and a fast release: more snap.",
         {{"threshold", db(-8)},
          {"ratio", 4},
          {"attack", ms(40)},
          {"release", ms(60)},
          {"outputGain", db(4)}}},
        {"bass-tamer",
         "Bass Tamer",
         "Holds a booming bass or low end steady: the detector hears only what lies below 250 Hz.",
         {{"threshold", db(-8)},
          {"ratio", 4},
          {"attack", ms(40)},
          {"release", ms(250)},
          {"sidechainLowpassCutoff", 250},
          {"outputGain", db(4.5)}}},
        {"near-limiter",
         "Near Limiter",
         "Highest ratio and fastest attack: peaks held below about -1 dBFS while the level comes up.",
         {{"threshold", db(-4)},
          {"ratio", 64},
          {"attack", ms(0.2)},
          {"release", ms(50)},
          {"outputGain", db(7)}}},
        {"parallel-crush",
         "Parallel Crush",
         "A crushed copy mixed 40 % under the dry signal: density and detail without losing the hits.",
         {{"threshold", db(-30)},
          {"ratio", 10},
          {"attack", ms(1)},
          {"release", ms(80)},
          {"mix", percent(40)},
          {"outputGain", db(12)}}},
        {"kick-proof-glue",
         "Kick-Proof Glue",
         "Bus compression that ignores the kick: side-chain high-passed at 150 Hz, so the low end does not "
         "pump the mix.",
         {{"threshold", db(-10)},
          {"ratio", 3},
          {"attack", ms(20)},
          {"release", ms(200)},
          {"sidechainHighpassCutoff", 150},
          {"outputGain", db(2)}}},
        {"peak-catcher",
         "Peak Catcher",
         "Transparent: touches only the loudest peaks, by a dB or two now and then.",
         {{"threshold", db(8)}, {"ratio", 8}, {"attack", ms(1)}, {"release", ms(80)}, {"hilbert", on}}},
    };
}

Param* findParam(MusicPlugin& plugin, const std::string& saveName)
{
    for (int i = 0; i < plugin.paramList.numParams(); ++i)
        if (Param* param = plugin.paramList.param(i); param->getSaveName() == saveName) return param;
    throw std::invalid_argument("the plug-in has no parameter saved as " + saveName);
}
} // namespace

double FactoryPreset::valueOr(const std::string& saveName, double fallback) const
{
    for (const auto& [key, value] : settings)
        if (key == saveName) return value;
    return fallback;
}

const std::vector<FactoryPreset>& factoryPresets()
{
    static const std::vector<FactoryPreset> table = makeTable();
    return table;
}

void loadFactoryPreset(MusicPlugin& plugin, const FactoryPreset& preset, int program)
{
    if (program < 0 || program >= static_cast<int>(plugin.presetBank.presetList.size()))
        throw std::invalid_argument("no program " + std::to_string(program));
    // Through the parameters' own save texts, as a program chunk would load them.
    Preset values(preset.name);
    for (const auto& [saveName, value] : preset.settings) {
        Param* param = findParam(plugin, saveName);
        if (dynamic_cast<BoolParam*>(param) != nullptr) {
            values.values[saveName] = value != 0.0 ? "true" : "false";
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", value);
            values.values[saveName] = text;
        }
    }
    plugin.paramList.loadPreset(values);
    plugin.presetBank.getPreset(program).name = preset.name;
}
