#pragma once
// A parameter's value as one double, whatever its type, so values travel between threads and instances as
// numbers and exactly: the value in its base unit for a real parameter, 0 or 1 for a switch, the whole
// number for an integer parameter.

class Param;

double paramValue(const Param& param) noexcept;
// Clamped into the parameter's range (an integer parameter takes the nearest whole number, a switch is on
// from 0.5); NaN changes nothing. Allocates nothing and throws nothing, so the audio thread may call it.
// Answers what the parameter then holds.
double setParamValue(Param& param, double value) noexcept;
