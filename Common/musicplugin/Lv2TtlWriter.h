#pragma once
// The Turtle files of an LV2 bundle, written from a plug-in's Lv2PortTable: the manifest that names the
// module, and the plug-in description with its ports, units, ranges and extensions.

#include <string>

class Lv2PortTable;
class MusicPlugin;

namespace Lv2TtlWriter
{
// moduleFile and pluginFile are file names inside the bundle.
std::string manifest(const std::string& uri, const std::string& moduleFile, const std::string& pluginFile);
std::string plugin(const std::string& uri, const MusicPlugin& plugin, const Lv2PortTable& table);
// A float as a Turtle decimal that reads back as the same float: "20.0", "12.0412", "-90.0".
std::string number(float value);
} // namespace Lv2TtlWriter
