#include "tools/render/ParameterCatalog.h"

#include "tools/render/ProgramState.h"
#include "tools/render/SettingResolver.h"
#include "tools/render/VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace zr::host
{
namespace
{
bool isSwitchWord(const std::string& display)
{
    const std::string word = lowered(trimmed(display));
    return word == "on" || word == "off" || word == "true" || word == "false" || word == "yes" ||
           word == "no";
}

// The state text keeps 6 significant digits, so a value reads back within half a unit of the sixth.
constexpr double kStoredRelativeTolerance = 1e-5;

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
    return SettingResolver(parameters_, editsChunk_).find(name);
}

std::string ParameterCatalog::validNames() const
{
    return SettingResolver(parameters_, editsChunk_).validNames();
}

void ParameterCatalog::apply(VstHost& host, const std::vector<Setting>& settings) const
{
    // Check everything before touching the plug-in; the last setting of a parameter wins.
    const SettingResolver resolver(parameters_, editsChunk_);
    std::map<int, ResolvedSetting> byIndex;
    for (const Setting& setting : settings) {
        const ResolvedSetting r = resolver.resolve(setting);
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
