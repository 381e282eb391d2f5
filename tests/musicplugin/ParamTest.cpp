#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/RealParam.h"
#include "Recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

namespace
{
const LinearMapping linear;

// Returns the message of the std::out_of_range that call throws, or "" if it throws none.
template <typename Call> std::string outOfRangeMessage(Call call)
{
    try {
        call();
    } catch (const std::out_of_range& error) {
        return error.what();
    }
    return "";
}
} // namespace

TEST(RealParam, RangeEndsListenerOrderAndRefusedValues)
{
    Log log;
    RealParam param(nullptr, "cutoff", "Cutoff", "Hz", 20.0, 5.0, 2000.0, &linear,
                    &NormalDisplay::globalInstance);
    EXPECT_EQ(param.getValue(), 20.0);
    param.addValueListener(new Recorder<double>(log, "value"));
    param.addKnobListener(new Recorder<double>(log, "knob"));
    param.setValue(2000.0);
    param.setValue(2000.0);
    param.setKnobPos(0.0);
    for (double bad : {std::nextafter(5.0, 0.0), std::nextafter(2000.0, 3000.0), std::nan("")})
        EXPECT_EQ(outOfRangeMessage([&] { param.setValue(bad); }), "in RealParam::setValue") << bad;
    param.resetToDefault();
    param.resetToDefault();
    const std::string knobAt20 = Recorder<double>::entry("knob", 15.0 / 1995.0);
    EXPECT_EQ(log,
              (Log{"value:20", knobAt20, "value:2000", "knob:1", "value:5", "knob:0", "value:20", knobAt20}));
}

TEST(RealParam, LoadStringTakesTheLeadingNumberClampsOrResets)
{
    struct Case
    {
        const char* text;
        double value;
    };
    const Case cases[] = {{"40000", 2000},     {"1", 5},           {"", 20},        {"letters", 20},
                          {"  12.5abc", 12.5}, {"12.5east", 12.5}, {"1e2", 100},    {".5e1", 5},
                          {"+7.25", 7.25},     {"-", 20},          {"1e999", 2000}, {"-1e999", 5},
                          {"inf", 20},         {"nan", 20}};
    for (const Case& c : cases) {
        RealParam param(nullptr, "f", "F", "", 20.0, 5.0, 2000.0, &linear, &NormalDisplay::globalInstance);
        param.setValue(100.0);
        param.loadString(c.text);
        EXPECT_EQ(param.getValue(), c.value) << '"' << c.text << '"';
    }
}

TEST(RealParam, SaveStringUsesSixDigitsUnlessThatWouldLoseTheValue)
{
    struct Case
    {
        double value;
        const char* text;
    };
    // Six significant digits in general notation; the last two would not read back from six digits
    // ("1.23457e+06", "0.123457"), so they keep the digits that make them read back exactly.
    const Case cases[] = {
        {1000, "1000"},  {0.2, "0.2"},           {0.001, "0.001"},     {40000, "40000"},
        {1e-5, "1e-05"}, {0.123457, "0.123457"}, {1234567, "1234567"}, {0.123456789, "0.123456789"}};
    for (const Case& c : cases) {
        RealParam saved(nullptr, "x", "X", "", 0, 0, 2e6, &linear, &NormalDisplay::globalInstance);
        RealParam loaded(nullptr, "x", "X", "", 0, 0, 2e6, &linear, &NormalDisplay::globalInstance);
        saved.setValue(c.value);
        EXPECT_EQ(saved.saveString(), c.text);
        loaded.loadString(saved.saveString());
        EXPECT_EQ(loaded.getValue(), c.value);
    }
}

TEST(RealParam, TypedParametersCarryLabelMappingAndDisplay)
{
    struct Case
    {
        std::unique_ptr<RealParam> param;
        double value;
        const char* label;
        double knobPos;
        const char* display;
    };
    // Knob positions are closed forms of each mapping; displays follow the display tables.
    const Case cases[] = {
        {std::make_unique<OhmsParam>(nullptr, "r", "R", 1000, 10, 100000), 1000, "ohm", 0.5, "1k"},
        {std::make_unique<VoltsParam>(nullptr, "v", "V", 1, -8, 8), -1, "V", 0.25, "-1"},
        {std::make_unique<FaradsParam>(nullptr, "c", "C", 1e-9, 1e-12, 1e-6), 1e-9, "F", 0.5, "1n"},
        {std::make_unique<TimeParam>(nullptr, "t", "T", 0.2, 0, 10), 0.2, "s", std::pow(0.02, 0.25), "200m"},
        {std::make_unique<TimeParam>(nullptr, "t", "T", 0.2, 0, 10), 0, "s", 0, "0"},
        {std::make_unique<AllpassGainParam>(nullptr, "a", "A", 0, -1, 1), 0.5, "", 0.75, "0.5"},
        {std::make_unique<FrequencyParam>(nullptr, "f", "F", 20, 5, 2000), 20, "Hz",
         std::log(4.0) / std::log(400.0), "20"},
        {std::make_unique<RateParam>(nullptr, "r", "R", 1, 0, 100), 25, "Hz", 0.5, "25"},
        {std::make_unique<QParam>(nullptr, "q", "Q", 1, 0.1, 10), 1, "", 0.5, "1"},
        {std::make_unique<OctavesParam>(nullptr, "o", "O", 1, 0.25, 4), 1, "oct", 0.5, "1"},
        {std::make_unique<PercentParam>(nullptr, "m", "Mix", 1, 0, 1), 1, "%", 1, "100"},
        {std::make_unique<GainParam>(nullptr, "g", "G", 1, 0, 4), 0, "dB", 0, "-oo"},
        {std::make_unique<GainParam>(nullptr, "g", "G", 1, 0, 4), 1, "dB", 0.5, "0.0"},
        {std::make_unique<RelativeGainParam>(nullptr, "d", "D", 1, 0.1, 1000), 10, "dB", 0.5, "20.0"},
        {std::make_unique<AngleParam>(nullptr, "p", "P", 0, -180, 180), 90, "deg", 0.75, "90"},
        {std::make_unique<MultiplierParam>(nullptr, "x", "X", 1, 0.5, 2), 1, "x", 0.5, "1"},
    };
    for (const Case& c : cases) {
        c.param->setValue(c.value);
        EXPECT_EQ(c.param->getDisplayLabel(), c.label);
        EXPECT_NEAR(c.param->getKnobPos(), c.knobPos, 1e-14) << c.label << " (a few ulps of pow and log)";
        EXPECT_EQ(c.param->getDisplayValue(), c.display);
    }
}

TEST(IntegerParam, KnobStepsTextsAndClamping)
{
    Log log;
    IntegerParam param(nullptr, "mode", "Mode", "", 1, 0, 3);
    param.addValueListener(new Recorder<int>(log, "value"));
    // n = 4 values: each owns a quarter of the travel, and the top selects the maximum.
    const std::pair<double, int> steps[] = {{0.0, 0},    {0.2499, 0}, {0.25, 1},   {0.4999, 1}, {0.5, 2},
                                            {0.7499, 2}, {0.75, 3},   {0.9999, 3}, {1.0, 3}};
    for (const auto& step : steps) {
        param.setKnobPos(step.first);
        EXPECT_EQ(param.getValue(), step.second) << step.first;
    }
    EXPECT_EQ(log, (Log{"value:1", "value:0", "value:1", "value:2", "value:3"}))
        << "only real changes notify";
    param.setValue(2);
    EXPECT_EQ(param.getKnobPos(), 2.0 / 3.0);
    const std::pair<const char*, int> texts[] = {
        {"7", 3}, {"-2", 0}, {"2.9", 2},         {"", 1},
        {"x", 1}, {" 2", 2}, {"99999999999", 3}, {"-99999999999", 0}};
    for (const auto& text : texts) {
        param.setValue(0);
        param.loadString(text.first);
        EXPECT_EQ(param.getValue(), text.second) << '"' << text.first << '"';
    }
    EXPECT_EQ(outOfRangeMessage([&] { param.setValue(4); }), "in IntegerParam::setValue");
    IntegerParam negative(nullptr, "n", "N", "st", -5, -5, 5);
    EXPECT_EQ(negative.saveString() + " " + negative.getDisplayValue(), "-5 -5");
}

TEST(IntegerParam, EveryValueReadsBackAndWideOrEmptyRangesHold)
{
    const int lowest = std::numeric_limits<int>::min();
    const int highest = std::numeric_limits<int>::max();
    for (auto range : {std::make_pair(-5, 5), std::make_pair(0, 1), std::make_pair(-1000, 7)}) {
        IntegerParam param(nullptr, "n", "N", "", range.first, range.first, range.second);
        for (int v = range.first; v <= range.second; ++v) {
            param.setValue(v);
            param.setKnobPos(param.getKnobPos());
            ASSERT_EQ(param.getValue(), v);
        }
    }
    IntegerParam single(nullptr, "one", "One", "", 4, 4, 4);
    single.setKnobPos(0.9);
    EXPECT_EQ(single.getKnobPos(), 0.5);
    IntegerParam full(nullptr, "all", "All", "", 0, lowest, highest);
    EXPECT_EQ(full.getKnobPos(), 2147483648.0 / 4294967295.0);
    full.setKnobPos(std::nextafter(1.0, 0.0));
    EXPECT_EQ(full.getValue(), highest);
}

TEST(BoolParam, SwitchesAtTheMiddleShowsItsWordsAndLoadsOnlyExactWords)
{
    Log log;
    OnOffParam onOff(nullptr, "sidechainListen", "Sd Listen", false);
    onOff.addValueListener(new Recorder<bool>(log, "value"));
    onOff.addKnobListener(new Recorder<double>(log, "knob"));
    for (double knobPos : {0.4999, 0.5, 1.0, std::nan("")})
        onOff.setKnobPos(knobPos);
    EXPECT_EQ(log, (Log{"value:0", "knob:0", "value:1", "knob:1", "value:0", "knob:0"}));
    onOff.setValue(true);
    EXPECT_EQ(onOff.getDisplayValue() + " " + onOff.saveString() + " [" + onOff.getDisplayLabel() + "]",
              "on true []");
    BoolParam plain(nullptr, "b", "B", true);
    YesNoParam yesNo(nullptr, "y", "Y", false);
    EXPECT_EQ(plain.getDisplayValue() + " " + yesNo.getDisplayValue() + " " + yesNo.saveString(),
              "true no false");

    const std::pair<const char*, int> texts[] = {{"true", 1}, {"false", 0}, {"True", -1},  {" true", -1},
                                                 {"1", -1},   {"", -1},     {"false ", -1}}; // -1: default
    for (const auto& text : texts)
        for (bool defaultValue : {false, true}) {
            YesNoParam param(nullptr, "y", "Y", defaultValue);
            param.setValue(!defaultValue);
            param.loadString(text.first);
            EXPECT_EQ(param.getValue(), text.second < 0 ? defaultValue : text.second == 1)
                << '"' << text.first << '"';
        }
}
