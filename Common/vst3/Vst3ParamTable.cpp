#include "Common/vst3/Vst3ParamTable.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/RealParam.h"
#include "Common/vst3/Vst3Text.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace vst3;

namespace
{
// The VST 2 build's name length, for hosts that show a short title.
constexpr std::size_t shortTitleChars = 8;

// The plain value of the range's ends.
double plainMinimum(const Vst3ParamTable::Entry& e)
{
    return e.silenceAtMinimum ? Vst3ParamTable::silenceDb : Vst3ParamTable::plainOfValue(e, e.minValue);
}
} // namespace

Vst3ParamTable::Vst3ParamTable(const MusicPlugin& plugin) : numControls_(plugin.paramList.numParams())
{
    for (int i = 0; i < numControls_; ++i) {
        const Param* param = plugin.paramList.param(i);
        Entry e{static_cast<ParamID>(i),
                param->getDisplayName(),
                param->getDisplayName().substr(0, shortTitleChars),
                param->getDisplayLabel(),
                0,
                param->getKnobPos(),
                ParameterInfo::kCanAutomate,
                i,
                -1,
                Unit::same,
                false,
                0.0,
                1.0,
                paramValue(*param)};
        if (const auto* real = dynamic_cast<const RealParam*>(param)) {
            e.unit = e.units == "dB" ? Unit::decibel : e.units == "%" ? Unit::percent : Unit::same;
            e.minValue = real->getMinValue();
            e.maxValue = real->getMaxValue();
            e.silenceAtMinimum = e.unit == Unit::decibel && e.minValue <= 0.0;
        } else if (const auto* integer = dynamic_cast<const IntegerParam*>(param)) {
            e.minValue = integer->clip(INT_MIN);
            e.maxValue = integer->clip(INT_MAX);
            e.stepCount = static_cast<std::int32_t>(std::min(e.maxValue - e.minValue, double(INT_MAX)));
        } else if (dynamic_cast<const BoolParam*>(param) != nullptr) {
            e.stepCount = 1;
        }
        entries_.push_back(e);
    }
    for (int j = 0; j < plugin.numMeters(); ++j) {
        const MusicPlugin::MeterInfo info = plugin.meterInfo(j);
        if (info.editorOnly) continue;
        Entry e{static_cast<ParamID>(entries_.size()),
                info.name,
                info.name.substr(0, shortTitleChars),
                info.unit,
                0,
                0.0,
                ParameterInfo::kIsReadOnly,
                -1,
                j,
                Unit::same,
                false,
                info.minValue,
                info.maxValue,
                info.minValue};
        entries_.push_back(e);
    }
}

const Vst3ParamTable::Entry* Vst3ParamTable::find(ParamID id) const
{
    return id < entries_.size() ? &entries_[id] : nullptr;
}

void Vst3ParamTable::fillInfo(const Entry& entry, ParameterInfo& info) const
{
    info.id = entry.id;
    copyToString128(entry.title, info.title);
    copyToString128(entry.shortTitle, info.shortTitle);
    copyToString128(entry.units, info.units);
    info.stepCount = entry.stepCount;
    info.defaultNormalizedValue = entry.defaultNormalized;
    info.unitId = 0; // the root unit: the parameters form no groups
    info.flags = entry.flags;
}

double Vst3ParamTable::plainOfValue(const Entry& entry, double value)
{
    switch (entry.unit) {
    case Unit::decibel:
        if (entry.silenceAtMinimum && !(value > std::pow(10.0, silenceDb / 20.0))) return silenceDb;
        return 20.0 * std::log10(value);
    case Unit::percent:
        return value * 100.0;
    case Unit::same:
        break;
    }
    return value;
}

double Vst3ParamTable::valueOfPlain(const Entry& entry, double plain)
{
    if (!(plain > plainMinimum(entry))) return entry.minValue;
    if (plain >= plainOfValue(entry, entry.maxValue)) return entry.maxValue;
    if (plain == plainOfValue(entry, entry.defaultValue)) return entry.defaultValue;
    double value = plain;
    if (entry.unit == Unit::decibel) value = std::pow(10.0, plain / 20.0);
    if (entry.unit == Unit::percent) value = plain / 100.0;
    // Rounding in the conversion must not step outside the range the parameter accepts.
    return std::clamp(value, entry.minValue, entry.maxValue);
}

double Vst3ParamTable::clampedReading(const Entry& entry, double reading)
{
    if (!(reading > entry.minValue)) return entry.minValue;
    return reading < entry.maxValue ? reading : entry.maxValue;
}

double Vst3ParamTable::normalizedReading(const Entry& entry, double reading)
{
    const double width = entry.maxValue - entry.minValue;
    return width > 0.0 ? (clampedReading(entry, reading) - entry.minValue) / width : 0.0;
}
