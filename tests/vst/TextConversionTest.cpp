// Texts for the host's 9-byte parameter buffers.

#include "TestEffects.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace
{
constexpr float kInf = std::numeric_limits<float>::infinity();

// Writes into a guarded buffer: the 9 bytes a host gives, then canaries that must stay untouched.
template <typename Write> std::string convert(Write write)
{
    char buffer[32];
    std::memset(buffer, '#', sizeof(buffer));
    write(buffer);
    for (std::size_t i = 9; i < sizeof(buffer); ++i)
        EXPECT_EQ(buffer[i], '#') << "written past the host's 9 bytes";
    return std::string(buffer, strnlen(buffer, 9));
}

TEST(TextConversion, Float2string)
{
    DefaultEffect effect;
    const std::pair<float, const char*> cases[] = {
        // Eight positions, sign and point counted: the fraction fills what the integer part leaves.
        {1.5f, "1.500000"},
        {0.0f, "0.000000"},
        {-2.25f, "-2.25000"},
        {12345.678f, "12345.67"},
        {-10000000.0f, "Huge!"},
        {100000000.0f, "Huge!"},
        // Digits are truncated, not rounded: 0.7f is 0.699999988 and 123.456f is 123.456001.
        {0.7f, "0.699999"},
        {123.456f, "123.4560"},
        {0.1f, "0.100000"},
        {-0.5f, "-0.50000"},
        // The widest numbers that still show every integer digit.
        {9999999.0f, "9999999."},
        {-999999.0f, "-999999."},
        {1000000.0f, "1000000."},
        // One digit more would lose the leading digit.
        {10000000.0f, "Huge!"},
        {12345678.0f, "Huge!"},
        {-1000000.0f, "Huge!"},
        {-1234567.0f, "Huge!"},
        {kInf, "Huge!"},
        {-kInf, "Huge!"},
        {NAN, "NaN"},
        {-0.0f, "0.000000"},
        {1e-30f, "0.000000"},
    };
    for (auto [value, expected] : cases)
        EXPECT_EQ(convert([&](char* t) { effect.float2string(value, t); }), expected) << "value " << value;
}

TEST(TextConversion, Float2stringTruncatesTowardZeroAtItsLastDigit)
{
    DefaultEffect effect;
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> exponent(-8.0, 7.0);
    for (int i = 0; i < 20000; ++i) {
        const float value = static_cast<float>((i % 2 ? -1.0 : 1.0) * std::pow(10.0, exponent(random)));
        const std::string text = convert([&](char* t) { effect.float2string(value, t); });
        if (text == "Huge!") {
            EXPECT_GE(std::fabs(value), value < 0 ? 1e6f : 1e7f) << text;
            continue;
        }
        ASSERT_EQ(text.size(), 8u) << value;
        const std::size_t point = text.find('.');
        ASSERT_NE(point, std::string::npos) << text;
        // The last digit's weight; the text is the value cut there, up to the double rounding of the
        // fraction times a power of ten (relative 1e-15).
        const double step = std::pow(10.0, -static_cast<double>(text.size() - 1 - point));
        const double shown = std::strtod(text.c_str(), nullptr);
        const double cut = std::fabs(static_cast<double>(value)) - std::fabs(shown);
        EXPECT_GT(cut, -1e-15 * std::fabs(value)) << value << " -> " << text;
        EXPECT_LT(cut, step) << value << " -> " << text;
    }
}

TEST(TextConversion, Long2string)
{
    DefaultEffect effect;
    const std::pair<VstInt32, const char*> cases[] = {
        {42, "     42"},
        {0, "      0"},
        {-42, "    -42"},
        {1234567, "1234567"},
        {12345678, "12345678"},
        {99999999, "99999999"},
        {100000000, "Huge!"},
        {-9999999, "-9999999"},
        // Nine characters: cutting to eight would show another number.
        {-10000000, "Huge!"},
        {std::numeric_limits<VstInt32>::min(), "Huge!"},
        {std::numeric_limits<VstInt32>::max(), "Huge!"},
    };
    for (auto [value, expected] : cases)
        EXPECT_EQ(convert([&](char* t) { effect.long2string(value, t); }), expected) << "value " << value;
}

TEST(TextConversion, UnitTexts)
{
    DefaultEffect effect; // 44100 Hz
    struct Case
    {
        void (AudioEffect::*method)(float, char*);
        float value;
        const char* expected;
    };
    const Case cases[] = {
        {&AudioEffect::dB2string, 0.0f, "-oo"},
        {&AudioEffect::dB2string, -1.0f, "-oo"},
        {&AudioEffect::dB2string, 1.0f, "0.000000"},
        {&AudioEffect::dB2string, 10.0f, "20.00000"},
        {&AudioEffect::dB2string, 0.5f, "-6.02059"}, // 20 log10(0.5) = -6.0205999
        {&AudioEffect::dB2string, kInf, "Huge!"},
        {&AudioEffect::dB2string, NAN, "NaN"},
        {&AudioEffect::Hz2string, 0.0f, "0.000000"},
        {&AudioEffect::Hz2string, 100.0f, "441.0000"}, // 44100 / 100
        {&AudioEffect::ms2string, 441.0f, "10.00000"}, // 441 * 1000 / 44100
        {&AudioEffect::ms2string, 44100.0f, "1000.000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert([&](char* t) { (effect.*c.method)(c.value, t); }), c.expected) << c.value;
}

// The unit texts go through the virtual slots, so an effect's own rate and number format apply.
TEST(TextConversion, UnitTextsUseTheVirtualSampleRateAndFormat)
{
    struct SlotEffect : DefaultEffect
    {
        std::vector<float> formatted;
        float getSampleRate() override { return 500.0f; }
        void float2string(float value, char* text) override
        {
            formatted.push_back(value);
            std::strcpy(text, "own");
        }
    } effect;
    char text[16];
    effect.Hz2string(4.0f, text);
    effect.ms2string(2.0f, text);
    effect.dB2string(10.0f, text);
    EXPECT_STREQ(text, "own");
    // 500 / 4, 2 * 1000 / 500 and 20 log10(10).
    EXPECT_EQ(effect.formatted, (std::vector<float>{125.0f, 4.0f, 20.0f}));
}

TEST(TextConversion, NullTextIsIgnored)
{
    DefaultEffect effect;
    effect.float2string(1.0f, nullptr);
    effect.long2string(1, nullptr);
    effect.dB2string(1.0f, nullptr);
    effect.Hz2string(1.0f, nullptr);
    effect.ms2string(1.0f, nullptr);
}

// The texts are built digit by digit, so a locale with a decimal comma changes nothing.
TEST(TextConversion, IndependentOfTheLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    DefaultEffect effect;
    const std::string f = convert([&](char* t) { effect.float2string(1.5f, t); });
    const std::string l = convert([&](char* t) { effect.long2string(1234567, t); });
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(f, "1.500000");
    EXPECT_EQ(l, "1234567");
}
} // namespace
