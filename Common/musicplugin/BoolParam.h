#pragma once
// Switch parameters: a knob that reads 0 or 1 and switches at the middle.
//
// Presets always hold "true" or "false", so a switch may change between the three classes without
// breaking stored presets; only the words shown to the host differ.

#include "Common/musicplugin/Param.h"

#include <string>

class BoolParam : public ValueParam<bool>
{
public:
    BoolParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue);
    ~BoolParam() override = default;

    std::string saveString() const override;
    // Exactly "true" or "false"; anything else resets to the default.
    void loadString(std::string text) override;
    std::string getDisplayValue() const override;
    void resetToDefault() override;
    double getKnobPos() const override;
    // Positions at or above 0.5 switch on; below 0.5 and NaN switch off.
    void setKnobPos(double knobPos) override;
    bool getValue() const override;
    void setValue(bool newValue) override;

private:
    bool value_;
    bool defaultValue_;
};

class OnOffParam : public BoolParam
{
public:
    OnOffParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue);
    ~OnOffParam() override = default;

    std::string getDisplayValue() const override;
};

class YesNoParam : public BoolParam
{
public:
    YesNoParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue);
    ~YesNoParam() override = default;

    std::string getDisplayValue() const override;
};
