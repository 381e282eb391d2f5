// Hosts call setlocale(LC_ALL, ""): texts for the host and for stored presets must still use ".".

#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/RealParam.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace
{
// A decimal-comma locale in both C and C++ for the test's lifetime; "C" again afterwards.
struct CommaLocale
{
    CommaLocale()
    {
        try {
            std::locale::global(std::locale("de_DE.UTF-8"));
            available = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        } catch (const std::runtime_error&) {}
    }
    ~CommaLocale()
    {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
    }
    bool available = false;
};
} // namespace

TEST(Locale, TextsStayInTheCLocaleUnderADecimalCommaLocale)
{
    CommaLocale locale;
    if (!locale.available)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (tools/install-deps.sh test installs it)";
    // The locale must really write commas and group thousands, or this test proves nothing.
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    std::ostringstream streamed;
    streamed << 0.5 << ' ' << 40000;
    ASSERT_EQ(std::string(printed) + " " + streamed.str(), "0,5 0,5 40.000");

    EXPECT_EQ(NormalDisplay::globalInstance.display(0.5), "0.5");
    EXPECT_EQ(NormalDisplay::globalInstance.display(1234.6), "1235");
    EXPECT_EQ(DecibelDisplay::globalInstance.display(0.5), "-6.0");
    EXPECT_EQ(SiDisplay::globalInstance.display(1500.0), "1.5k");
    PercentParam mix(nullptr, "mix", "Mix", 0.5, 0.0, 1.0);
    EXPECT_EQ(mix.saveString() + " " + mix.getDisplayValue(), "0.5 50");
    mix.loadString("0.25");
    EXPECT_EQ(mix.getValue(), 0.25);
    FrequencyParam cutoff(nullptr, "sidechainLowpassCutoff", "Side LP", 40000.0, 100.0, 40000.0);
    EXPECT_EQ(cutoff.saveString(), "40000");
    cutoff.loadString("1234.5");
    EXPECT_EQ(cutoff.getValue(), 1234.5);
    IntegerParam steps(nullptr, "steps", "Steps", "", 20000, 0, 100000);
    EXPECT_EQ(steps.saveString(), "20000");
}
