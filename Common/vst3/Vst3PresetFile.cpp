#include "Common/vst3/Vst3PresetFile.h"

#include <cstdio>

namespace
{
// The file's integers are little-endian on every platform.
void append(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
} // namespace

namespace Vst3PresetFile
{
std::string classIdText(const std::uint32_t classId[4])
{
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", classId[0], classId[1], classId[2], classId[3]);
    return text;
}

std::string make(const std::uint32_t classId[4], const std::string& componentState)
{
    // Header: 'VST3', format version 1, the class ID, the offset of the chunk list.
    constexpr std::uint64_t headerBytes = 4 + 4 + 32 + 8;
    std::string file = "VST3";
    append(file, 1, 4);
    file += classIdText(classId);
    append(file, headerBytes + componentState.size(), 8);
    file += componentState;
    // The list: 'List', the entry count, and per entry its ID, offset and size.
    file += "List";
    append(file, 1, 4);
    file += "Comp";
    append(file, headerBytes, 8);
    append(file, componentState.size(), 8);
    return file;
}
} // namespace Vst3PresetFile
