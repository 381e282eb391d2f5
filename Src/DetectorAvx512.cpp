// The detector kernel on 8-lane AVX-512 vectors: the 64 crossover allpasses of both channels fill eight
// vectors. Compiled with -mavx512f; the detector calls it only on a CPU that has AVX-512F.

#include "Src/DetectorKernel.h"

// GCC 12's AVX-512 intrinsics fill "don't care" operands from a self-initialised variable, which its own
// flow analysis then reports as maybe uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#define ZR_KERNEL_INLINE inline __attribute__((always_inline))

namespace detector_kernel
{
namespace
{
struct Vec
{
    using T = __m512d;
    static constexpr int W = 8;

    static ZR_KERNEL_INLINE T load(const double* p) { return _mm512_loadu_pd(p); }
    static ZR_KERNEL_INLINE void store(double* p, T v) { _mm512_storeu_pd(p, v); }
    static ZR_KERNEL_INLINE T set1(double x) { return _mm512_set1_pd(x); }
    static ZR_KERNEL_INLINE T zero() { return _mm512_setzero_pd(); }
    static ZR_KERNEL_INLINE T add(T a, T b) { return _mm512_add_pd(a, b); }
    static ZR_KERNEL_INLINE T sub(T a, T b) { return _mm512_sub_pd(a, b); }
    static ZR_KERNEL_INLINE T mul(T a, T b) { return _mm512_mul_pd(a, b); }
    static ZR_KERNEL_INLINE T gtSelect(T a, T b, T t, T f)
    {
        return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(a, b, _CMP_GT_OQ), f, t);
    }
    static ZR_KERNEL_INLINE T prevLast(T cur, T prev)
    {
        return _mm512_castsi512_pd(_mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
    }
    static ZR_KERNEL_INLINE void storeLow(double* p, T v) { _mm_store_sd(p, _mm512_castpd512_pd128(v)); }

    // 8 x 8: halves of rows r and r + 2 side by side, then 128-bit pairs in row order, then the lanes.
    static ZR_KERNEL_INLINE void transpose(const double* rows, int stride, T* cols)
    {
        T low[4];
        T high[4];
        for (int i = 0; i < 4; ++i) {
            // i = 0: rows 0, 2; 1: rows 1, 3; 2: rows 4, 6; 3: rows 5, 7.
            const double* a = rows + ((i & 1) + (i >> 1) * 4) * stride;
            const double* b = a + 2 * stride;
            low[i] = _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(a)), _mm256_loadu_pd(b), 1);
            high[i] = _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(a + 4)), _mm256_loadu_pd(b + 4), 1);
        }
        const T* halves[2] = {low, high};
        for (int h = 0; h < 2; ++h) {
            const T* u = halves[h];
            // Even rows' column pairs (0,1) and (2,3), then the odd rows'.
            const T evens01 = _mm512_shuffle_f64x2(u[0], u[2], 0x88);
            const T evens23 = _mm512_shuffle_f64x2(u[0], u[2], 0xDD);
            const T odds01 = _mm512_shuffle_f64x2(u[1], u[3], 0x88);
            const T odds23 = _mm512_shuffle_f64x2(u[1], u[3], 0xDD);
            cols[4 * h + 0] = _mm512_unpacklo_pd(evens01, odds01);
            cols[4 * h + 1] = _mm512_unpackhi_pd(evens01, odds01);
            cols[4 * h + 2] = _mm512_unpacklo_pd(evens23, odds23);
            cols[4 * h + 3] = _mm512_unpackhi_pd(evens23, odds23);
        }
    }
};

#include "Src/DetectorKernel.inc"
} // namespace

void runAvx512(const State& state, const double* left, const double* right, double* totals, int frames)
{
    Kernel<Vec>::run(state, left, right, totals, frames);
}
} // namespace detector_kernel
