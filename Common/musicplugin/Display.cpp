#include "Common/musicplugin/Display.h"

#include "Common/Assert.h"

#include <cmath>
#include <locale>
#include <sstream>

// Constant-initialised (constexpr constructors), so they are usable from any other static's constructor.
const NormalDisplay NormalDisplay::globalInstance;
const DecibelDisplay DecibelDisplay::globalInstance;
const MilliDisplay MilliDisplay::globalInstance;
const PercentDisplay PercentDisplay::globalInstance;
const SiDisplay SiDisplay::globalInstance;

namespace
{
// Stream equivalents of the printf conversions: %.Ng and %.Nf in the "C" locale.
std::string formatGeneral(double value, int significantDigits)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(significantDigits);
    text << value;
    return text.str();
}

std::string formatFixed(double value, int decimals)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.setf(std::ios::fixed, std::ios::floatfield);
    text.precision(decimals);
    text << value;
    return text.str();
}

// A harmless text for values no parameter range admits, instead of scaling loops or log of NaN.
std::string nonFiniteText(double value)
{
    if (std::isnan(value)) return "nan";
    return value < 0.0 ? "-inf" : "inf";
}
} // namespace

std::string NormalDisplay::display(double value) const
{
    if (value < 1000.0) return formatGeneral(value, 4);
    return formatFixed(value, 0);
}

std::string DecibelDisplay::display(double value) const
{
    if (std::isnan(value)) return nonFiniteText(value);
    ZR_ASSERT(value>=0);
    if (value <= 0.0) return "-oo";
    return formatFixed(20.0 * std::log10(value), 1);
}

std::string ScaledDisplay::display(double value) const
{
    return formatGeneral(value * factor, 6);
}

std::string SiDisplay::display(double value) const
{
    if (!std::isfinite(value)) return nonFiniteText(value);
    bool negative = value < 0.0;
    value = std::fabs(value);
    if (value == 0.0) return "0";

    int powerOfThousand = 0;
    while (value >= 1000.0) {
        value *= 0.001;
        ++powerOfThousand;
    }
    while (value < 1.0) {
        value *= 1000.0;
        --powerOfThousand;
    }
    ZR_ASSERT(value>=1 && value < 1000);

    std::ostringstream text;
    text.imbue(std::locale::classic());
    if (negative) text << '-';
    // The rounding here may show 1000 without moving to the next prefix (999.7 -> "1000").
    text << (value < 100.0 ? formatGeneral(value, 3) : formatFixed(value, 0));
    static const char* const prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G", "T"};
    if (powerOfThousand >= -4 && powerOfThousand <= 4)
        text << prefixes[powerOfThousand + 4];
    else
        text << 'E' << 3 * powerOfThousand;
    return text.str();
}
