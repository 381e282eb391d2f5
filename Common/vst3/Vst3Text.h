#pragma once
// Texts between the framework's byte strings (UTF-8) and the VST 3 interface's fixed-size records: UTF-16
// strings of 128 code units and plain char arrays, always terminated, never overrun.

#include "Common/vst3/Vst3Interfaces.h"

#include <cstddef>
#include <string>

namespace vst3
{
// At most 127 code units and the terminator; the rest of dest is zeroed. A character outside the basic
// multilingual plane, or a malformed byte, becomes '?'.
void copyToString128(const std::string& text, String128 dest);
// At most size - 1 bytes and the terminator, the rest zeroed (dest must hold size bytes, size > 0).
void copyToChars(const std::string& text, char* dest, std::size_t size);
// The UTF-8 text of at most maxUnits code units, up to the first zero; null gives an empty text.
std::string utf8Of(const TChar* text, std::size_t maxUnits);
} // namespace vst3
