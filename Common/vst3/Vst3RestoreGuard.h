#pragma once
// Keeps a restored state's exact values against hosts that send the parameter values back rounded. After a
// state load a host may deliver, before or after it, the values it stored beside the state, which went
// through its own float and plain-unit rounding, or echo the knob positions it read back as floats;
// applying those would move every value by a rounding step. The state wins: until a parameter is really
// moved, a knob position within `tolerance` of the restored one changes nothing.

#include <vector>

class Vst3RestoreGuard
{
public:
    // A thousandth of a thousandth of the knob's travel: far above the rounding seen (floats and the
    // plain values hosts store, around 1e-7), far below any move a person or an automation curve makes.
    static constexpr double tolerance = 1e-6;

    explicit Vst3RestoreGuard(int numParams);

    // The rest allocate nothing and may run on the audio thread; indices must be in range.
    void arm(int index, double restoredKnobPos) noexcept;
    void disarm(int index) noexcept;
    bool isEcho(int index, double knobPos) const noexcept;

private:
    // NaN where no restored value is guarded.
    std::vector<double> restored;
};
