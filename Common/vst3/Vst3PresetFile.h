#pragma once
// The published VST 3 preset file (.vstpreset): a header naming the processor class, the component state
// and a list of the chunks in the file. Hosts load such a file by giving the component its state. Not for
// the audio thread.

#include <cstdint>
#include <string>

namespace Vst3PresetFile
{
// The class ID as the file writes it: the four words in upper-case hexadecimal, 32 characters.
std::string classIdText(const std::uint32_t classId[4]);
// A whole file holding the component state (bytes exactly as getState writes them).
std::string make(const std::uint32_t classId[4], const std::string& componentState);
} // namespace Vst3PresetFile
