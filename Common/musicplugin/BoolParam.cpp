#include "Common/musicplugin/BoolParam.h"

#include <utility>

BoolParam::BoolParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue)
    : ValueParam<bool>(list, std::move(saveName), std::move(displayName), ""), value_(defaultValue),
      defaultValue_(defaultValue)
{}

std::string BoolParam::saveString() const
{
    return value_ ? "true" : "false";
}

void BoolParam::loadString(std::string text)
{
    if (text == "true")
        setValue(true);
    else if (text == "false")
        setValue(false);
    else
        resetToDefault();
}

std::string BoolParam::getDisplayValue() const
{
    return displayWord(value_);
}

std::string BoolParam::displayWord(bool value) const
{
    return value ? "true" : "false";
}

void BoolParam::resetToDefault()
{
    setValue(defaultValue_);
}

bool BoolParam::isAtDefault() const
{
    return value_ == defaultValue_;
}

double BoolParam::getKnobPos() const
{
    return value_ ? 1.0 : 0.0;
}

void BoolParam::setKnobPos(double knobPos)
{
    setValue(knobPos >= 0.5);
}

bool BoolParam::getValue() const
{
    return value_;
}

void BoolParam::setValue(bool newValue)
{
    if (newValue == value_) return;
    value_ = newValue;
    notifyChange();
}

OnOffParam::OnOffParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue)
    : BoolParam(list, std::move(saveName), std::move(displayName), defaultValue)
{}

std::string OnOffParam::displayWord(bool value) const
{
    return value ? "on" : "off";
}

YesNoParam::YesNoParam(ParamList* list, std::string saveName, std::string displayName, bool defaultValue)
    : BoolParam(list, std::move(saveName), std::move(displayName), defaultValue)
{}

std::string YesNoParam::displayWord(bool value) const
{
    return value ? "yes" : "no";
}

NamedSwitchParam::NamedSwitchParam(ParamList* list, std::string saveName, std::string displayName,
                                   bool defaultValue, std::string offWord, std::string onWord)
    : BoolParam(list, std::move(saveName), std::move(displayName), defaultValue),
      offWord_(std::move(offWord)), onWord_(std::move(onWord))
{}

std::string NamedSwitchParam::displayWord(bool value) const
{
    return value ? onWord_ : offWord_;
}
