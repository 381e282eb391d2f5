// The detector kernel on 4-lane AVX2 vectors. Compiled with -mavx2 (no fused multiply-add); the detector
// calls it only on a CPU that has AVX2.

#include "Src/DetectorKernel.h"

// GCC 12's AVX2 gather intrinsics fill their "don't care" operand from a self-initialised variable, which
// its own flow analysis then reports as maybe uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#define ZR_KERNEL_INLINE inline __attribute__((always_inline))

namespace detector_kernel
{
namespace
{
#include "Src/DetectorFiltersAvx.inc"

struct Vec
{
    using T = __m256d;
    using Filters = FourLaneFilters;
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

    // fast_pow's tables by column, for gathers.
    struct PowTables
    {
        double log[4][16];
        double exp[4][16];
    };
    static void preparePow(PowTables& tables, const double (*logTable)[4], const double (*expTable)[4])
    {
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 16; ++r) {
                tables.log[c][r] = logTable[r][c];
                tables.exp[c][r] = expTable[r][c];
            }
    }
    static ZR_KERNEL_INLINE T cubic(const double (*column)[16], __m128i row, T t)
    {
        const T a = _mm256_i32gather_pd(column[0], row, 8);
        const T b = _mm256_i32gather_pd(column[1], row, 8);
        const T c = _mm256_i32gather_pd(column[2], row, 8);
        const T d = _mm256_i32gather_pd(column[3], row, 8);
        return add(mul(add(mul(add(mul(a, t), b), t), c), t), d);
    }
    static ZR_KERNEL_INLINE T where(T mask, T ifTrue, T ifFalse)
    {
        return _mm256_blendv_pd(ifFalse, ifTrue, mask);
    }
    // fast_pow(x, y) on 4 lanes, step for step, including its answers outside the domain.
    static ZR_KERNEL_INLINE T fastPow(T x, T y, const PowTables& tables)
    {
        const T floatMax = set1(3.4028234663852886e38); // FLT_MAX
        const T zLimit = set1(16.0 * 4096.0);
        const T one = set1(1.0);
        const T positive = _mm256_cmp_pd(x, zero(), _CMP_GT_OQ);
        const T clamped = where(_mm256_cmp_pd(x, floatMax, _CMP_LT_OQ), x, floatMax);
        const __m128i bits = _mm_castps_si128(_mm256_cvtpd_ps(clamped));
        const __m128i e = _mm_sub_epi32(_mm_srai_epi32(bits, 23), _mm_set1_epi32(127));
        const __m128i logRow = _mm_and_si128(_mm_srli_epi32(bits, 19), _mm_set1_epi32(15));
        const T m = _mm256_cvtepi32_pd(_mm_and_si128(bits, _mm_set1_epi32(0x7FFFF)));
        const T log2x = add(_mm256_cvtepi32_pd(e), cubic(tables.log, logRow, m));

        T z = mul(mul(y, log2x), set1(16.0));
        const T isNan = _mm256_cmp_pd(z, z, _CMP_UNORD_Q);
        const T inRange = _mm256_and_pd(_mm256_cmp_pd(z, sub(zero(), zLimit), _CMP_GT_OQ),
                                        _mm256_cmp_pd(z, zLimit, _CMP_LT_OQ));
        z = where(inRange, z, where(_mm256_cmp_pd(z, zero(), _CMP_GT_OQ), zLimit, sub(zero(), zLimit)));
        // floor(z) as truncation, one step down where that rounded up, one up where z - k rounds to 1; all
        // exact in double for these small integers.
        T k = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(where(isNan, zero(), z)));
        k = sub(k, _mm256_and_pd(_mm256_cmp_pd(k, z, _CMP_GT_OQ), one));
        T frac = sub(z, k);
        const T wraps = _mm256_cmp_pd(frac, one, _CMP_GE_OQ);
        k = add(k, _mm256_and_pd(wraps, one));
        frac = where(wraps, zero(), frac);

        const __m128i kInt = _mm256_cvttpd_epi32(k);
        const T power = cubic(tables.exp, _mm_and_si128(kInt, _mm_set1_epi32(15)), frac);
        const __m128i exponent = _mm_srai_epi32(kInt, 4);
        T twoPower = _mm256_castsi256_pd(
            _mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm_add_epi32(exponent, _mm_set1_epi32(1023))), 52));
        const T exponentDouble = _mm256_cvtepi32_pd(exponent);
        twoPower = where(_mm256_cmp_pd(exponentDouble, set1(-1022.0), _CMP_LT_OQ), zero(), twoPower);
        twoPower =
            where(_mm256_cmp_pd(exponentDouble, set1(1023.0), _CMP_GT_OQ), set1(__builtin_inf()), twoPower);
        return where(_mm256_andnot_pd(isNan, positive), mul(power, twoPower), one);
    }
    static ZR_KERNEL_INLINE T gain(T total, const GainLaw& law, const PowTables& tables)
    {
        const T x = add(set1(1.0), mul(total, set1(law.thresholdFactor)));
        return add(mul(set1(law.wet), fastPow(x, set1(law.gainExponent), tables)), set1(law.dry));
    }

    // 4 x 4: column pairs of rows r and r + 2 side by side, then the lanes of neighbouring rows.
    static ZR_KERNEL_INLINE void transpose(const double* rows, int stride, T* cols)
    {
        for (int h = 0; h < 2; ++h) {
            const double* r = rows + 2 * h;
            const T even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(r)),
                                                _mm_loadu_pd(r + 2 * stride), 1);
            const T odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(r + stride)),
                                               _mm_loadu_pd(r + 3 * stride), 1);
            cols[2 * h] = _mm256_unpacklo_pd(even, odd);
            cols[2 * h + 1] = _mm256_unpackhi_pd(even, odd);
        }
    }
};

#include "Src/DetectorKernel.inc"
} // namespace

void runAvx2(const State& state, const double* left, const double* right, double* totals, int frames) noexcept
{
    Kernel<Vec>::run(state, left, right, totals, frames);
}
} // namespace detector_kernel
