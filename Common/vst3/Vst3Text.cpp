#include "Common/vst3/Vst3Text.h"

#include <algorithm>
#include <cstring>

namespace vst3
{
namespace
{
// The code point starting at text[at], advancing at past it; '?' for a malformed or astral sequence.
char32_t decodeUtf8(const std::string& text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at++);
    if (first < 0x80) return first;
    int more = first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : -1;
    if (first >= 0xF0 || more < 0) {
        while (at < text.size() && (byte(at) & 0xC0) == 0x80)
            ++at;
        return U'?';
    }
    char32_t code = first & (more == 1 ? 0x1F : 0x0F);
    for (; more > 0; --more) {
        if (at >= text.size() || (byte(at) & 0xC0) != 0x80) return U'?';
        code = (code << 6) | (byte(at++) & 0x3F);
    }
    return code;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}
} // namespace

void copyToString128(const std::string& text, String128 dest)
{
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size() && units < 127;)
        dest[units++] = static_cast<TChar>(decodeUtf8(text, at));
    std::fill(dest + units, dest + 128, TChar(0));
}

void copyToChars(const std::string& text, char* dest, std::size_t size)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(dest, text.data(), n);
    std::memset(dest + n, 0, size - n);
}

std::string utf8Of(const TChar* text, std::size_t maxUnits)
{
    std::string out;
    for (std::size_t i = 0; text != nullptr && i < maxUnits && text[i] != 0; ++i) {
        const char16_t unit = text[i];
        // A surrogate half stands for a character beyond what the framework's texts use.
        appendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? U'?' : char32_t(unit));
    }
    return out;
}
} // namespace vst3
