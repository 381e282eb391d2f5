#pragma once
// The component state as it travels through a host's stream: the bank chunk text with its terminating
// zero byte, exactly the bytes a VST 2 host gets from the plug-in's bank chunk. The zero ends our part, so
// a stream that holds more after it is read correctly: the reader leaves the stream right behind it.

#include "Common/vst3/Vst3Interfaces.h"

#include <cstddef>
#include <optional>
#include <string>

namespace Vst3StateStream
{
// A state longer than this is refused as damaged; a real one is a few hundred bytes per program.
constexpr std::size_t maxStateBytes = std::size_t(1) << 22;

// The text up to the first zero byte, or to the end of the stream when no zero comes; nullopt when the
// stream is null, fails before giving anything, or runs past maxStateBytes without a zero. Reads any
// number of bytes per call the host delivers. May throw std::bad_alloc.
std::optional<std::string> readText(vst3::IBStream* stream);
// The text and its terminating zero; false when the stream is null or stops taking bytes.
bool writeText(vst3::IBStream* stream, const std::string& text);
} // namespace Vst3StateStream
