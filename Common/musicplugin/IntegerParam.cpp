#include "Common/musicplugin/IntegerParam.h"

#include "Common/Assert.h"

#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

IntegerParam::IntegerParam(ParamList* list, std::string saveName, std::string displayName,
                           std::string displayLabel, int defaultValue, int minValue, int maxValue)
    : ValueParam<int>(list, std::move(saveName), std::move(displayName), std::move(displayLabel)),
      myValue(defaultValue), myDefaultValue(defaultValue), myMinValue(minValue), myMaxValue(maxValue)
{
    ZR_ASSERT(myMinValue<=myDefaultValue);
    ZR_ASSERT(myDefaultValue<=myMaxValue);
    // Release builds keep the invariants the host paths rely on even for a faulty declaration.
    if (myMaxValue < myMinValue) std::swap(myMinValue, myMaxValue);
    myDefaultValue = clip(myDefaultValue);
    myValue = myDefaultValue;
}

int IntegerParam::getValue() const
{
    return myValue;
}

void IntegerParam::setValue(int newValue)
{
    if (newValue < myMinValue || newValue > myMaxValue) throw std::out_of_range("in IntegerParam::setValue");
    if (newValue == myValue) return;
    myValue = newValue;
    notifyChange();
}

int IntegerParam::clip(int v) const
{
    if (v < myMinValue) return myMinValue;
    if (v > myMaxValue) return myMaxValue;
    return v;
}

double IntegerParam::getKnobPos() const
{
    // Differences in 64 bits: a range as wide as int itself must not overflow.
    long long width = static_cast<long long>(myMaxValue) - myMinValue;
    double knobPos = 0.5;
    if (width != 0)
        knobPos =
            static_cast<double>(static_cast<long long>(myValue) - myMinValue) / static_cast<double>(width);
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    return knobPos;
}

void IntegerParam::setKnobPos(double knobPos)
{
    ZR_ASSERT(0.0<=knobPos);
    ZR_ASSERT(knobPos<=1.0);
    if (!(knobPos >= 0.0 && knobPos <= 1.0)) return;
    if (knobPos == 1.0) {
        setValue(myMaxValue);
        return;
    }
    // Step k of n equal steps selects myMinValue + k; the top step ends at 1.0 itself.
    long long valueCount = static_cast<long long>(myMaxValue) - myMinValue + 1;
    long long step = static_cast<long long>(knobPos * static_cast<double>(valueCount));
    // For very wide ranges the product may round up to valueCount.
    if (step > valueCount - 1) step = valueCount - 1;
    setValue(static_cast<int>(myMinValue + step));
}

std::string IntegerParam::getDisplayValue() const
{
    return saveString();
}

std::string IntegerParam::saveString() const
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << myValue;
    return text.str();
}

void IntegerParam::resetToDefault()
{
    setValue(myDefaultValue);
}

bool IntegerParam::isAtDefault() const
{
    return myValue == myDefaultValue;
}

void IntegerParam::loadString(std::string text)
{
    std::istringstream numberStream(text);
    numberStream.imbue(std::locale::classic());
    int number = 0;
    numberStream >> number;
    // An overflowing number fails the stream but leaves the nearest int, which clip then handles.
    bool overflowed = number == std::numeric_limits<int>::max() || number == std::numeric_limits<int>::min();
    if (numberStream.fail() && !overflowed) {
        resetToDefault();
        return;
    }
    setValue(clip(number));
}
