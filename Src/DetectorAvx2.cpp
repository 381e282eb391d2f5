// The detector kernel on 4-lane AVX2 vectors. Compiled with -mavx2 (no fused multiply-add); the detector
// calls it only on a CPU that has AVX2.

#include "Src/DetectorKernel.h"

#include <immintrin.h>

#define ZR_KERNEL_INLINE inline __attribute__((always_inline))

namespace detector_kernel
{
namespace
{
struct Vec
{
    using T = __m256d;
    static constexpr int W = 4;

    static ZR_KERNEL_INLINE T load(const double* p) { return _mm256_loadu_pd(p); }
    static ZR_KERNEL_INLINE void store(double* p, T v) { _mm256_storeu_pd(p, v); }
    static ZR_KERNEL_INLINE T set1(double x) { return _mm256_set1_pd(x); }
    static ZR_KERNEL_INLINE T zero() { return _mm256_setzero_pd(); }
    static ZR_KERNEL_INLINE T add(T a, T b) { return _mm256_add_pd(a, b); }
    static ZR_KERNEL_INLINE T sub(T a, T b) { return _mm256_sub_pd(a, b); }
    static ZR_KERNEL_INLINE T mul(T a, T b) { return _mm256_mul_pd(a, b); }
    static ZR_KERNEL_INLINE T gtSelect(T a, T b, T t, T f)
    {
        return _mm256_blendv_pd(f, t, _mm256_cmp_pd(a, b, _CMP_GT_OQ));
    }
    static ZR_KERNEL_INLINE T prevLast(T cur, T prev)
    {
        // [prev2, prev3, cur0, cur1], then every other lane from cur.
        return _mm256_shuffle_pd(_mm256_permute2f128_pd(prev, cur, 0x21), cur, 0x5);
    }
    static ZR_KERNEL_INLINE void storeLow(double* p, T v) { _mm_store_sd(p, _mm256_castpd256_pd128(v)); }

    // 4 x 4: column pairs of rows r and r + 2 side by side, then the lanes of neighbouring rows.
    static ZR_KERNEL_INLINE void transpose(const double* rows, int stride, T* cols)
    {
        for (int h = 0; h < 2; ++h) {
            const double* r = rows + 2 * h;
            const T even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(r)), _mm_loadu_pd(r + 2 * stride), 1);
            const T odd =
                _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(r + stride)), _mm_loadu_pd(r + 3 * stride), 1);
            cols[2 * h] = _mm256_unpacklo_pd(even, odd);
            cols[2 * h + 1] = _mm256_unpackhi_pd(even, odd);
        }
    }
};

#include "Src/DetectorKernel.inc"
} // namespace

void runAvx2(const State& state, const double* left, const double* right, double* totals, int frames)
{
    Kernel<Vec>::run(state, left, right, totals, frames);
}
} // namespace detector_kernel
