#pragma once
// Narrowing conversions for numbers that arrive from a host: whatever the host sends, the result is
// defined and keeps its sign.

#include "Common/vst/VstInterface.h"

#include <cmath>
#include <cstdint>
#include <limits>

// The dispatcher's value argument is pointer-sized on 64-bit hosts; methods taking 32-bit numbers see
// out-of-range values pinned to the nearest 32-bit value instead of wrapped into an unrelated one.
inline VstInt32 narrowToInt32(VstIntPtr value)
{
    if constexpr (sizeof(VstIntPtr) > sizeof(VstInt32)) {
        if (value > std::numeric_limits<VstInt32>::max()) return std::numeric_limits<VstInt32>::max();
        if (value < std::numeric_limits<VstInt32>::min()) return std::numeric_limits<VstInt32>::min();
    }
    return static_cast<VstInt32>(value);
}

// Truncates toward zero like a plain cast, but NaN gives 0 and values beyond the 32-bit range (infinities
// included) are pinned to its ends, where the cast would be undefined.
inline VstInt32 truncateToInt32(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<VstInt32>::max();
    if (value <= -2147483648.0) return std::numeric_limits<VstInt32>::min();
    return static_cast<VstInt32>(value);
}
