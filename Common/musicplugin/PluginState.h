#pragma once
// A plug-in's state as chunk text, for the host bridges that store it as one string (LV2 state, the JACK
// client's files). The texts are the bytes a VST 2 host's getChunk yields for the same settings, so a
// session can move between formats by its chunk.
//
// Not for the audio thread: these allocate and may throw std::bad_alloc.

#include <string>

class MusicPlugin;

namespace PluginState
{
// The live values are first stored into preset `program`, as a VST 2 getChunk does. An index out of range
// gives an empty text.
std::string saveProgram(MusicPlugin& plugin, int program);
std::string saveBank(MusicPlugin& plugin, int program);

// Reads the text into preset `program` (or the whole bank) and loads that preset into the parameters.
// A bank text without "presetList", or an index out of range, is refused (false) and changes nothing.
bool loadProgram(MusicPlugin& plugin, int program, const std::string& text);
bool loadBank(MusicPlugin& plugin, int program, const std::string& text);
} // namespace PluginState
