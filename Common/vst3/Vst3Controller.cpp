#include "Common/vst3/Vst3Controller.h"

#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/Param.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/UserValue.h"
#include "Common/vst3/Vst3Processor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace vst3;

namespace
{
bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

Vst3Controller::Vst3Controller(std::unique_ptr<MusicPlugin> shadow, std::unique_ptr<MusicPlugin> converter,
                               const Vst3ParamTable& table, Vst3Processor& processor)
    : shadow(std::move(shadow)), converter(std::move(converter)), table(table), processor(processor),
      guard(table.numControls())
{
    for (int i = 0; i < table.numControls(); ++i)
        pulled.push_back(processor.publishedValue(i));
}

Vst3Controller::~Vst3Controller() = default;

Param* Vst3Controller::converterParam(const Vst3ParamTable::Entry& entry)
{
    return converter->paramList.param(entry.control);
}

void Vst3Controller::pull()
{
    for (int i = 0; i < table.numControls(); ++i) {
        const double value = processor.publishedValue(i);
        if (sameBits(value, pulled[static_cast<std::size_t>(i)])) continue;
        pulled[static_cast<std::size_t>(i)] = value;
        Param& param = *shadow->paramList.param(i);
        if (paramValue(param) == value) continue;
        setParamValue(param, value);
        guard.disarm(i);
    }
}

bool Vst3Controller::textOf(ParamID id, double normalized, std::string& text)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr || std::isnan(normalized)) return false;
    normalized = std::clamp(normalized, 0.0, 1.0);
    MutexLock lock(mutex);
    if (entry->meter >= 0) {
        text = NormalDisplay::globalInstance.display(entry->minValue +
                                                     normalized * (entry->maxValue - entry->minValue));
        return true;
    }
    // What the parameter shows once the processor applied that knob position; the default's exactly.
    if (normalized == entry->defaultNormalized)
        setParamValue(*converterParam(*entry), entry->defaultValue);
    else
        converter->paramList.vstSetParameter(entry->control, static_cast<float>(normalized));
    text = converter->paramList.getDisplayValue(entry->control);
    return true;
}

bool Vst3Controller::normalizedOfText(ParamID id, const std::string& text, double& normalized)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr) return false;
    MutexLock lock(mutex);
    if (entry->meter >= 0) {
        const auto reading = zr::host::parseUserValue(text, zr::host::ValueUnit::Plain, entry->units);
        if (!reading) return false;
        normalized = Vst3ParamTable::normalizedReading(*entry, *reading);
        return true;
    }
    Param* param = converterParam(*entry);
    const auto value = zr::host::parseParamText(*param, text);
    if (!value || std::isnan(*value)) return false;
    setParamValue(*param, *value);
    normalized = param->getKnobPos();
    return true;
}

double Vst3Controller::plainOf(ParamID id, double normalized)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr || std::isnan(normalized)) return 0.0;
    normalized = std::clamp(normalized, 0.0, 1.0);
    if (entry->meter >= 0) return entry->minValue + normalized * (entry->maxValue - entry->minValue);
    // The default's knob position stands for the exact default, which a round trip could miss by an ulp.
    if (normalized == entry->defaultNormalized)
        return Vst3ParamTable::plainOfValue(*entry, entry->defaultValue);
    MutexLock lock(mutex);
    Param* param = converterParam(*entry);
    param->setKnobPos(normalized);
    return Vst3ParamTable::plainOfValue(*entry, paramValue(*param));
}

double Vst3Controller::normalizedOfPlain(ParamID id, double plain)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr) return 0.0;
    if (entry->meter >= 0) return Vst3ParamTable::normalizedReading(*entry, plain);
    MutexLock lock(mutex);
    Param* param = converterParam(*entry);
    setParamValue(*param, Vst3ParamTable::valueOfPlain(*entry, plain));
    return param->getKnobPos();
}

double Vst3Controller::normalized(ParamID id)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr) return 0.0;
    if (entry->meter >= 0)
        return Vst3ParamTable::normalizedReading(*entry, processor.meterReading(entry->meter));
    MutexLock lock(mutex);
    pull();
    return shadow->paramList.param(entry->control)->getKnobPos();
}

bool Vst3Controller::setNormalized(ParamID id, double normalized)
{
    const Vst3ParamTable::Entry* entry = table.find(id);
    if (entry == nullptr || std::isnan(normalized)) return false;
    normalized = std::clamp(normalized, 0.0, 1.0);
    if (entry->meter >= 0) {
        // Hosts hand the meter values the processor sent back to the controller.
        processor.setMeterReading(entry->meter,
                                  entry->minValue + normalized * (entry->maxValue - entry->minValue));
        return true;
    }
    MutexLock lock(mutex);
    pull();
    if (guard.isEcho(entry->control, normalized)) return true;
    guard.disarm(entry->control);
    // The same float the processor applies for this position.
    shadow->paramList.vstSetParameter(entry->control, static_cast<float>(normalized));
    return true;
}

std::string Vst3Controller::saveState()
{
    MutexLock lock(mutex);
    pull();
    return PluginState::saveBank(*shadow, 0);
}

bool Vst3Controller::loadState(const std::string& text)
{
    MutexLock lock(mutex);
    pull();
    if (!PluginState::loadBank(*shadow, 0, text)) return false;
    const std::size_t count = static_cast<std::size_t>(table.numControls());
    std::vector<double> values(count);
    std::vector<double> knobs(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Param& param = *shadow->paramList.param(static_cast<int>(i));
        values[i] = paramValue(param);
        knobs[i] = param.getKnobPos();
        guard.arm(static_cast<int>(i), knobs[i]);
        // What the audio thread published before this state is older than it.
        pulled[i] = processor.publishedValue(static_cast<int>(i));
    }
    processor.postState(values, knobs);
    return true;
}
