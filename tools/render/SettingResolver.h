#pragma once
// A user's parameter settings ("Threshold=-20dB", "attack=@0.3") resolved against a list of parameters:
// names matched case-insensitively by the name a host shows or the key presets store, values read in the
// parameter's unit and checked against its range. Shared by every front end that takes settings as text,
// so they all accept the same names and values and say the same when one is wrong.

#include "Common/musicplugin/UserValue.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host
{
// A setting the user got wrong (unknown name, unreadable or out-of-range value); the message says how.
class SettingError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct ParameterInfo
{
    int index = 0;
    std::string hostName; // as the plug-in reports it, at most 8 characters for most plug-ins
    std::string label;
    std::string saveKey; // the key in the program chunk; empty when it could not be found
    ValueUnit unit = ValueUnit::Plain;
    bool isSwitch = false; // the stored value is a word ("true"/"false"), not a number
    double minValue = 0.0; // stored value at the knob's ends, base units (numeric parameters)
    double maxValue = 1.0;
    std::string storedAtMin; // stored texts at knob 0 and 1
    std::string storedAtMax;
    std::string displayAtMin; // the plug-in's display texts at knob 0 and 1
    std::string displayAtMax;
};

struct Setting
{
    std::string name;
    std::string valueText;
};

// What a setting asks for: a knob position (switches, "@0.25") or an exact value in base units.
struct ResolvedSetting
{
    const ParameterInfo* param;
    bool byKnob;
    float knobPos;
    double value;
    std::string userText;
};

// ASCII lower case; spaces and tabs cut from both ends. The name matching's notion of "the same name".
std::string lowered(std::string text);
std::string trimmed(const std::string& text);

class SettingResolver
{
public:
    // Borrows the list. exactValues: whether exact values can be set at all (else only knob positions).
    SettingResolver(const std::vector<ParameterInfo>& parameters, bool exactValues);

    // By the name the host shows (also by its first 8 characters, the length hosts cut names to) or by
    // the save key, case-insensitive. Throws SettingError listing the valid names when none matches.
    const ParameterInfo& find(const std::string& name) const;
    std::string validNames() const;
    // Throws SettingError saying what is wrong.
    ResolvedSetting resolve(const Setting& setting) const;

private:
    const std::vector<ParameterInfo>& parameters_;
    bool exactValues_;
};
} // namespace zr::host
