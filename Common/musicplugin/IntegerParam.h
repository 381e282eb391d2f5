#pragma once
// The stepped parameter: an int within a closed range, offered to the host as a knob cut into equal steps.

#include "Common/musicplugin/Param.h"

#include <string>

class IntegerParam : public ValueParam<int>
{
public:
    IntegerParam(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel,
                 int defaultValue, int minValue, int maxValue);
    ~IntegerParam() override = default;

    std::string saveString() const override;
    void loadString(std::string text) override;
    std::string getDisplayValue() const override;
    void resetToDefault() override;
    bool isAtDefault() const override;
    double getKnobPos() const override;
    void setKnobPos(double knobPos) override;
    int getValue() const override;
    // Throws std::out_of_range for a value outside the range, changing nothing.
    void setValue(int newValue) override;

    int clip(int v) const;

private:
    int myValue;
    int myDefaultValue;
    int myMinValue;
    int myMaxValue;
};
