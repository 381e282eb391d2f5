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
constexpr double logWidth = 524288.0;       // 2^19 low mantissa units per log row
constexpr double mantissaUnits = 8388608.0; // 2^23

double cubic(const double* r, double t)
{
    return ((r[0] * t + r[1]) * t + r[2]) * t + r[3];
}
double slope(const double* r, double t)
{
    return (3.0 * r[0] * t + 2.0 * r[1]) * t + r[2];
}
} // namespace

TEST(FastPowTables, RowsZeroAndEightAndHermiteEnds)
{
    // Rows 0 and 8 of each table as docs/engine.md gives them, from a double-precision solve whose two
    // leading coefficients carry cancellation error (up to 1e-11 relative); ours are solved in quadruple
    // precision. Over a segment the cubics differ by under 1e-15, far below the tables' own errors (3.0e-7
    // and 1.8e-8).
    const double reference[4][4] = {
        {7.43653228027698e-22, -1.0232799577502153e-14, 1.7198265086280863e-07, 0.0},
        {2.270190896033672e-22, -4.552280063216924e-15, 1.1465510057520576e-07, 0.5849625007211562},
        {1.3848181558542838e-05, 0.0009382354608586316, 0.04332169878499658, 1.0},
        {1.9584286174191556e-05, 0.0013268653134458075, 0.0612661339667842, 1.4142135623730951}};
    const double* ours[4] = {fastPowLogTable[0], fastPowLogTable[8], fastPowExpTable[0], fastPowExpTable[8]};
    for (int r = 0; r < 4; ++r) {
        const double w = r < 2 ? logWidth : 1.0;
        double distance = 0.0;
        for (int c = 0; c < 4; ++c)
            distance += std::fabs(ours[r][c] - reference[r][c]) * std::pow(w, 3 - c);
        EXPECT_LT(distance, 1e-15) << r;
    }
    // Every row meets its function and its slope at both segment ends: values to a few ulps, slopes to
    // 1e-12 relative (the rounding of the two leading coefficients).
    for (int row = 0; row < 16; ++row)
        for (double end : {0.0, 1.0}) {
            const double units = mantissaUnits + (row + end) * logWidth;
            EXPECT_NEAR(cubic(fastPowLogTable[row], end * logWidth), std::log2(units / mantissaUnits), 4e-16);
            EXPECT_NEAR(slope(fastPowLogTable[row], end * logWidth) * ln2 * units, 1.0, 1e-12) << row;
            const double power = std::exp2((row + end) / 16.0);
            EXPECT_NEAR(cubic(fastPowExpTable[row], end), power, 4e-16 * power) << row;
            EXPECT_NEAR(slope(fastPowExpTable[row], end) * 16.0 / ln2, power, 1e-12 * power) << row;
        }
}

TEST(FastPow, ExactOnesAndErrorAgainstPow)
{
    for (double x : {1e-30, 0.001, 0.5, 1.0, 3.0, 1e12, 3e38})
        EXPECT_EQ(fast_pow(x, 0.0), 1.0) << x;
    for (double y : {-1e6, -0.5, -1e-9, 0.0, 0.5, 40.0})
        EXPECT_EQ(fast_pow(1.0, y), 1.0) << y;
    // A tiny negative product y log2(x) 16 (here -2.3e-21) would round frac = z + 1 up to 1.
    EXPECT_EQ(fast_pow(1.5, -2.5e-22), 1.0);
    // Relative error bound: |y| ln 2 times the log rows' 3.05e-7 plus float rounding of x (2^-24/ln 2),
    // plus the exp rows' 9.2e-9 relative (1.8e-8 absolute on [1, 2)) and a few ulps.
    std::mt19937 random(20240607);
    std::uniform_real_distribution<double> decades(0.0, 12.0);
    std::uniform_real_distribution<double> exponent(-0.5, 0.5);
    for (int i = 0; i < 200000; ++i) {
        const double x = std::pow(10.0, decades(random));
        const double y = i % 100 ? exponent(random) : (i % 200 ? -0.5 : 0.5);
        const double bound = std::fabs(y) * ln2 * (3.05e-7 + std::ldexp(1.0, -24) / ln2) + 9.2e-9 + 1e-15;
        ASSERT_NEAR(fast_pow(x, y) / std::pow(x, y), 1.0, bound) << x << "^" << y;
    }
}

TEST(FastPow, OutsideTheGainLawRange)
{
    // The power of two keeps its magnitude beyond the float exponent range (where a float field would
    // wrap: 2^129 to 0, 2^-128 to infinity); 1e-5 relative for the larger exponents.
    const double cases[][3] = {{2.0, 130.0, std::ldexp(1.0, 130)},
                               {2.0, -128.0, std::ldexp(1.0, -128)},
                               {1e30, 5.0, 1e150},
                               {1e-30, 5.0, 1e-150}};
    for (const auto& c : cases)
        EXPECT_NEAR(fast_pow(c[0], c[1]), c[2], 1e-5 * c[2]) << c[0] << "^" << c[1];
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(fast_pow(2.0, 1e6), inf);
    EXPECT_EQ(fast_pow(2.0, -1e6), 0.0);
    // Outside the domain: unity, or x taken as the largest float.
    for (double x : {std::nan(""), 0.0, -4.0})
        EXPECT_EQ(fast_pow(x, -0.5), 1.0) << x;
    EXPECT_EQ(fast_pow(2.0, std::nan("")), 1.0);
    EXPECT_NEAR(fast_pow(inf, 0.5), std::sqrt(static_cast<double>(FLT_MAX)), 1e-6 * 1.9e19);
}

// The meters' log: the log table's error (3.05e-7) plus x rounded to float (6e-8 relative, 8.6e-8 in log2).
TEST(FastLog2, ErrorAgainstLog2AndTheEdges)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> exponent(-120.0, 120.0);
    for (int i = 0; i < 100000; ++i) {
        const double x = std::pow(2.0, exponent(random));
        ASSERT_NEAR(fast_log2(x), std::log2(x), 4e-7) << x;
    }
    EXPECT_EQ(fast_log2(1.0), 0.0);
    EXPECT_EQ(fast_log2(0.0), -HUGE_VAL);
    EXPECT_EQ(fast_log2(-1.0), -HUGE_VAL);
    EXPECT_EQ(fast_log2(std::nan("")), -HUGE_VAL);
    EXPECT_NEAR(fast_log2(1e-300), -126.0, 4e-7); // the smallest normal float stands in
    EXPECT_NEAR(fast_log2(1e300), std::log2(static_cast<double>(FLT_MAX)), 4e-7);
}

TEST(ArrayHelpers, ClearAndZap)
{
    double values[4] = {1, 2, 3, 4};
    EXPECT_EQ(clearArray(values, 3, 0.0), values);
    EXPECT_EQ(clearArray(values, -1, 7.0), values);
    EXPECT_EQ(values[2], 0.0);
    EXPECT_EQ(values[3], 4.0);
    // Under AddressSanitizer this also proves nothing leaks, is freed twice or used after its release.
    double* owner = new double[3];
    double* replacement = new double[4];
    zapArray(owner, replacement);
    EXPECT_EQ(owner, replacement);
    zapArray(owner, owner); // its own array: kept
    owner[3] = 1.0;
    zapArray(owner, static_cast<double*>(nullptr));
    EXPECT_EQ(owner, nullptr);
}
