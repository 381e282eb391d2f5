#include "Common/dsp/misc.h"
#include "Common/dsp/fastPowTables.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace
{
const double ln2 = std::log(2.0);
constexpr double logSegment = 524288.0;     // 2^19 low mantissa units per log row
constexpr double mantissaUnits = 8388608.0; // 2^23

double cubic(const double* row, double t)
{
    return ((row[0] * t + row[1]) * t + row[2]) * t + row[3];
}

double cubicSlope(const double* row, double t)
{
    return (3.0 * row[0] * t + 2.0 * row[1]) * t + row[2];
}

// How far two rows' cubics can drift apart over a segment of the given width.
double rowDistance(const double* a, const double* b, double width)
{
    return std::fabs(a[0] - b[0]) * width * width * width + std::fabs(a[1] - b[1]) * width * width +
           std::fabs(a[2] - b[2]) * width + std::fabs(a[3] - b[3]);
}
} // namespace

TEST(FastPowTables, TellingRowsAreTheQuotedOnes)
{
    // The quoted rows come from a double-precision solve whose two leading coefficients carry cancellation
    // error (up to 1e-11 relative); the checked-in rows are solved in quadruple precision. Over a whole
    // segment the cubics differ by less than 1e-15, far below the tables' own error (3e-7 and 2e-8).
    const double log0[4] = {7.43653228027698e-22, -1.0232799577502153e-14, 1.7198265086280863e-07, 0.0};
    const double log8[4] = {2.270190896033672e-22, -4.552280063216924e-15, 1.1465510057520576e-07,
                            0.5849625007211562};
    const double exp0[4] = {1.3848181558542838e-05, 0.0009382354608586316, 0.04332169878499658, 1.0};
    const double exp8[4] = {1.9584286174191556e-05, 0.0013268653134458075, 0.0612661339667842,
                            1.4142135623730951};
    EXPECT_LT(rowDistance(fastPowLogTable[0], log0, logSegment), 1e-15);
    EXPECT_LT(rowDistance(fastPowLogTable[8], log8, logSegment), 1e-15);
    EXPECT_LT(rowDistance(fastPowExpTable[0], exp0, 1.0), 1e-15);
    EXPECT_LT(rowDistance(fastPowExpTable[8], exp8, 1.0), 1e-15);
    // The two lower coefficients are plain function values and slopes: equal to the last digit or two.
    for (int c = 2; c < 4; ++c) {
        EXPECT_NEAR(fastPowLogTable[8][c], log8[c], 2e-16 * std::fabs(log8[c])) << c;
        EXPECT_NEAR(fastPowExpTable[8][c], exp8[c], 2e-16 * std::fabs(exp8[c])) << c;
    }
    EXPECT_EQ(fastPowLogTable[0][3], 0.0);
    EXPECT_EQ(fastPowExpTable[0][3], 1.0);
}

TEST(FastPowTables, EveryRowMeetsItsFunctionAndSlopeAtBothEnds)
{
    // Values to a few double ulps (4e-16 absolute for log2 below 1, relative for the powers); slopes to
    // 1e-12 relative, limited by the rounding of the two leading coefficients.
    for (int j = 0; j < 16; ++j) {
        const double* row = fastPowLogTable[j];
        for (double m : {0.0, logSegment}) {
            const double units = mantissaUnits + j * logSegment + m;
            EXPECT_NEAR(cubic(row, m), std::log2(units / mantissaUnits), 4e-16) << j << " " << m;
            const double slope = 1.0 / (ln2 * units);
            EXPECT_NEAR(cubicSlope(row, m), slope, 1e-12 * slope) << j << " " << m;
        }
    }
    for (int i = 0; i < 16; ++i) {
        const double* row = fastPowExpTable[i];
        for (double frac : {0.0, 1.0}) {
            const double value = std::exp2((i + frac) / 16.0);
            EXPECT_NEAR(cubic(row, frac), value, 4e-16 * value) << i << " " << frac;
            const double slope = value * ln2 / 16.0;
            EXPECT_NEAR(cubicSlope(row, frac), slope, 1e-12 * slope) << i << " " << frac;
        }
    }
}

TEST(FastPowTables, ApproximationErrorsAreTheStatedOnes)
{
    // Largest errors over a dense grid: about 3.0e-7 for the log rows (row 0 worst), about 1.8e-8 for the
    // exp rows; 5 % either way.
    double logError = 0.0;
    int worstLogRow = -1;
    double expError = 0.0;
    for (int row = 0; row < 16; ++row)
        for (int step = 0; step <= 2048; ++step) {
            const double m = logSegment * step / 2048.0;
            const double logDiff =
                std::fabs(cubic(fastPowLogTable[row], m) -
                          std::log2((mantissaUnits + row * logSegment + m) / mantissaUnits));
            if (logDiff > logError) {
                logError = logDiff;
                worstLogRow = row;
            }
            const double frac = step / 2048.0;
            expError = std::fmax(expError,
                                 std::fabs(cubic(fastPowExpTable[row], frac) - std::exp2((row + frac) / 16)));
        }
    EXPECT_NEAR(logError, 3.0e-7, 0.15e-7);
    EXPECT_EQ(worstLogRow, 0);
    EXPECT_NEAR(expError, 1.8e-8, 0.09e-8);
}

TEST(FastPow, ExactlyOneForZeroExponentAndUnitBase)
{
    for (double x : {1e-30, 0.001, 0.5, 1.0, 1.5, 2.0, 3.0, 1e6, 1e12, 3e38})
        EXPECT_EQ(fast_pow(x, 0.0), 1.0) << x;
    for (double y : {-1e6, -40.0, -0.5, -1e-9, 0.0, 1e-9, 0.5, 1.0, 40.0, 1e6})
        EXPECT_EQ(fast_pow(1.0, y), 1.0) << y;
}

TEST(FastPow, WithinItsErrorOfPowForTheGainLawRange)
{
    // The log rows err by 3.05e-7 in log2 and rounding x to a float by at most 2^-24/ln 2; scaled by |y| and
    // ln 2 they bound the relative error, plus 9.2e-9 relative from the exp rows (1.8e-8 on [1, 2)) and a
    // few ulps of double arithmetic.
    const double logBound = 3.05e-7 + std::ldexp(1.0, -24) / ln2;
    std::mt19937 random(20240607);
    std::uniform_real_distribution<double> exponent10(0.0, 12.0);
    std::uniform_real_distribution<double> power(-0.5, 0.5);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = std::pow(10.0, exponent10(random));
        const double y = i % 100 == 0 ? (i % 200 == 0 ? 0.5 : -0.5) : power(random);
        const double expected = std::pow(x, y);
        const double relative = std::fabs(fast_pow(x, y) - expected) / expected;
        const double bound = std::fabs(y) * ln2 * logBound + 9.2e-9 + 1e-15;
        ASSERT_LE(relative, bound) << x << "^" << y;
        worst = std::fmax(worst, relative);
    }
    // Stated as about 1e-7 over this range.
    EXPECT_LT(worst, 1.5e-7);
}

TEST(FastPow, PowersOfTwoBeyondTheFloatRangeStayRight)
{
    // Far outside the gain law's range the result keeps its magnitude instead of wrapping the exponent.
    struct Case
    {
        double x, y, expected;
    };
    const Case cases[] = {{2.0, 130.0, std::ldexp(1.0, 130)},
                          {2.0, 200.5, std::ldexp(std::sqrt(2.0), 200)},
                          {2.0, -127.0, std::ldexp(1.0, -127)},
                          {2.0, -128.0, std::ldexp(1.0, -128)},
                          {1e30, 5.0, 1e150},
                          {1e-30, 5.0, 1e-150}};
    for (const Case& c : cases)
        EXPECT_NEAR(fast_pow(c.x, c.y), c.expected, 1e-5 * c.expected) << c.x << "^" << c.y;
    EXPECT_EQ(fast_pow(2.0, 1e6), std::numeric_limits<double>::infinity());
    EXPECT_EQ(fast_pow(2.0, -1e6), 0.0);
}

TEST(FastPow, OutsideTheDomainStaysHarmless)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(fast_pow(nan, -0.5), 1.0);
    EXPECT_EQ(fast_pow(0.0, -0.5), 1.0);
    EXPECT_EQ(fast_pow(-4.0, 0.5), 1.0);
    EXPECT_EQ(fast_pow(2.0, nan), 1.0);
    EXPECT_EQ(fast_pow(1.0, inf), 1.0);
    // Above the float range x counts as the largest float.
    EXPECT_NEAR(fast_pow(inf, -0.5), std::pow(static_cast<double>(FLT_MAX), -0.5), 1e-6 * 5.4e-20);
    EXPECT_NEAR(fast_pow(1e300, 0.5), std::sqrt(static_cast<double>(FLT_MAX)), 1e-6 * 1.9e19);
}

TEST(ArrayHelpers, ClearArraySetsCountElementsAndReturnsThePointer)
{
    double values[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(clearArray(values, 3, 0.0), values);
    EXPECT_EQ(values[2], 0.0);
    EXPECT_EQ(values[3], 4.0);
    EXPECT_EQ(clearArray(values, 0, 7.0), values);
    EXPECT_EQ(clearArray(values, -2, 7.0), values);
    EXPECT_EQ(values[0], 0.0);
    clearArray(values, 5, 9);
    EXPECT_EQ(values[4], 9.0);
}

TEST(ArrayHelpers, ZapArrayFreesAndTakesTheReplacement)
{
    // Run under AddressSanitizer this also proves that nothing leaks or is freed twice.
    double* owner = nullptr;
    zapArray(owner, new double[3]);
    ASSERT_NE(owner, nullptr);
    double* replacement = new double[4];
    zapArray(owner, replacement);
    EXPECT_EQ(owner, replacement);
    // Handing the owner its own array must not free it.
    zapArray(owner, owner);
    owner[3] = 1.0;
    EXPECT_EQ(owner, replacement);
    zapArray(owner, static_cast<double*>(nullptr));
    EXPECT_EQ(owner, nullptr);
}
