#include "Common/vst3/Vst3RestoreGuard.h"

#include <cmath>
#include <limits>

Vst3RestoreGuard::Vst3RestoreGuard(int numParams)
    : restored(static_cast<std::size_t>(numParams), std::numeric_limits<double>::quiet_NaN())
{}

void Vst3RestoreGuard::arm(int index, double restoredKnobPos) noexcept
{
    restored[static_cast<std::size_t>(index)] = restoredKnobPos;
}

void Vst3RestoreGuard::disarm(int index) noexcept
{
    restored[static_cast<std::size_t>(index)] = std::numeric_limits<double>::quiet_NaN();
}

bool Vst3RestoreGuard::isEcho(int index, double knobPos) const noexcept
{
    // NaN on either side fails the comparison.
    return std::fabs(knobPos - restored[static_cast<std::size_t>(index)]) <= tolerance;
}
