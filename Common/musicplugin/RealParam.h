#pragma once
// The continuous parameter: a double within a range, with a mapping to the knob and a display for the host.

#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/Mapping.h"
#include "Common/musicplugin/Param.h"

#include <string>

class RealParam : public ValueParam<double>
{
public:
    // mapping and display are borrowed, never released: one instance may serve many parameters.
    RealParam(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel,
              double defaultValue, double minValue, double maxValue, const Mapping* mapping,
              const Display* display);
    ~RealParam() override = default;

    // At least six significant digits, more only where six would not read back as the same value.
    std::string saveString() const override;
    void loadString(std::string text) override;
    std::string getDisplayValue() const override;
    void resetToDefault() override;
    bool isAtDefault() const override;
    double getKnobPos() const override;
    void setKnobPos(double knobPos) override;
    double getValue() const override;
    // Throws std::out_of_range for a value outside the range or NaN, changing nothing.
    void setValue(double newValue) override;
    virtual double getMinValue() const;
    virtual double getMaxValue() const;
    double getDefaultValue() const { return defaultValue_; }
    // Whether equal knob steps are equal ratios of the value, so a host may draw a logarithmic knob.
    bool hasLogarithmicKnob() const { return mapping_->isLogarithmic(); }

private:
    double clampToRange(double value) const;

    double value_;
    double minValue_;
    double maxValue_;
    double defaultValue_;
    const Mapping* mapping_;
    const Display* display_;
};

// Typed parameters: each fixes the unit label, mapping and display of one quantity. The value is the
// plain quantity in its base unit; conversion for the host (dB, percent, SI prefix) is the display's.

class OhmsParam : public RealParam
{
public:
    OhmsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
              double minValue, double maxValue);
    ~OhmsParam() override = default;
};

class VoltsParam : public RealParam
{
public:
    VoltsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
               double minValue, double maxValue);
    ~VoltsParam() override = default;
};

class FaradsParam : public RealParam
{
public:
    FaradsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                double minValue, double maxValue);
    ~FaradsParam() override = default;
};

// Seconds; the knob follows the fourth root, spending its travel on short times.
class TimeParam : public RealParam
{
public:
    TimeParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
              double minValue, double maxValue);
    ~TimeParam() override = default;
};

// A plain number without unit.
class AllpassGainParam : public RealParam
{
public:
    AllpassGainParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                     double minValue, double maxValue);
    ~AllpassGainParam() override = default;
};

class FrequencyParam : public RealParam
{
public:
    FrequencyParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                   double minValue, double maxValue);
    ~FrequencyParam() override = default;
};

// Hertz like FrequencyParam, but on a square-root knob.
class RateParam : public RealParam
{
public:
    RateParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
              double minValue, double maxValue);
    ~RateParam() override = default;
};

class QParam : public RealParam
{
public:
    QParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
           double minValue, double maxValue);
    ~QParam() override = default;
};

// Bandwidth in octaves.
class OctavesParam : public RealParam
{
public:
    OctavesParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                 double minValue, double maxValue);
    ~OctavesParam() override = default;
};

// Holds a fraction (1.0 is shown as 100).
class PercentParam : public RealParam
{
public:
    PercentParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                 double minValue, double maxValue);
    ~PercentParam() override = default;
};

// Holds a linear amplitude factor shown in dB; the square-root knob lets the range start at 0 ("-oo").
class GainParam : public RealParam
{
public:
    GainParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
              double minValue, double maxValue);
    ~GainParam() override = default;
};

// Holds a linear amplitude ratio shown in dB; equal knob steps are equal dB steps, so it stays above 0.
class RelativeGainParam : public RealParam
{
public:
    RelativeGainParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                      double minValue, double maxValue);
    ~RelativeGainParam() override = default;
};

// Angle in degrees.
class AngleParam : public RealParam
{
public:
    AngleParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
               double minValue, double maxValue);
    ~AngleParam() override = default;
};

class MultiplierParam : public RealParam
{
public:
    MultiplierParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                    double minValue, double maxValue);
    ~MultiplierParam() override = default;
};
