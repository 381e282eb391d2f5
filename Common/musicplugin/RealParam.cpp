#include "Common/musicplugin/RealParam.h"

#include "Common/Assert.h"

#include <cstddef>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace
{
// Stateless, constant-initialised and shared by every typed parameter, so nothing is allocated per
// parameter and nothing leaks.
const LinearMapping linearMapping;
const LogarithmicMapping logarithmicMapping;
const SqrtMapping sqrtMapping;
const RootMapping cubeRootMapping(3.0);
const RootMapping fourthRootMapping(4.0);

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the longest decimal number at the front of text (after white space) in the "C" locale.
// Streams alone would reject "2e" or "12.5east" outright, since they consume the dangling exponent mark.
bool readLeadingNumber(const std::string& text, double& number)
{
    std::size_t position = 0;
    while (position < text.size() && isSpace(text[position]))
        ++position;
    std::size_t start = position;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) ++position;
    std::size_t mantissaDigits = 0;
    while (position < text.size() && isDigit(text[position])) {
        ++position;
        ++mantissaDigits;
    }
    if (position < text.size() && text[position] == '.') {
        ++position;
        while (position < text.size() && isDigit(text[position])) {
            ++position;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;
    if (position < text.size() && (text[position] == 'e' || text[position] == 'E')) {
        std::size_t exponent = position + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            while (exponent < text.size() && isDigit(text[exponent]))
                ++exponent;
            position = exponent;
        }
    }

    std::istringstream numberStream(text.substr(start, position - start));
    numberStream.imbue(std::locale::classic());
    numberStream >> number;
    // An overflowing exponent fails the stream but leaves the largest double of the right sign.
    return !numberStream.fail() || number == std::numeric_limits<double>::max() ||
           number == -std::numeric_limits<double>::max();
}
} // namespace

RealParam::RealParam(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel,
                     double defaultValue, double minValue, double maxValue, const Mapping* mapping,
                     const Display* display)
    : ValueParam<double>(list, std::move(saveName), std::move(displayName), std::move(displayLabel)),
      value_(defaultValue), minValue_(minValue), maxValue_(maxValue), defaultValue_(defaultValue),
      mapping_(mapping), display_(display)
{
    ZR_ASSERT(minValue_<=defaultValue_);
    ZR_ASSERT(defaultValue_<=maxValue_);
    ZR_ASSERT(mapping_!=NULL);
    ZR_ASSERT(display_!=NULL);
    // Release builds keep the invariants the host paths rely on even for a faulty declaration.
    if (maxValue_ < minValue_) std::swap(minValue_, maxValue_);
    defaultValue_ = clampToRange(defaultValue_);
    value_ = defaultValue_;
    if (mapping_ == nullptr) mapping_ = &linearMapping;
    if (display_ == nullptr) display_ = &NormalDisplay::globalInstance;
}

double RealParam::clampToRange(double value) const
{
    if (!(value >= minValue_)) return minValue_;
    if (value > maxValue_) return maxValue_;
    return value;
}

std::string RealParam::saveString() const
{
    // Six significant digits as a stream writes them by default, unless that would not read back as this
    // very value: then just as many more digits as it takes, so stored state reloads exactly.
    std::string text;
    for (int digits = 6; digits <= std::numeric_limits<double>::max_digits10; ++digits) {
        std::ostringstream saveStringStream;
        saveStringStream.imbue(std::locale::classic());
        saveStringStream.precision(digits);
        saveStringStream << value_;
        ZR_ASSERT(!saveStringStream.fail());
        text = saveStringStream.str();
        double readBack = 0.0;
        if (readLeadingNumber(text, readBack) && readBack == value_) break;
    }
    return text;
}

void RealParam::loadString(std::string text)
{
    double number = 0.0;
    if (!readLeadingNumber(text, number)) {
        resetToDefault();
        return;
    }
    // A preset written with another range loads as the nearest value of this one.
    setValue(clampToRange(number));
}

std::string RealParam::getDisplayValue() const
{
    return display_->display(value_);
}

void RealParam::resetToDefault()
{
    setValue(defaultValue_);
}

bool RealParam::isAtDefault() const
{
    return value_ == defaultValue_;
}

double RealParam::getKnobPos() const
{
    double knobPos = mapping_->positionOfValue(value_, minValue_, maxValue_);
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    if (!(knobPos >= 0.0)) return 0.0;
    if (knobPos > 1.0) return 1.0;
    return knobPos;
}

void RealParam::setKnobPos(double knobPos)
{
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    if (!(knobPos >= 0.0 && knobPos <= 1.0)) return;
    // The linear and logarithmic mappings may round an ulp past an end; a host call must never throw.
    setValue(clampToRange(mapping_->valueOfPosition(knobPos, minValue_, maxValue_)));
}

double RealParam::getValue() const
{
    return value_;
}

void RealParam::setValue(double newValue)
{
    if (!(newValue >= minValue_ && newValue <= maxValue_)) throw std::out_of_range("in RealParam::setValue");
    if (newValue == value_) return;
    value_ = newValue;
    notifyChange();
}

double RealParam::getMinValue() const
{
    return minValue_;
}

double RealParam::getMaxValue() const
{
    return maxValue_;
}

OhmsParam::OhmsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                     double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "ohm", defaultValue, minValue, maxValue,
                &logarithmicMapping, &SiDisplay::globalInstance)
{}

VoltsParam::VoltsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                       double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "V", defaultValue, minValue, maxValue,
                &cubeRootMapping, &SiDisplay::globalInstance)
{}

FaradsParam::FaradsParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                         double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "F", defaultValue, minValue, maxValue,
                &logarithmicMapping, &SiDisplay::globalInstance)
{}

TimeParam::TimeParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                     double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "s", defaultValue, minValue, maxValue,
                &fourthRootMapping, &SiDisplay::globalInstance)
{}

AllpassGainParam::AllpassGainParam(ParamList* list, std::string saveName, std::string displayName,
                                   double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "", defaultValue, minValue, maxValue,
                &linearMapping, &NormalDisplay::globalInstance)
{}

FrequencyParam::FrequencyParam(ParamList* list, std::string saveName, std::string displayName,
                               double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "Hz", defaultValue, minValue, maxValue,
                &logarithmicMapping, &SiDisplay::globalInstance)
{}

RateParam::RateParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                     double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "Hz", defaultValue, minValue, maxValue,
                &sqrtMapping, &SiDisplay::globalInstance)
{}

QParam::QParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
               double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "", defaultValue, minValue, maxValue,
                &logarithmicMapping, &NormalDisplay::globalInstance)
{}

OctavesParam::OctavesParam(ParamList* list, std::string saveName, std::string displayName,
                           double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "oct", defaultValue, minValue, maxValue,
                &logarithmicMapping, &NormalDisplay::globalInstance)
{}

PercentParam::PercentParam(ParamList* list, std::string saveName, std::string displayName,
                           double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "%", defaultValue, minValue, maxValue,
                &linearMapping, &PercentDisplay::globalInstance)
{}

GainParam::GainParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                     double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "dB", defaultValue, minValue, maxValue,
                &sqrtMapping, &DecibelDisplay::globalInstance)
{}

RelativeGainParam::RelativeGainParam(ParamList* list, std::string saveName, std::string displayName,
                                     double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "dB", defaultValue, minValue, maxValue,
                &logarithmicMapping, &DecibelDisplay::globalInstance)
{}

AngleParam::AngleParam(ParamList* list, std::string saveName, std::string displayName, double defaultValue,
                       double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "deg", defaultValue, minValue, maxValue,
                &linearMapping, &NormalDisplay::globalInstance)
{}

MultiplierParam::MultiplierParam(ParamList* list, std::string saveName, std::string displayName,
                                 double defaultValue, double minValue, double maxValue)
    : RealParam(list, std::move(saveName), std::move(displayName), "x", defaultValue, minValue, maxValue,
                &logarithmicMapping, &NormalDisplay::globalInstance)
{}
