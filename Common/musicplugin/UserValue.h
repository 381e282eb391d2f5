#pragma once
// Values as a user types them ("-12dB", "1.5k", "10ms", "50%") and their conversion to the base units a
// plug-in keeps in its state: linear amplitude factor for dB, Hz, seconds, and a fraction for percent. The
// unit label the plug-in reports for a parameter says which applies. The command-line tools read their
// settings with it, and the host bridges whose formats turn a host's text into a value read every text a
// parameter's display writes.

#include <optional>
#include <string>
#include <string_view>

class Param;

namespace zr::host
{
enum class ValueUnit
{
    Decibel, // label "dB"; stored as a linear amplitude factor
    Hertz,   // label "Hz"
    Seconds, // label "s"
    Percent, // label "%"; stored as a fraction
    Plain,   // any other label; stored as typed
};

ValueUnit unitOfLabel(const std::string& label);

// The whole text as one number (C locale, optional sign, "inf" allowed); nullopt otherwise.
std::optional<double> parseNumber(std::string_view text);

// A user's value in the base unit, or nullopt when the text is not a value of that unit. Accepts the
// unit itself after the number (any case) and, for Hz, seconds and plain values, one SI prefix
// (p n u m k M G). For dB, "-inf" and "-oo" mean silence (factor 0).
std::optional<double> parseUserValue(std::string_view text, ValueUnit unit, const std::string& label);

// Text for one parameter, as its display writes it or a user types it, with or without the unit: its value
// (a switch's as 0 or 1, "on"/"off", "yes"/"no", "true"/"false" or its own words; an integer's rounded),
// not yet limited to its range; nullopt when the text is no value of it.
std::optional<double> parseParamText(const Param& param, std::string_view text);
// A switch's position from a word: "on"/"off", "yes"/"no", "true"/"false", 1/0 or the words it shows for
// its two positions (an empty one matches nothing), any case; nullopt for any other word.
std::optional<bool> parseSwitchWord(std::string_view word, std::string_view offWord, std::string_view onWord);

// A base-unit value shown in the user's unit, for messages: "-60.00 dB", "2 kHz", "10 ms", "50 %".
std::string formatUserValue(double baseValue, ValueUnit unit, const std::string& label);

// A value as the plug-in's state text takes it: C locale, 17 significant digits, so it reads back
// as the same double.
std::string formatStoredValue(double value);
} // namespace zr::host
