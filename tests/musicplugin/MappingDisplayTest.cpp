#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/Mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{
const LinearMapping linear;
const LogarithmicMapping logarithmic;
const SqrtMapping squareRoot;
const RootMapping cubeRoot(3.0);
const RootMapping fourthRoot(4.0);
} // namespace

TEST(Mapping, ClosedFormPoints)
{
    struct Case
    {
        const Mapping& mapping;
        double minValue, maxValue, position, value;
    };
    const Case cases[] = {
        {linear, -12, 12, 0.5, 0},
        {linear, -12, 12, 0, -12},
        {logarithmic, 20, 20000, 0.5, std::sqrt(20.0 * 20000.0)}, // the geometric mean, 632.456
        {logarithmic, 20, 20000, 1.0 / 3, 200},
        {squareRoot, 0, 100, 0.5, 25},
        {cubeRoot, -8, 8, 0.5, 0}, // r(-8) = -2, r(8) = 2
        {cubeRoot, -8, 8, 0.25, -1},
    };
    for (const Case& c : cases) {
        // A few ulps: the closed forms are exact, the mappings go through one pow or log pair.
        EXPECT_NEAR(c.mapping.valueOfPosition(c.position, c.minValue, c.maxValue), c.value,
                    1e-14 * c.maxValue);
        EXPECT_NEAR(c.mapping.positionOfValue(c.value, c.minValue, c.maxValue), c.position, 1e-14);
    }
    EXPECT_EQ(RootMapping::myPow(-8.0, 1.0 / 3.0), -2.0);
}

TEST(Mapping, EndsAreTheBoundsAndHostPositionsComeBack)
{
    struct Case
    {
        const Mapping& mapping;
        double minValue, maxValue;
    };
    // The root ranges are ones where pow(pow(x, 1/e), e) misses x by an ulp.
    const Case cases[] = {{linear, -12, 12},    {logarithmic, 0.5, 64}, {squareRoot, 0.001, 4},
                          {cubeRoot, 0.1, 3.3}, {fourthRoot, 0, 10},    {cubeRoot, -8, 8}};
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> hostPosition(0.0f, 1.0f);
    for (const Case& c : cases) {
        EXPECT_EQ(c.mapping.valueOfPosition(0.0, c.minValue, c.maxValue), c.minValue);
        EXPECT_EQ(c.mapping.valueOfPosition(1.0, c.minValue, c.maxValue), c.maxValue);
        for (int i = 0; i < 1000; ++i) {
            double position = hostPosition(random);
            double value = c.mapping.valueOfPosition(position, c.minValue, c.maxValue);
            ASSERT_TRUE(c.minValue <= value && value <= c.maxValue);
            // Rounding of a pow/log pair, magnified by at most the range's dynamic (64 / 0.5 here).
            EXPECT_NEAR(c.mapping.positionOfValue(value, c.minValue, c.maxValue), position, 1e-12);
        }
    }
}

TEST(Display, TextTables)
{
    struct Case
    {
        const Display& display;
        double value;
        const char* text;
    };
    const NormalDisplay& normal = NormalDisplay::globalInstance;
    const DecibelDisplay& decibel = DecibelDisplay::globalInstance;
    const SiDisplay& si = SiDisplay::globalInstance;
    const Case cases[] = {
        {normal, 0.5, "0.5"},
        {normal, 3.14159, "3.142"},
        {normal, 123.456, "123.5"},
        {normal, 999.96, "1000"},
        {normal, 999.9, "999.9"},
        {normal, 1000.4, "1000"},
        {normal, 1234.6, "1235"},
        {normal, 20000, "20000"},
        {normal, -1234.6, "-1235"},
        {normal, -123456, "-1.235e+05"},
        {decibel, 0, "-oo"},
        {decibel, 1, "0.0"},
        {decibel, 0.5, "-6.0"},
        {decibel, 2, "6.0"},
        {decibel, 10, "20.0"},
        {decibel, 1e-300, "-6000.0"},
        {MilliDisplay::globalInstance, 0.0125, "12.5"},
        {PercentDisplay::globalInstance, 0.5, "50"},
        {PercentDisplay::globalInstance, 0.123456789, "12.3457"},
        {si, 0, "0"},
        {si, -0.0, "0"},
        {si, 0.0025, "2.5m"},
        {si, 1, "1"},
        {si, 1500, "1.5k"},
        {si, 22000, "22k"},
        {si, 123456, "123k"},
        {si, -0.00047, "-470u"},
        {si, 999.7, "1000"},
        {si, 4.7e-15, "4.7E-15"},
        {si, 1000, "1k"},
        {si, 0.001, "1m"},
        {si, 1e-13, "100E-15"},
        {si, 3.3e-12, "3.3p"},
        {si, 4.4e15, "4.4E15"},
        // Values no range admits: a short text, and the scaling loop must terminate.
        {si, std::numeric_limits<double>::infinity(), "inf"},
        {si, -HUGE_VAL, "-inf"},
        {si, std::numeric_limits<double>::quiet_NaN(), "nan"},
        {decibel, std::nan(""), "nan"},
        {si, std::numeric_limits<double>::denorm_min(), "4.94E-324"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.display.display(c.value), c.text) << "value " << c.value;
}
