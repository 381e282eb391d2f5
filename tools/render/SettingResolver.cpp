#include "tools/render/SettingResolver.h"

#include <algorithm>
#include <cmath>

namespace zr::host
{
namespace
{
// Hosts cut names to 8 characters; a name that long may be the front of a longer one.
constexpr std::size_t kHostNameCut = 8;

// Range ends given in the user's unit go through pow/log10 and may land an ulp or so outside.
constexpr double kRangeRelativeTolerance = 1e-9;
} // namespace

std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

SettingResolver::SettingResolver(const std::vector<ParameterInfo>& parameters, bool exactValues)
    : parameters_(parameters), exactValues_(exactValues)
{}

const ParameterInfo& SettingResolver::find(const std::string& name) const
{
    const std::string wanted = lowered(trimmed(name));
    std::vector<const ParameterInfo*> exact;
    std::vector<const ParameterInfo*> byFront;
    for (const ParameterInfo& p : parameters_) {
        const std::string shown = lowered(p.hostName);
        if (wanted.empty()) break;
        if (wanted == shown || wanted == lowered(p.saveKey))
            exact.push_back(&p);
        else if (shown.size() >= kHostNameCut && wanted.compare(0, shown.size(), shown) == 0)
            byFront.push_back(&p);
    }
    const std::vector<const ParameterInfo*>& found = exact.empty() ? byFront : exact;
    if (found.size() == 1) return *found.front();
    if (found.empty()) throw SettingError("unknown parameter '" + name + "'; valid names: " + validNames());
    std::string which;
    for (const ParameterInfo* p : found)
        which += (which.empty() ? "" : ", ") + std::to_string(p->index);
    throw SettingError("the name '" + name + "' fits several parameters (" + which +
                       "); valid names: " + validNames());
}

std::string SettingResolver::validNames() const
{
    std::string names;
    for (const ParameterInfo& p : parameters_) {
        if (!names.empty()) names += ", ";
        names += p.hostName;
        if (!p.saveKey.empty()) names += " (" + p.saveKey + ")";
    }
    return names;
}

ResolvedSetting SettingResolver::resolve(const Setting& setting) const
{
    const ParameterInfo& p = find(setting.name);
    const std::string text = trimmed(setting.valueText);
    const std::string what = setting.name + "=" + setting.valueText;
    ResolvedSetting r{&p, true, 0.0f, 0.0, text};
    if (!text.empty() && text[0] == '@') {
        const auto knobPos = parseNumber(std::string_view(text).substr(1));
        if (!knobPos || *knobPos < 0.0 || *knobPos > 1.0)
            throw SettingError(what + ": a knob position after '@' lies between 0 and 1");
        r.knobPos = static_cast<float>(*knobPos);
        return r;
    }
    if (p.isSwitch) {
        // Or the words the switch shows for its two positions, such as "own input" and "key".
        if (const auto on = parseSwitchWord(text, p.displayAtMin, p.displayAtMax))
            r.knobPos = *on ? 1.0f : 0.0f;
        else
            throw SettingError(what + ": " + setting.name + " is a switch; give " +
                               (lowered(p.displayAtMax) == "on" ? std::string("on or off")
                                                                : p.displayAtMin + " or " + p.displayAtMax));
        return r;
    }
    if (!exactValues_ || p.saveKey.empty())
        throw SettingError(what +
                           ": this plug-in's state cannot be edited as text, so exact values cannot be "
                           "set; give a knob position such as @0.5");
    const auto value = parseUserValue(text, p.unit, p.label);
    const std::string range =
        formatUserValue(p.minValue, p.unit, p.label) + " .. " + formatUserValue(p.maxValue, p.unit, p.label);
    if (!value) throw SettingError(what + ": not a value of this parameter; its range is " + range);
    const double slack = kRangeRelativeTolerance * std::max(std::fabs(p.minValue), std::fabs(p.maxValue));
    if (*value < p.minValue - slack || *value > p.maxValue + slack)
        throw SettingError(what + ": outside the range " + range);
    r.byKnob = false;
    r.value = std::clamp(*value, p.minValue, p.maxValue);
    return r;
}
} // namespace zr::host
