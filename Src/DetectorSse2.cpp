// The detector kernel on 2-lane SSE2 vectors, which every x86-64 CPU has (and the 32-bit Windows build
// requires).

#include "Src/DetectorKernel.h"

#include <emmintrin.h>

#define ZR_KERNEL_INLINE inline __attribute__((always_inline))

namespace detector_kernel
{
namespace
{
#include "Src/DetectorFiltersSse2.inc"

struct Vec
{
    using T = __m128d;
    using Filters = TwoLaneFilters;
    static constexpr int W = 2;

    static ZR_KERNEL_INLINE T load(const double* p) { return _mm_loadu_pd(p); }
    static ZR_KERNEL_INLINE void store(double* p, T v) { _mm_storeu_pd(p, v); }
    static ZR_KERNEL_INLINE T set1(double x) { return _mm_set1_pd(x); }
    static ZR_KERNEL_INLINE T zero() { return _mm_setzero_pd(); }
    static ZR_KERNEL_INLINE T add(T a, T b) { return _mm_add_pd(a, b); }
    static ZR_KERNEL_INLINE T sub(T a, T b) { return _mm_sub_pd(a, b); }
    static ZR_KERNEL_INLINE T mul(T a, T b) { return _mm_mul_pd(a, b); }
    static ZR_KERNEL_INLINE T gtSelect(T a, T b, T t, T f)
    {
        const T mask = _mm_cmpgt_pd(a, b);
        return _mm_or_pd(_mm_and_pd(mask, t), _mm_andnot_pd(mask, f));
    }
    static ZR_KERNEL_INLINE T prevLast(T cur, T prev) { return _mm_shuffle_pd(prev, cur, 1); }
    static ZR_KERNEL_INLINE void storeLow(double* p, T v) { _mm_store_sd(p, v); }
    // fast_pow itself, lane by lane: this path is the fallback for CPUs without AVX2.
    struct PowTables
    {};
    static void preparePow(PowTables&, const double (*)[4], const double (*)[4]) {}
    static ZR_KERNEL_INLINE T gain(T total, const GainLaw& law, const PowTables&)
    {
        alignas(16) double lanes[2];
        _mm_store_pd(lanes, total);
        for (double& lane : lanes)
            lane = law.gain(lane);
        return _mm_load_pd(lanes);
    }
    static ZR_KERNEL_INLINE void transpose(const double* rows, int stride, T* cols)
    {
        const T first = _mm_loadu_pd(rows);
        const T second = _mm_loadu_pd(rows + stride);
        cols[0] = _mm_unpacklo_pd(first, second);
        cols[1] = _mm_unpackhi_pd(first, second);
    }
};

#include "Src/DetectorKernel.inc"
} // namespace

void runSse2(const State& state, const double* left, const double* right, double* totals, int frames) noexcept
{
    Kernel<Vec>::run(state, left, right, totals, frames);
}
} // namespace detector_kernel
