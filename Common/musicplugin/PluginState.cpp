#include "Common/musicplugin/PluginState.h"

#include "Common/musicplugin/Chunk.h"
#include "Common/musicplugin/MusicPlugin.h"

#include <stdexcept>

namespace
{
bool validProgram(const MusicPlugin& plugin, int program)
{
    return program >= 0 && program < static_cast<int>(plugin.presetBank.presetList.size());
}
} // namespace

namespace PluginState
{
std::string saveProgram(MusicPlugin& plugin, int program)
{
    if (!validProgram(plugin, program)) return std::string();
    Preset& preset = plugin.presetBank.getPreset(program);
    plugin.paramList.savePreset(preset);
    return preset.save();
}

std::string saveBank(MusicPlugin& plugin, int program)
{
    if (!validProgram(plugin, program)) return std::string();
    plugin.paramList.savePreset(plugin.presetBank.getPreset(program));
    std::string presets;
    for (const Preset& preset : plugin.presetBank.presetList)
        Chunk::push_back(presets, "Preset", preset.save());
    std::string text;
    Chunk::push_back(text, "presetList", presets);
    return text;
}

bool loadProgram(MusicPlugin& plugin, int program, const std::string& text)
{
    if (!validProgram(plugin, program)) return false;
    Preset& preset = plugin.presetBank.getPreset(program);
    preset.load(text);
    plugin.paramList.loadPreset(preset);
    return true;
}

bool loadBank(MusicPlugin& plugin, int program, const std::string& text)
{
    if (!validProgram(plugin, program)) return false;
    try {
        plugin.presetBank.load(text);
    } catch (const std::invalid_argument&) {
        return false;
    }
    plugin.paramList.loadPreset(plugin.presetBank.getPreset(program));
    return true;
}
} // namespace PluginState
