#include "Common/musicplugin/UserValue.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace zr::host;

TEST(UserValue, ReadsEveryUnitIntoItsBaseUnit)
{
    struct Case
    {
        const char* text;
        ValueUnit unit;
        const char* label;
        double expected;
    };
    // dB values are amplitude factors 10^(dB/20); percent values are fractions.
    const Case table[] = {
        {"-12", ValueUnit::Decibel, "dB", std::pow(10.0, -12.0 / 20.0)},
        {"-12dB", ValueUnit::Decibel, "dB", std::pow(10.0, -12.0 / 20.0)},
        {" +6 DB ", ValueUnit::Decibel, "dB", std::pow(10.0, 6.0 / 20.0)},
        {"0", ValueUnit::Decibel, "dB", 1.0},
        {"-inf", ValueUnit::Decibel, "dB", 0.0},
        {"-oo dB", ValueUnit::Decibel, "dB", 0.0},
        {"100", ValueUnit::Hertz, "Hz", 100.0},
        {"1.5k", ValueUnit::Hertz, "Hz", 1500.0},
        {"1.5 kHz", ValueUnit::Hertz, "Hz", 1500.0},
        {"2e3hz", ValueUnit::Hertz, "Hz", 2000.0},
        {"0.2", ValueUnit::Seconds, "s", 0.2},
        {"10ms", ValueUnit::Seconds, "s", 0.01},
        {"10 ms", ValueUnit::Seconds, "s", 0.01},
        {"250us", ValueUnit::Seconds, "s", 250e-6},
        {"1.5sec", ValueUnit::Seconds, "s", 1.5},
        {"50", ValueUnit::Percent, "%", 0.5},
        {"50%", ValueUnit::Percent, "%", 0.5},
        {"12.5 %", ValueUnit::Percent, "%", 0.125},
        {"8", ValueUnit::Plain, "dB/dB", 8.0},
        {"8 dB/dB", ValueUnit::Plain, "dB/dB", 8.0},
        {"-3", ValueUnit::Plain, "", -3.0},
    };
    for (const Case& c : table) {
        const auto value = parseUserValue(c.text, c.unit, c.label);
        ASSERT_TRUE(value.has_value()) << c.text;
        // The conversions are one pow or one multiplication: within a couple of ulps.
        EXPECT_NEAR(*value, c.expected, 1e-15 * std::fabs(c.expected)) << c.text;
    }
}

TEST(UserValue, RefusesWhatIsNotAValueOfTheUnit)
{
    struct Case
    {
        const char* text;
        ValueUnit unit;
    };
    const Case table[] = {
        {"", ValueUnit::Plain},      {"abc", ValueUnit::Hertz},    {"12 apples", ValueUnit::Hertz},
        {"1k", ValueUnit::Decibel},  {"50k%", ValueUnit::Percent}, {"nan", ValueUnit::Plain},
        {"inf", ValueUnit::Hertz},   {"+inf", ValueUnit::Decibel}, {"+-3", ValueUnit::Plain},
        {"1,5", ValueUnit::Seconds}, {"5x", ValueUnit::Seconds},   {"1e999", ValueUnit::Hertz},
    };
    for (const Case& c : table)
        EXPECT_FALSE(parseUserValue(c.text, c.unit, "").has_value()) << c.text;
}

TEST(UserValue, LabelsChooseTheUnit)
{
    EXPECT_EQ(unitOfLabel("dB"), ValueUnit::Decibel);
    EXPECT_EQ(unitOfLabel("Hz"), ValueUnit::Hertz);
    EXPECT_EQ(unitOfLabel("s"), ValueUnit::Seconds);
    EXPECT_EQ(unitOfLabel("%"), ValueUnit::Percent);
    // A ratio's "dB/dB" is no gain.
    EXPECT_EQ(unitOfLabel("dB/dB"), ValueUnit::Plain);
}

// The state text must read back as the same double, whatever the value.
TEST(UserValue, StoredValuesReadBackExactly)
{
    for (double v : {0.1, 1.0 / 3.0, std::pow(10.0, -12.0 / 20.0), 40000.0, 1e-300, 0.0, -2.5}) {
        const std::string text = formatStoredValue(v);
        EXPECT_EQ(parseNumber(text).value_or(-1.0), v) << text;
    }
    EXPECT_EQ(formatStoredValue(0.5), "0.5");
}

TEST(UserValue, FormatsValuesInTheUsersUnit)
{
    EXPECT_EQ(formatUserValue(0.001, ValueUnit::Decibel, "dB"), "-60.00 dB");
    EXPECT_EQ(formatUserValue(0.0, ValueUnit::Decibel, "dB"), "-inf dB");
    EXPECT_EQ(formatUserValue(2000.0, ValueUnit::Hertz, "Hz"), "2 kHz");
    EXPECT_EQ(formatUserValue(0.01, ValueUnit::Seconds, "s"), "10 ms");
    EXPECT_EQ(formatUserValue(0.5, ValueUnit::Percent, "%"), "50 %");
    EXPECT_EQ(formatUserValue(64.0, ValueUnit::Plain, "dB/dB"), "64 dB/dB");
}
