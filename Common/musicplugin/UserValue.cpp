#include "Common/musicplugin/UserValue.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace zr::host
{
namespace
{
std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (suffix.empty() || suffix.size() > text.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (lower(tail[i]) != lower(suffix[i])) return false;
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && endsWithNoCase(a, b);
}

// Reads the longest number at the front; nullopt when there is none.
std::optional<double> leadingNumber(std::string_view text, std::size_t& consumed)
{
    std::size_t start = 0;
    if (!text.empty() && text[0] == '+') start = 1; // from_chars takes only a minus sign
    double value = 0.0;
    const char* begin = text.data() + start;
    const auto result = std::from_chars(begin, text.data() + text.size(), value);
    if (result.ec != std::errc() || (start == 1 && begin < text.data() + text.size() && *begin == '-'))
        return std::nullopt;
    consumed = static_cast<std::size_t>(result.ptr - text.data());
    return value;
}

std::optional<double> prefixFactor(std::string_view prefix)
{
    if (prefix.empty()) return 1.0;
    if (prefix == "\xC2\xB5") return 1e-6; // the micro sign in UTF-8
    if (prefix.size() != 1) return std::nullopt;
    switch (prefix[0]) {
    case 'p':
        return 1e-12;
    case 'n':
        return 1e-9;
    case 'u':
        return 1e-6;
    case 'm':
        return 1e-3;
    case 'k':
    case 'K':
        return 1e3;
    case 'M':
        return 1e6;
    case 'G':
        return 1e9;
    default:
        return std::nullopt;
    }
}

std::string formatWithPrefix(double value, const char* unit)
{
    static const std::array<std::pair<double, const char*>, 6> prefixes = {
        {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "u"}}};
    const double magnitude = std::fabs(value);
    double scale = 1.0;
    const char* prefix = "";
    if (magnitude > 0.0) {
        for (const auto& [factor, letter] : prefixes) {
            scale = factor;
            prefix = letter;
            if (magnitude >= factor) break;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.6g %s%s", value / scale, prefix, unit);
    return text;
}
} // namespace

ValueUnit unitOfLabel(const std::string& label)
{
    if (label == "dB") return ValueUnit::Decibel;
    if (label == "Hz") return ValueUnit::Hertz;
    if (label == "s") return ValueUnit::Seconds;
    if (label == "%") return ValueUnit::Percent;
    return ValueUnit::Plain;
}

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t consumed = 0;
    const auto value = leadingNumber(text, consumed);
    if (!value || consumed != text.size() || std::isnan(*value)) return std::nullopt;
    return value;
}

std::optional<double> parseUserValue(std::string_view text, ValueUnit unit, const std::string& label)
{
    std::string_view rest = trim(text);
    switch (unit) {
    case ValueUnit::Decibel:
        if (endsWithNoCase(rest, "db")) rest = trim(rest.substr(0, rest.size() - 2));
        if (equalsNoCase(rest, "-inf") || equalsNoCase(rest, "-oo")) return 0.0;
        break;
    case ValueUnit::Hertz:
        if (endsWithNoCase(rest, "hz")) rest = rest.substr(0, rest.size() - 2);
        break;
    case ValueUnit::Seconds:
        if (endsWithNoCase(rest, "sec"))
            rest = rest.substr(0, rest.size() - 3);
        else if (endsWithNoCase(rest, "s"))
            rest = rest.substr(0, rest.size() - 1);
        break;
    case ValueUnit::Percent:
        if (!rest.empty() && rest.back() == '%') rest.remove_suffix(1);
        break;
    case ValueUnit::Plain:
        if (endsWithNoCase(rest, label)) rest = rest.substr(0, rest.size() - label.size());
        break;
    }
    rest = trim(rest);
    std::size_t consumed = 0;
    const auto number = leadingNumber(rest, consumed);
    if (!number || !std::isfinite(*number)) return std::nullopt;
    const std::string_view prefix = trim(rest.substr(consumed));
    const bool prefixAllowed =
        unit == ValueUnit::Hertz || unit == ValueUnit::Seconds || unit == ValueUnit::Plain;
    if (!prefix.empty() && !prefixAllowed) return std::nullopt;
    const auto factor = prefixFactor(prefix);
    if (!factor) return std::nullopt;
    const double value = *number * *factor;
    switch (unit) {
    case ValueUnit::Decibel:
        return std::pow(10.0, value / 20.0);
    case ValueUnit::Percent:
        return value / 100.0;
    default:
        return value;
    }
}

std::optional<double> parseParamText(const Param& param, std::string_view text)
{
    const std::string_view word = trim(text);
    if (const auto* toggle = dynamic_cast<const BoolParam*>(&param)) {
        const auto on = parseSwitchWord(word, toggle->displayWord(false), toggle->displayWord(true));
        if (!on) return std::nullopt;
        return *on ? 1.0 : 0.0;
    }
    const std::string label = param.getDisplayLabel();
    const auto value = parseUserValue(word, unitOfLabel(label), label);
    if (value && dynamic_cast<const IntegerParam*>(&param) != nullptr) return std::round(*value);
    return value;
}

std::optional<bool> parseSwitchWord(std::string_view word, std::string_view offWord, std::string_view onWord)
{
    for (const char* on : {"on", "yes", "true", "1"})
        if (equalsNoCase(word, on)) return true;
    for (const char* off : {"off", "no", "false", "0"})
        if (equalsNoCase(word, off)) return false;
    // The switch's own words, such as "key".
    if (!onWord.empty() && equalsNoCase(word, onWord)) return true;
    if (!offWord.empty() && equalsNoCase(word, offWord)) return false;
    return std::nullopt;
}

std::string formatUserValue(double baseValue, ValueUnit unit, const std::string& label)
{
    char text[64];
    switch (unit) {
    case ValueUnit::Decibel:
        if (baseValue <= 0.0) return "-inf dB";
        std::snprintf(text, sizeof text, "%.2f dB", 20.0 * std::log10(baseValue));
        return text;
    case ValueUnit::Hertz:
        return formatWithPrefix(baseValue, "Hz");
    case ValueUnit::Seconds:
        return formatWithPrefix(baseValue, "s");
    case ValueUnit::Percent:
        std::snprintf(text, sizeof text, "%.6g %%", baseValue * 100.0);
        return text;
    case ValueUnit::Plain:
        break;
    }
    std::snprintf(text, sizeof text, "%.6g", baseValue);
    return label.empty() ? std::string(text) : std::string(text) + " " + label;
}

std::string formatStoredValue(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
    return std::string(text, result.ptr);
}
} // namespace zr::host
