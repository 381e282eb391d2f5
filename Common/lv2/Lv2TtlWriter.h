#pragma once
// The Turtle files of an LV2 bundle, written from a plug-in's Lv2PortTable: the manifest that names the
// module (and the presets), the plug-in description with its ports, units, ranges and extensions, and the
// presets with their port values and state.

#include <string>
#include <utility>
#include <vector>

class Lv2PortTable;
class MusicPlugin;

namespace Lv2TtlWriter
{
struct Preset
{
    std::string uri;
    std::string label;
    std::string comment;
    // By port symbol, in port units.
    std::vector<std::pair<std::string, float>> ports;
    // Stored under the state key as a string, so the exact values travel beside the ports' floats.
    std::string state;
};

// A plug-in's X11 user interface in a module of its own.
struct Ui
{
    std::string uri;
    std::string moduleFile;
    std::string descriptionFile;
};

// moduleFile, pluginFile and presetsFile are file names inside the bundle; the manifest lists each preset
// with its label, so hosts can show them before reading presetsFile, and the user interface if there is one.
std::string manifest(const std::string& uri, const std::string& moduleFile, const std::string& pluginFile,
                     const std::vector<Preset>& presets = {}, const std::string& presetsFile = "",
                     const Ui* ui = nullptr);
// The user interface's features and the output ports it wants to hear of (every meter).
std::string ui(const std::string& pluginUri, const Ui& ui, const Lv2PortTable& table);
// The presets of plug-in uri, their state under the key stateKey (a URI).
std::string presets(const std::string& uri, const std::string& stateKey, const std::vector<Preset>& presets);
std::string plugin(const std::string& uri, const MusicPlugin& plugin, const Lv2PortTable& table,
                   const Ui* ui = nullptr);
// A float as a Turtle decimal that reads back as the same float: "20.0", "12.0412", "-90.0".
std::string number(float value);
} // namespace Lv2TtlWriter
