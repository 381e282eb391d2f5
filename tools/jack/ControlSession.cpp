#include "tools/jack/ControlSession.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/RealParam.h"
#include "ZaRorurarozeParam.h"
#include "tools/jack/RealtimePlugin.h"
#include "tools/render/FxPreset.h"
#include "tools/render/TemporaryFile.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

namespace zr::jack
{
namespace
{
// The audio thread takes changes within one period; this long means it is not running.
constexpr std::chrono::milliseconds kApplyTimeout{2000};
// The version and parameter count the VST 2 plug-in reports, so its files and ours are the same bytes; Sd
// Source, ours alone, is in the chunk while on, and the VST 2 plug-in passes it by.
constexpr VstInt32 kPluginVersion = 1;
constexpr int kVst2Params = ZaRorurarozeParam::count;

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && host::lowered(text.substr(text.size() - suffix.size())) == suffix;
}

std::string chunkText(const std::vector<char>& chunk)
{
    std::size_t length = 0;
    while (length < chunk.size() && chunk[length] != '\0')
        ++length;
    return std::string(chunk.data(), length);
}
} // namespace

const char* const ControlSession::kCommandHelp =
    "commands, one a line: set NAME VALUE | list | save FILE.fxp|FILE.fxb | load FILE | quit\n";

ControlSession::ControlSession(RealtimePlugin& realtime, std::FILE* out, std::FILE* err)
    : realtime_(realtime), out_(out), err_(err), shadow_(ZaRorurarozePlugin::KeyInput::stereo),
      resolver_(parameters_, true)
{
    ParamList& list = shadow_.paramList;
    for (int i = 0; i < list.numParams(); ++i) {
        Param& param = *list.param(i);
        host::ParameterInfo info;
        info.index = i;
        info.hostName = param.getDisplayName();
        info.label = param.getDisplayLabel();
        info.saveKey = param.getSaveName();
        info.unit = host::unitOfLabel(info.label);
        info.isSwitch = dynamic_cast<BoolParam*>(&param) != nullptr;
        if (const auto* real = dynamic_cast<RealParam*>(&param)) {
            info.minValue = real->getMinValue();
            info.maxValue = real->getMaxValue();
        }
        param.setKnobPos(0.0);
        info.displayAtMin = param.getDisplayValue();
        param.setKnobPos(1.0);
        info.displayAtMax = param.getDisplayValue();
        param.resetToDefault();
        parameters_.push_back(info);
    }
}

void ControlSession::syncShadow()
{
    if (audioRunning_ && !realtime_.waitUntilApplied(kApplyTimeout))
        std::fprintf(err_, "zaroruraroze-jack: the audio thread has not taken the last changes yet (is the "
                           "server still running?); using the values it runs with\n");
    for (int i = 0; i < realtime_.numParams(); ++i)
        setParamValue(*shadow_.paramList.param(i), realtime_.publishedValue(i));
}

void ControlSession::sendShadow(const std::vector<int>& indices)
{
    std::vector<int> all;
    for (int i = 0; indices.empty() && i < realtime_.numParams(); ++i)
        all.push_back(i);
    for (int index : indices.empty() ? all : indices) {
        const double value = paramValue(*shadow_.paramList.param(index));
        const auto deadline = std::chrono::steady_clock::now() + kApplyTimeout;
        // A full queue drains within a period; the control thread waits, the audio thread never does.
        while (!realtime_.post(index, value)) {
            if (!audioRunning_) {
                realtime_.applyPending();
            } else if (std::chrono::steady_clock::now() >= deadline) {
                throw std::runtime_error("the audio thread takes no changes (is the server still running?)");
            } else {
                realtime_.waitUntilApplied(std::chrono::milliseconds(1));
            }
        }
    }
    if (!audioRunning_) realtime_.applyPending();
}

void ControlSession::applySettings(const std::vector<host::Setting>& settings)
{
    // Everything is checked before anything changes; the last setting of a parameter wins.
    std::map<int, host::ResolvedSetting> byIndex;
    for (const host::Setting& setting : settings) {
        const host::ResolvedSetting r = resolver_.resolve(setting);
        byIndex.erase(r.param->index);
        byIndex.emplace(r.param->index, r);
    }
    syncShadow();
    std::vector<int> changed;
    for (const auto& [index, r] : byIndex) {
        Param& param = *shadow_.paramList.param(index);
        if (r.byKnob)
            param.setKnobPos(r.knobPos);
        else
            setParamValue(param, r.value);
        changed.push_back(index);
    }
    if (!changed.empty()) sendShadow(changed);
}

void ControlSession::loadFile(const std::string& path)
{
    host::FxPreset preset;
    try {
        preset = host::readFxPresetFile(path);
    } catch (const host::PresetFileError& e) {
        throw host::PresetFileError("cannot load preset " + path + ": " + e.what());
    }
    const auto refuse = [&](const std::string& why) {
        throw host::PresetFileError("cannot load preset " + path + ": " + why);
    };
    if (preset.pluginId != shadow_.uniqueId)
        refuse("it was made for the plug-in with ID '" + host::fourCharText(preset.pluginId) +
               "', not for this one ('" + host::fourCharText(shadow_.uniqueId) + "')");
    syncShadow();
    switch (preset.kind) {
    case host::FxKind::ProgramChunk:
        PluginState::loadProgram(shadow_, program_, chunkText(preset.chunk));
        break;
    case host::FxKind::BankChunk: {
        if (!PluginState::loadBank(shadow_, program_, chunkText(preset.chunk)))
            refuse("its chunk holds no bank of programs");
        const int programs = static_cast<int>(shadow_.presetBank.presetList.size());
        if (preset.currentProgram > 0 && preset.currentProgram < programs) {
            program_ = preset.currentProgram;
            shadow_.paramList.loadPreset(shadow_.presetBank.getPreset(program_));
        }
        break;
    }
    case host::FxKind::ProgramParams: {
        // The VST 2 plug-in's eleven, or ours; what the file does not hold goes to its default.
        const std::vector<float>& knobs = preset.program.knobPositions;
        const int numParams = shadow_.paramList.numParams();
        if (static_cast<int>(knobs.size()) != numParams && static_cast<int>(knobs.size()) != kVst2Params)
            refuse("the preset holds " + std::to_string(knobs.size()) + " parameters, the plug-in has " +
                   std::to_string(numParams));
        for (int i = 0; i < numParams; ++i)
            if (i < static_cast<int>(knobs.size()))
                shadow_.paramList.vstSetParameter(i, knobs[static_cast<std::size_t>(i)]);
            else
                shadow_.paramList.param(i)->resetToDefault();
        shadow_.presetBank.getPreset(program_).name = preset.program.name;
        break;
    }
    case host::FxKind::BankParams:
        refuse("it is a bank of parameter values; this plug-in's banks are state chunks");
    }
    sendShadow({});
}

void ControlSession::saveFile(const std::string& path)
{
    const bool bank = endsWith(path, ".fxb");
    if (!bank && !endsWith(path, ".fxp"))
        throw host::FileError("save wants a program file (.fxp) or a bank file (.fxb), not " + path);
    syncShadow();
    const std::string text =
        bank ? PluginState::saveBank(shadow_, program_) : PluginState::saveProgram(shadow_, program_);
    host::FxPreset preset;
    preset.kind = bank ? host::FxKind::BankChunk : host::FxKind::ProgramChunk;
    preset.pluginId = shadow_.uniqueId;
    preset.pluginVersion = kPluginVersion;
    preset.count = bank ? static_cast<VstInt32>(shadow_.presetBank.presetList.size()) : kVst2Params;
    preset.currentProgram = bank ? program_ : 0;
    preset.program.name = shadow_.presetBank.getPreset(program_).name;
    // With the terminating zero, as the VST 2 plug-in hands its chunk over.
    preset.chunk.assign(text.c_str(), text.c_str() + text.size() + 1);
    const std::vector<unsigned char> bytes = host::serializeFxPreset(preset);
    host::TemporaryFile file(path);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

std::string ControlSession::displayOf(int index) const
{
    const Param& param = *shadow_.paramList.param(index);
    const std::string label = param.getDisplayLabel();
    return param.getDisplayValue() + (label.empty() ? "" : " " + label);
}

std::string ControlSession::listing()
{
    syncShadow();
    std::string text;
    char line[256];
    std::snprintf(line, sizeof line, "%3s  %-9s %-24s %-12s %s\n", "#", "name", "save name", "value",
                  "range");
    text += line;
    for (const host::ParameterInfo& p : parameters_) {
        const std::string unit = p.label.empty() ? "" : " " + p.label;
        const std::string range = p.isSwitch ? p.displayAtMin + " / " + p.displayAtMax
                                             : p.displayAtMin + " .. " + p.displayAtMax + unit;
        std::snprintf(line, sizeof line, "%3d  %-9s %-24s %-12s %s\n", p.index, p.hostName.c_str(),
                      p.saveKey.c_str(), displayOf(p.index).c_str(), range.c_str());
        text += line;
    }
    return text;
}

host::Setting ControlSession::splitSetting(const std::string& typed) const
{
    std::string arguments = typed;
    std::replace(arguments.begin(), arguments.end(), '\t', ' ');
    const std::size_t equals = arguments.find('=');
    if (equals != std::string::npos) return {arguments.substr(0, equals), arguments.substr(equals + 1)};
    // Names may hold spaces ("Out Gain"), values too ("-6 dB"). The longest front that is a parameter's
    // name is the name; failing that, the shortest front the looser matching takes.
    std::optional<host::Setting> loose;
    std::optional<host::Setting> exact;
    for (std::size_t cut = arguments.find(' '); cut != std::string::npos;
         cut = arguments.find(' ', cut + 1)) {
        const std::string name = host::trimmed(arguments.substr(0, cut));
        const host::Setting setting{name, arguments.substr(cut + 1)};
        const std::string wanted = host::lowered(name);
        for (const host::ParameterInfo& p : parameters_)
            if (wanted == host::lowered(p.hostName) || wanted == host::lowered(p.saveKey)) exact = setting;
        try {
            resolver_.find(name);
            if (!loose) loose = setting;
        } catch (const host::SettingError&) {}
    }
    if (exact) return *exact;
    if (loose) return *loose;
    const std::size_t space = arguments.find(' ');
    if (space == std::string::npos) throw host::SettingError("set wants a name and a value: set NAME VALUE");
    resolver_.find(arguments.substr(0, space));
    throw host::SettingError("set wants a name and a value: set NAME VALUE");
}

void ControlSession::setCommand(const std::string& arguments)
{
    const host::Setting setting = splitSetting(arguments);
    applySettings({setting});
    const host::ParameterInfo& p = resolver_.find(setting.name);
    syncShadow();
    std::fprintf(out_, "%s = %s\n", p.hostName.c_str(), displayOf(p.index).c_str());
}

bool ControlSession::handleLine(const std::string& line)
{
    std::string text = host::trimmed(line);
    if (!text.empty() && text.back() == '\r') text = host::trimmed(text.substr(0, text.size() - 1));
    if (text.empty() || text[0] == '#') return true;
    const std::size_t space = text.find_first_of(" \t");
    const std::string command = host::lowered(text.substr(0, space));
    const std::string arguments = space == std::string::npos ? "" : host::trimmed(text.substr(space + 1));
    try {
        if (command == "quit" || command == "exit") {
            return false;
        } else if (command == "set") {
            setCommand(arguments);
        } else if (command == "list") {
            std::fputs(listing().c_str(), out_);
        } else if (command == "save" && !arguments.empty()) {
            saveFile(arguments);
            std::fprintf(out_, "saved %s\n", arguments.c_str());
        } else if (command == "load" && !arguments.empty()) {
            loadFile(arguments);
            std::fprintf(out_, "loaded %s\n", arguments.c_str());
        } else if (command == "help") {
            std::fputs(kCommandHelp, out_);
        } else {
            std::fprintf(err_, "zaroruraroze-jack: unknown command '%s'; %s", text.c_str(), kCommandHelp);
        }
    } catch (const std::exception& e) {
        std::fprintf(err_, "zaroruraroze-jack: %s\n", e.what());
    }
    std::fflush(out_);
    return true;
}
} // namespace zr::jack
