#include "Common/dsp/misc.h"

#include "Common/Assert.h"
#include "Common/dsp/fastPowTables.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{
// |z| beyond this gives a power of two far outside the double range, so clamping z there changes no result
// and keeps the conversion to int defined.
constexpr double zLimit = 16.0 * 4096.0;

// 2^exponent, exact from 2^-1022 to 2^1023, saturating to 0 and infinity beyond.
// Built in double rather than in a float exponent field: the two agree wherever the float one is in range,
// but a float field wraps modulo 256 outside it (2^129 would come out as 0, 2^-128 as infinity).
double powerOfTwo(int exponent)
{
    if (exponent < -1022) return 0.0;
    if (exponent > 1023) return std::numeric_limits<double>::infinity();
    const std::uint64_t bits = static_cast<std::uint64_t>(exponent + 1023) << 52;
    double result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// log2 of a positive float from its bit pattern: the exponent and a cubic of the mantissa (16 table rows).
inline double log2OfBits(std::int32_t bits)
{
    const int e = (bits >> 23) - 127;
    const double* logRow = fastPowLogTable[(bits >> 19) & 15];
    const double m = static_cast<double>(bits & 0x7FFFF);
    return e + (((logRow[0] * m + logRow[1]) * m + logRow[2]) * m + logRow[3]);
}
} // namespace

double fast_pow(double x, double y)
{
    if (!(x > 0.0)) return 1.0;
    const float xFloat = x < static_cast<double>(FLT_MAX) ? static_cast<float>(x) : FLT_MAX;
    std::int32_t bits;
    std::memcpy(&bits, &xFloat, sizeof bits);

    const double log2x = log2OfBits(bits);

    double z = (y * log2x) * 16.0;
    if (!(z > -zLimit && z < zLimit)) {
        if (z != z) return 1.0;
        z = z > 0.0 ? zLimit : -zLimit;
    }
    // floor(z): truncation rounds negative non-integers up, so step those down by one.
    int k = static_cast<int>(z);
    if (k > z) --k;
    double frac = z - k;
    // For -2^-54 < z < 0 the sum z + 1 rounds up to 1: that is the start of the next segment.
    if (frac >= 1.0) {
        ++k;
        frac = 0.0;
    }
    ZR_ASSERT(frac >= 0.0);
    ZR_ASSERT(frac < 1.0);

    const double* expRow = fastPowExpTable[k & 15];
    const double power = ((expRow[0] * frac + expRow[1]) * frac + expRow[2]) * frac + expRow[3];
    return power * powerOfTwo(k >> 4);
}

double fast_log2(double x)
{
    // Below the smallest normal float the exponent field no longer holds the exponent.
    if (!(x >= static_cast<double>(FLT_MIN))) return x > 0.0 ? log2OfBits(0x00800000) : -HUGE_VAL;
    const float xFloat = x < static_cast<double>(FLT_MAX) ? static_cast<float>(x) : FLT_MAX;
    std::int32_t bits;
    std::memcpy(&bits, &xFloat, sizeof bits);
    return log2OfBits(bits);
}
