#pragma once
// Small numeric utilities of the DSP library: a table-driven power function for per-sample gain laws, a
// saturating narrowing to single precision, and helpers for owned arrays.

#include "Common/Assert.h"

#include <cfloat>

// x raised to y for finite x > 0, without calling the library pow: one float conversion, bit operations, two
// table rows and two cubics. Relative error about 1e-7 for |y| <= 0.5 (the table errors are 3.0e-7 in log2
// and 1.8e-8 in the power of two). Returns exactly 1.0 when y is 0 or x is 1.
// Outside the domain it stays harmless: NaN, zero or negative x give 1.0, x above the float range counts as
// the largest float, and results beyond the double range saturate to 0 or infinity.
double fast_pow(double x, double y);

// log2(x) from fast_pow's log table, for meters on the audio path: absolute error below 3.1e-7 plus the
// float rounding of x (relative 6e-8). x below the smallest normal float counts as that float; 0, negative
// x and NaN give -infinity, x beyond the float range the largest float's log2.
double fast_log2(double x);
// 20 log10(2): dB per octave of an amplitude, to turn fast_log2 into dB.
constexpr double amplitudeDbPerOctave = 6.020599913279624;

// value rounded to single precision, saturating at the largest float instead of leaving the float range
// (which C++ leaves undefined); infinities and NaN stay what they are.
inline float saturatingFloat(double value)
{
    constexpr double largest = FLT_MAX;
    if (value > largest && value - value == 0.0) return FLT_MAX;
    if (value < -largest && value - value == 0.0) return -FLT_MAX;
    return static_cast<float>(value);
}

namespace zr_detail
{
// Keeps the value argument of clearArray out of template deduction, so that clearArray(doubles, n, 0) works.
template <typename T> struct Identity
{
    using Type = T;
};
} // namespace zr_detail

// Sets the first count elements to value and returns the array; a count of 0 or less does nothing.
template <typename T> T* clearArray(T* array, int count, typename zr_detail::Identity<T>::Type value)
{
    if (array != nullptr)
        for (int i = 0; i < count; ++i)
            array[i] = value;
    return array;
}

// Frees the array the owner points to (array delete) and makes the owner take the replacement; a null
// replacement just frees. Handing the owner its own array changes nothing rather than leaving it dangling.
template <typename T> void zapArray(T*& owner, T* replacement)
{
    if (owner == replacement) return;
    delete[] owner;
    owner = replacement;
}

// A new array of size elements, each set to value; a negative size is a programming error and gives an
// empty array.
template <typename T> T* newArray(int size, typename zr_detail::Identity<T>::Type value)
{
    ZR_ASSERT(size>=0);
    return clearArray(new T[size > 0 ? size : 0], size, value);
}
