#include "Common/lv2/Lv2PortTable.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/RealParam.h"

#include <algorithm>
#include <cmath>

namespace
{
// The framework's typed parameters say by their label what they hold: "dB" a linear factor shown in dB,
// "s" seconds, "%" a fraction, "Hz" hertz.
Lv2PortTable::Unit unitOfLabel(const std::string& label)
{
    if (label == "Hz") return Lv2PortTable::Unit::hz;
    if (label == "dB") return Lv2PortTable::Unit::db;
    if (label == "s") return Lv2PortTable::Unit::ms;
    if (label == "%") return Lv2PortTable::Unit::percent;
    return label.empty() ? Lv2PortTable::Unit::none : Lv2PortTable::Unit::custom;
}

// A parameter value in port units, before rounding to float.
double portUnits(Lv2PortTable::Unit unit, double value)
{
    switch (unit) {
    case Lv2PortTable::Unit::db:
        return value > 0.0 ? 20.0 * std::log10(value) : -HUGE_VAL;
    case Lv2PortTable::Unit::ms:
        return value * 1000.0;
    case Lv2PortTable::Unit::percent:
        return value * 100.0;
    default:
        return value;
    }
}

double valueUnits(Lv2PortTable::Unit unit, double portValue)
{
    switch (unit) {
    case Lv2PortTable::Unit::db:
        return std::pow(10.0, portValue / 20.0);
    case Lv2PortTable::Unit::ms:
        // Division, not a multiplication by 0.001: 200 ms gives exactly the double 0.2.
        return portValue / 1000.0;
    case Lv2PortTable::Unit::percent:
        return portValue / 100.0;
    default:
        return portValue;
    }
}

float clampedFloat(double value, float low, float high)
{
    if (!(value > low)) return low;
    return value < high ? static_cast<float>(value) : high;
}

std::string channelWord(int channel, int channels)
{
    if (channels == 2) return channel == 0 ? "left" : "right";
    return std::to_string(channel + 1);
}
} // namespace

Lv2PortTable::Lv2PortTable(const MusicPlugin& plugin, int controlsBeforeMeters)
    : numAudioInputs_(plugin.numAudioInputs), numAudioOutputs_(plugin.numAudioOutputs),
      numKeyInputs_(plugin.numKeyInputs)
{
    const int numParams = plugin.paramList.numParams();
    controlsBeforeMeters_ = controlsBeforeMeters < 0 ? numParams : std::min(controlsBeforeMeters, numParams);
    const int firstControl = numAudioInputs_ + numAudioOutputs_;
    const int firstMeter = firstControl + controlsBeforeMeters_;
    firstKeyPort_ = firstMeter + plugin.numMeters();
    const int firstLateControl = firstKeyPort_ + numKeyInputs_;
    for (int i = 0; i < numParams; ++i) {
        const Param* param = plugin.paramList.param(i);
        Control c{i < controlsBeforeMeters_ ? firstControl + i : firstLateControl + i - controlsBeforeMeters_,
                  param->getSaveName(),
                  param->getDisplayName(),
                  param->getDisplayLabel(),
                  Kind::real,
                  Unit::none,
                  false,
                  false,
                  0.0f,
                  0.0f,
                  1.0f,
                  0.0,
                  0.0,
                  1.0};
        if (const auto* real = dynamic_cast<const RealParam*>(param)) {
            c.unit = unitOfLabel(c.label);
            c.minValue = real->getMinValue();
            c.defaultValueExact = real->getDefaultValue();
            c.maxValue = real->getMaxValue();
            c.zeroAtMinimum = (c.unit == Unit::db || c.unit == Unit::ms) && c.minValue <= 0.0;
            c.logarithmic =
                (real->hasLogarithmicKnob() && c.unit != Unit::db) || (c.zeroAtMinimum && c.unit == Unit::ms);
            const double low = !c.zeroAtMinimum     ? portUnits(c.unit, c.minValue)
                               : c.unit == Unit::db ? silenceDb
                                                    : instantMs;
            c.minimum = static_cast<float>(low);
            c.maximum = static_cast<float>(portUnits(c.unit, c.maxValue));
            c.defaultValue = clampedFloat(portUnits(c.unit, c.defaultValueExact), c.minimum, c.maximum);
        } else if (const auto* integer = dynamic_cast<const IntegerParam*>(param)) {
            c.kind = Kind::integer;
            c.minValue = integer->clip(-2147483647 - 1);
            c.maxValue = integer->clip(2147483647);
            c.defaultValueExact = integer->getValue();
            c.minimum = static_cast<float>(c.minValue);
            c.maximum = static_cast<float>(c.maxValue);
            c.defaultValue = static_cast<float>(c.defaultValueExact);
        } else if (const auto* toggle = dynamic_cast<const BoolParam*>(param)) {
            c.kind = Kind::toggle;
            c.defaultValueExact = toggle->getValue() ? 1.0 : 0.0;
            c.defaultValue = static_cast<float>(c.defaultValueExact);
        }
        controls_.push_back(c);
    }
    for (int j = 0; j < plugin.numMeters(); ++j) {
        const MusicPlugin::MeterInfo info = plugin.meterInfo(j);
        meters_.push_back(Meter{firstMeter + j, info.symbol, info.name, info.unit, unitOfLabel(info.unit),
                                static_cast<float>(info.minValue), static_cast<float>(info.maxValue),
                                info.editorOnly});
    }
}

int Lv2PortTable::numPorts() const
{
    return numAudioInputs_ + numAudioOutputs_ + numKeyInputs_ +
           static_cast<int>(controls_.size() + meters_.size());
}

Lv2PortTable::PortRef Lv2PortTable::port(int portIndex) const
{
    const int firstOutput = numAudioInputs_;
    const int firstControl = firstOutput + numAudioOutputs_;
    const int firstMeter = firstControl + controlsBeforeMeters_;
    const int firstLateControl = firstKeyPort_ + numKeyInputs_;
    if (portIndex < 0 || portIndex >= numPorts()) return {PortKind::none, -1};
    if (portIndex < firstOutput) return {PortKind::audioInput, portIndex};
    if (portIndex < firstControl) return {PortKind::audioOutput, portIndex - firstOutput};
    if (portIndex < firstMeter) return {PortKind::control, portIndex - firstControl};
    if (portIndex < firstKeyPort_) return {PortKind::meter, portIndex - firstMeter};
    if (portIndex < firstLateControl) return {PortKind::keyInput, portIndex - firstKeyPort_};
    return {PortKind::control, controlsBeforeMeters_ + portIndex - firstLateControl};
}

std::string Lv2PortTable::audioSymbol(int portIndex) const
{
    const PortRef p = port(portIndex);
    if (p.kind == PortKind::audioInput) return "in_" + channelWord(p.slot, numAudioInputs_);
    if (p.kind == PortKind::keyInput) return "key_" + channelWord(p.slot, numKeyInputs_);
    return "out_" + channelWord(p.slot, numAudioOutputs_);
}

std::string Lv2PortTable::audioName(int portIndex) const
{
    const PortRef p = port(portIndex);
    const int channels = p.kind == PortKind::audioInput ? numAudioInputs_
                         : p.kind == PortKind::keyInput ? numKeyInputs_
                                                        : numAudioOutputs_;
    std::string word = channelWord(p.slot, channels);
    word[0] = static_cast<char>(word[0] >= 'a' && word[0] <= 'z' ? word[0] - 'a' + 'A' : word[0]);
    return (p.kind == PortKind::audioInput ? "In " : p.kind == PortKind::keyInput ? "Key " : "Out ") + word;
}

double Lv2PortTable::valueOfPort(int control, float portValue) const
{
    const Control& c = controls_[static_cast<size_t>(control)];
    if (c.kind == Kind::toggle) return portValue >= 0.5f ? 1.0 : 0.0;
    if (!(portValue > c.minimum)) return c.minValue;
    if (portValue >= c.maximum) return c.maxValue;
    if (c.kind == Kind::integer) return std::floor(static_cast<double>(portValue) + 0.5);
    if (portValue == c.defaultValue) return c.defaultValueExact;
    // Rounding in the conversion must not step outside the range the parameter accepts.
    const double value = valueUnits(c.unit, portValue);
    if (!(value > c.minValue)) return c.minValue;
    return value < c.maxValue ? value : c.maxValue;
}

float Lv2PortTable::portOfValue(int control, double value) const
{
    const Control& c = controls_[static_cast<size_t>(control)];
    if (c.kind != Kind::real) return clampedFloat(value, c.minimum, c.maximum);
    if (value == c.defaultValueExact) return c.defaultValue;
    return clampedFloat(portUnits(c.unit, value), c.minimum, c.maximum);
}

float Lv2PortTable::meterPortValue(int meter, double reading) const
{
    const Meter& m = meters_[static_cast<size_t>(meter)];
    return clampedFloat(reading, m.minimum, m.maximum);
}
