#pragma once
// A biquad running on BiquadCoeffs in direct form II, in double precision: the one scalar step of the
// engine's side-chain filters (its vector kernels do the same operations in lanes). The coefficients are
// widened to double (exactly) and held with the memories in members, so a loop over a block keeps them in
// registers; memories are stored as [0] the older, [1] the newer delayed value.

#include "Common/dsp/BiquadCoeffs.h"

class Biquad
{
public:
    Biquad(const BiquadCoeffs& coeffs, const double* memories)
        : gain_(coeffs.gain), a1_(coeffs.a1), a2_(coeffs.a2), b1_(coeffs.b1), b2_(coeffs.b2),
          older_(memories[0]), newer_(memories[1])
    {}

    double run(double x) noexcept
    {
        const double w = gain_ * x + a1_ * newer_ + a2_ * older_;
        const double y = w + b1_ * newer_ + b2_ * older_;
        older_ = newer_;
        newer_ = w;
        return y;
    }

    void save(double* memories) const noexcept
    {
        memories[0] = older_;
        memories[1] = newer_;
    }

    // One sample through the filter whose memories live in memories.
    static double step(const BiquadCoeffs& coeffs, double* memories, double x) noexcept
    {
        Biquad filter(coeffs, memories);
        const double y = filter.run(x);
        filter.save(memories);
        return y;
    }

private:
    double gain_, a1_, a2_, b1_, b2_;
    double older_, newer_;
};
