#include "Common/musicplugin/Mapping.h"

#include "Common/Assert.h"

#include <cmath>

double LinearMapping::positionOfValue(double value, double minValue, double maxValue) const
{
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    double position = (value - minValue) / (maxValue - minValue);
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    return position;
}

double LinearMapping::valueOfPosition(double position, double minValue, double maxValue) const
{
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    // This form, not minValue + position * range, so that both ends come out exactly.
    double value = (1.0 - position) * minValue + position * maxValue;
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    return value;
}

double LogarithmicMapping::positionOfValue(double value, double minValue, double maxValue) const
{
    ZR_ASSERT(0.0<minValue);
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    double position = (std::log(value) - std::log(minValue)) / (std::log(maxValue) - std::log(minValue));
    // The logarithms may round a little past either end; more than that is a caller's error.
    ZR_ASSERT(-0.1<=position);
    ZR_ASSERT(position<=1.1);
    if (position < 0.0) position = 0.0;
    if (position > 1.0) position = 1.0;
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    return position;
}

double LogarithmicMapping::valueOfPosition(double position, double minValue, double maxValue) const
{
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    // Geometric interpolation; pow(x, 0) == 1 and pow(x, 1) == x make both ends exact.
    double value = std::pow(minValue, 1.0 - position) * std::pow(maxValue, position);
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    return value;
}

double RootMapping::myPow(double x, double y)
{
    if (x < 0.0 || std::isnan(x)) return -std::pow(-x, y);
    return std::pow(x, y);
}

double RootMapping::positionOfValue(double value, double minValue, double maxValue) const
{
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    double rootOfMin = myPow(minValue, inverseExponent);
    double position =
        (myPow(value, inverseExponent) - rootOfMin) / (myPow(maxValue, inverseExponent) - rootOfMin);
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    return position;
}

double RootMapping::valueOfPosition(double position, double minValue, double maxValue) const
{
    ZR_ASSERT(minValue<=maxValue);
    ZR_ASSERT(0.0<=position);
    ZR_ASSERT(position<=1.0);
    double y =
        myPow(maxValue, inverseExponent) * position + myPow(minValue, inverseExponent) * (1.0 - position);
    double value = myPow(y, exponent);
    // The root and the power round: pow(pow(10, 1/4), 4) is an ulp below 10. The knob's ends must give
    // the bounds themselves, and no position may overshoot them.
    if (position == 0.0) value = minValue;
    if (position == 1.0) value = maxValue;
    if (!(value > minValue)) value = minValue;
    if (!(value < maxValue)) value = maxValue;
    ZR_ASSERT(minValue<=value);
    ZR_ASSERT(value<=maxValue);
    return value;
}
