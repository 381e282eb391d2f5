#pragma once
// What a plug-in's parameters are, learnt through the VST 2 interface alone: the name the host shows,
// the unit label, and - for a plug-in whose program chunk is the tab-indented text format - the key
// under which the chunk stores each parameter and its range in base units. The chunk does not say which
// key belongs to which index, so each knob is moved to both ends and the changed key is watched; the
// state found at the start is restored afterwards.

#include "tools/render/UserValue.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host
{
class VstHost;

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

class ParameterCatalog
{
public:
    // Explores every parameter of the plug-in and leaves its state as it found it.
    explicit ParameterCatalog(VstHost& host);

    const std::vector<ParameterInfo>& parameters() const { return parameters_; }
    // Whether exact values can be set through the program chunk text.
    bool editsChunk() const { return editsChunk_; }

    // By the name the host shows (also by its first 8 characters, the length hosts cut names to) or by
    // the save key, case-insensitive. Throws SettingError listing the valid names when none matches.
    const ParameterInfo& find(const std::string& name) const;
    std::string validNames() const;

    // Checks every setting first and throws SettingError before changing anything; then sets all exact
    // values in one program-chunk edit, the knob positions after it, and checks that the plug-in took
    // them.
    void apply(VstHost& host, const std::vector<Setting>& settings) const;

    // The program chunk as text (empty when the plug-in keeps none).
    static std::string stateText(VstHost& host);

private:
    struct Resolved
    {
        const ParameterInfo* param;
        bool byKnob;
        float knobPos;
        double value;
        std::string userText;
    };
    Resolved resolve(const Setting& setting) const;

    std::vector<ParameterInfo> parameters_;
    bool editsChunk_ = false;
};
} // namespace zr::host
