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
    // The word for the current position.
    std::string getDisplayValue() const override;
    // The word a host shows for each position: "true" or "false" unless a subclass names them.
    virtual std::string displayWord(bool value) const;
    void resetToDefault() override;
    bool isAtDefault() const override;
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

    std::string displayWord(bool value) const override;
};

class YesNoParam : public BoolParam
{
public:
    YesNoParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue);
    ~YesNoParam() override = default;

    std::string displayWord(bool value) const override;
};

// A switch between two things the plug-in names, such as "own input" and "key".
class NamedSwitchParam : public BoolParam
{
public:
    NamedSwitchParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue,
                     std::string offWord, std::string onWord);
    ~NamedSwitchParam() override = default;

    std::string displayWord(bool value) const override;

private:
    std::string offWord_;
    std::string onWord_;
};
