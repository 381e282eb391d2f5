#pragma once
// The compressor's factory presets: one table that the preset files (.fxp, .fxb), the LV2 bundle's presets
// and their tests all read, so they cannot drift apart.

#include <string>
#include <utility>
#include <vector>

class MusicPlugin;

struct FactoryPreset
{
    // File name (without extension) and LV2 URI fragment: sessions refer to it, so it never changes.
    std::string slug;
    // At most 24 characters, the length of a VST 2 program name.
    std::string name;
    std::string purpose;
    // By save name, in the parameter's own units: gains as linear factors, times in seconds, mix as a
    // fraction, switches as 0 or 1. Parameters not named stay at their defaults.
    std::vector<std::pair<std::string, double>> settings;

    // The value the preset gives a parameter, or fallback when it leaves it at its default.
    double valueOr(const std::string& saveName, double fallback) const;
};

const std::vector<FactoryPreset>& factoryPresets();

// Sets the plug-in's parameters to the preset (the rest to their defaults) and names program `program`
// after it. Throws std::invalid_argument for a save name the plug-in does not have or a program out of
// range: the table is wrong then, which the generators must not hide.
void loadFactoryPreset(MusicPlugin& plugin, const FactoryPreset& preset, int program);
