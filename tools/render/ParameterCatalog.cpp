#include "tools/render/ParameterCatalog.h"

#include "tools/render/ProgramState.h"
#include "tools/render/VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace zr::host
{
namespace
{
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

bool isSwitchWord(const std::string& display)
{
    const std::string word = lowered(trimmed(display));
    return word == "on" || word == "off" || word == "true" || word == "false" || word == "yes" ||
           word == "no";
}

// Hosts cut names to 8 characters; a name that long may be the front of a longer one.
constexpr std::size_t kHostNameCut = 8;

// The state text keeps 6 significant digits, so a value reads back within half a unit of the sixth.
constexpr double kStoredRelativeTolerance = 1e-5;
// Range ends given in the user's unit go through pow/log10 and may land an ulp or so outside.
constexpr double kRangeRelativeTolerance = 1e-9;

void fillStoredRange(ParameterInfo& info)
{
    const auto lo = parseNumber(info.storedAtMin);
    const auto hi = parseNumber(info.storedAtMax);
    info.isSwitch = !lo || !hi;
    if (info.isSwitch) return;
    info.minValue = std::min(*lo, *hi);
    info.maxValue = std::max(*lo, *hi);
}
} // namespace

ParameterCatalog::ParameterCatalog(VstHost& host)
{
    const std::vector<char> original = host.getChunk(true);
    editsChunk_ = host.hasProgramChunks() && ProgramState::fromChunk(original).hasParameterList();
    std::vector<std::string> claimedKeys;
    for (int i = 0; i < host.numParams(); ++i) {
        ParameterInfo info;
        info.index = i;
        info.hostName = host.parameterName(i);
        info.label = host.parameterLabel(i);
        const float knobPos = host.getParameter(i);

        host.setParameter(i, 0.0f);
        info.displayAtMin = host.parameterDisplay(i);
        const ProgramState atMin =
            ProgramState::fromChunk(editsChunk_ ? host.getChunk(true) : std::vector<char>());
        host.setParameter(i, 1.0f);
        info.displayAtMax = host.parameterDisplay(i);
        const ProgramState atMax =
            ProgramState::fromChunk(editsChunk_ ? host.getChunk(true) : std::vector<char>());

        std::vector<std::string> changedKeys;
        for (const auto& [key, value] : atMax.parameters())
            if (atMin.value(key) != value) changedKeys.push_back(key);
        // A knob that drags others along changes several keys; the first one not yet taken is its own.
        for (const std::string& key : changedKeys) {
            if (std::find(claimedKeys.begin(), claimedKeys.end(), key) != claimedKeys.end()) continue;
            info.saveKey = key;
            info.storedAtMin = atMin.value(key).value_or("");
            info.storedAtMax = atMax.value(key).value_or("");
            claimedKeys.push_back(key);
            break;
        }
        if (!info.saveKey.empty()) {
            fillStoredRange(info);
        } else {
            info.isSwitch = isSwitchWord(info.displayAtMin) && isSwitchWord(info.displayAtMax);
        }
        info.unit = unitOfLabel(info.label);
        // A "dB" parameter that stores negative numbers keeps decibels, not amplitude factors.
        if (info.unit == ValueUnit::Decibel && info.minValue < 0.0) info.unit = ValueUnit::Plain;

        if (editsChunk_)
            host.setChunk(original, true);
        else
            host.setParameter(i, knobPos);
        parameters_.push_back(info);
    }
}

const ParameterInfo& ParameterCatalog::find(const std::string& name) const
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

std::string ParameterCatalog::validNames() const
{
    std::string names;
    for (const ParameterInfo& p : parameters_) {
        if (!names.empty()) names += ", ";
        names += p.hostName;
        if (!p.saveKey.empty()) names += " (" + p.saveKey + ")";
    }
    return names;
}

ParameterCatalog::Resolved ParameterCatalog::resolve(const Setting& setting) const
{
    const ParameterInfo& p = find(setting.name);
    const std::string text = trimmed(setting.valueText);
    const std::string what = setting.name + "=" + setting.valueText;
    Resolved r{&p, true, 0.0f, 0.0, text};
    if (!text.empty() && text[0] == '@') {
        const auto knobPos = parseNumber(std::string_view(text).substr(1));
        if (!knobPos || *knobPos < 0.0 || *knobPos > 1.0)
            throw SettingError(what + ": a knob position after '@' lies between 0 and 1");
        r.knobPos = static_cast<float>(*knobPos);
        return r;
    }
    if (p.isSwitch) {
        const std::string word = lowered(text);
        if (word == "on" || word == "true" || word == "yes" || word == "1")
            r.knobPos = 1.0f;
        else if (word == "off" || word == "false" || word == "no" || word == "0")
            r.knobPos = 0.0f;
        else
            throw SettingError(what + ": " + setting.name + " is a switch; give on or off");
        return r;
    }
    if (!editsChunk_ || p.saveKey.empty())
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

void ParameterCatalog::apply(VstHost& host, const std::vector<Setting>& settings) const
{
    // Check everything before touching the plug-in; the last setting of a parameter wins.
    std::map<int, Resolved> byIndex;
    for (const Setting& setting : settings) {
        const Resolved r = resolve(setting);
        byIndex.erase(r.param->index);
        byIndex.emplace(r.param->index, r);
    }
    bool anyExact = false;
    for (const auto& entry : byIndex)
        anyExact = anyExact || !entry.second.byKnob;
    if (anyExact) {
        ProgramState state = ProgramState::fromChunk(host.getChunk(true));
        for (const auto& [index, r] : byIndex)
            if (!r.byKnob) state.setValue(r.param->saveKey, formatStoredValue(r.value));
        host.setChunk(state.toChunk(), true);
    }
    for (const auto& [index, r] : byIndex)
        if (r.byKnob) host.setParameter(index, r.knobPos);
    if (!anyExact) return;
    const ProgramState after = ProgramState::fromChunk(host.getChunk(true));
    for (const auto& [index, r] : byIndex) {
        if (r.byKnob) continue;
        const auto stored = parseNumber(after.value(r.param->saveKey).value_or(""));
        const double tolerance =
            kStoredRelativeTolerance * std::max(std::fabs(r.value), std::fabs(stored.value_or(0.0)));
        if (!stored || std::fabs(*stored - r.value) > tolerance)
            throw SettingError("the plug-in did not take " + r.param->hostName + "=" + r.userText +
                               " (it keeps " + after.value(r.param->saveKey).value_or("nothing") + ")");
    }
}

std::string ParameterCatalog::stateText(VstHost& host)
{
    const std::vector<char> chunk = host.getChunk(true);
    if (chunk.empty()) return std::string();
    return std::string(chunk.data(), strnlen(chunk.data(), chunk.size()));
}
} // namespace zr::host
