#pragma once
// A parameter's value as one double, whatever its type, so changes travel between threads as numbers:
// the value in its base unit for a real parameter, 0 or 1 for a switch.

class Param;

namespace zr::jack
{
double paramValue(const Param& param) noexcept;
// Clamped into the parameter's range; NaN, and parameters of other types, change nothing. Allocates
// nothing and throws nothing, so the audio thread may call it.
void setParamValue(Param& param, double value) noexcept;
} // namespace zr::jack
