// The detector kernel on 8-lane AVX-512 vectors: the 64 crossover allpasses of both channels fill eight
// vectors. Compiled with -mavx512f; the detector calls it only on a CPU that has AVX-512F.

#include "Src/DetectorKernel.h"

// GCC 12's AVX-512 intrinsics fill "don't care" operands from a self-initialised variable, which its own
// flow analysis then reports as maybe uninitialised.
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
    using T = __m512d;
    using Filters = FourLaneFilters;
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
        return _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
    }
    static ZR_KERNEL_INLINE void storeLow(double* p, T v) { _mm_store_sd(p, _mm512_castpd512_pd128(v)); }

    // fast_pow's tables by column, each column's 16 rows in two vectors, for two-vector lane permutes.
    struct PowTables
    {
        T log[4][2];
        T exp[4][2];
    };
    static void preparePow(PowTables& tables, const double (*logTable)[4], const double (*expTable)[4])
    {
        for (int c = 0; c < 4; ++c)
            for (int h = 0; h < 2; ++h) {
                alignas(64) double logColumn[8];
                alignas(64) double expColumn[8];
                for (int r = 0; r < 8; ++r) {
                    logColumn[r] = logTable[8 * h + r][c];
                    expColumn[r] = expTable[8 * h + r][c];
                }
                tables.log[c][h] = _mm512_load_pd(logColumn);
                tables.exp[c][h] = _mm512_load_pd(expColumn);
            }
    }
    static ZR_KERNEL_INLINE T cubic(const T (*column)[2], __m512i row, T t)
    {
        const T a = _mm512_permutex2var_pd(column[0][0], row, column[0][1]);
        const T b = _mm512_permutex2var_pd(column[1][0], row, column[1][1]);
        const T c = _mm512_permutex2var_pd(column[2][0], row, column[2][1]);
        const T d = _mm512_permutex2var_pd(column[3][0], row, column[3][1]);
        return add(mul(add(mul(add(mul(a, t), b), t), c), t), d);
    }
    // fast_pow(x, y) on 8 lanes, step for step, including its answers outside the domain.
    static ZR_KERNEL_INLINE T fastPow(T x, T y, const PowTables& tables)
    {
        const T floatMax = set1(3.4028234663852886e38); // FLT_MAX
        const T zLimit = set1(16.0 * 4096.0);
        const T one = set1(1.0);
        const __mmask8 positive = _mm512_cmp_pd_mask(x, zero(), _CMP_GT_OQ);
        const T clamped = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, floatMax, _CMP_LT_OQ), floatMax, x);
        const __m256i bits = _mm256_castps_si256(_mm512_cvtpd_ps(clamped));
        const __m256i e = _mm256_sub_epi32(_mm256_srai_epi32(bits, 23), _mm256_set1_epi32(127));
        const __m512i logRow =
            _mm512_cvtepi32_epi64(_mm256_and_si256(_mm256_srli_epi32(bits, 19), _mm256_set1_epi32(15)));
        const T m = _mm512_cvtepi32_pd(_mm256_and_si256(bits, _mm256_set1_epi32(0x7FFFF)));
        const T log2x = add(_mm512_cvtepi32_pd(e), cubic(tables.log, logRow, m));

        T z = mul(mul(y, log2x), set1(16.0));
        const __mmask8 isNan = _mm512_cmp_pd_mask(z, z, _CMP_UNORD_Q);
        const __mmask8 inRange = _mm512_cmp_pd_mask(z, sub(zero(), zLimit), _CMP_GT_OQ) &
                                 _mm512_cmp_pd_mask(z, zLimit, _CMP_LT_OQ);
        const T limit =
            _mm512_mask_blend_pd(_mm512_cmp_pd_mask(z, zero(), _CMP_GT_OQ), sub(zero(), zLimit), zLimit);
        z = _mm512_mask_blend_pd(inRange, limit, z);
        // floor(z) as truncation, one step down where that rounded up, one up where z - k rounds to 1; all
        // exact in double for these small integers.
        T k = _mm512_cvtepi32_pd(_mm512_cvttpd_epi32(_mm512_mask_blend_pd(isNan, z, zero())));
        k = _mm512_mask_sub_pd(k, _mm512_cmp_pd_mask(k, z, _CMP_GT_OQ), k, one);
        T frac = sub(z, k);
        const __mmask8 wraps = _mm512_cmp_pd_mask(frac, one, _CMP_GE_OQ);
        k = _mm512_mask_add_pd(k, wraps, k, one);
        frac = _mm512_mask_blend_pd(wraps, frac, zero());

        const __m256i kInt = _mm512_cvttpd_epi32(k);
        const __m512i expRow = _mm512_cvtepi32_epi64(_mm256_and_si256(kInt, _mm256_set1_epi32(15)));
        const T power = cubic(tables.exp, expRow, frac);
        const __m256i exponent = _mm256_srai_epi32(kInt, 4);
        T twoPower = _mm512_castsi512_pd(_mm512_slli_epi64(
            _mm512_cvtepi32_epi64(_mm256_add_epi32(exponent, _mm256_set1_epi32(1023))), 52));
        const T exponentDouble = _mm512_cvtepi32_pd(exponent);
        twoPower = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(exponentDouble, set1(-1022.0), _CMP_LT_OQ),
                                        twoPower, zero());
        twoPower = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(exponentDouble, set1(1023.0), _CMP_GT_OQ),
                                        twoPower, set1(__builtin_inf()));
        return _mm512_mask_blend_pd(positive & static_cast<__mmask8>(~isNan), one, mul(power, twoPower));
    }
    static ZR_KERNEL_INLINE T gain(T total, const GainLaw& law, const PowTables& tables)
    {
        const T x = add(set1(1.0), mul(total, set1(law.thresholdFactor)));
        return add(mul(set1(law.wet), fastPow(x, set1(law.gainExponent), tables)), set1(law.dry));
    }

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
            high[i] =
                _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(a + 4)), _mm256_loadu_pd(b + 4), 1);
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

void runAvx512(const State& state, const double* left, const double* right, double* totals,
               int frames) noexcept
{
    Kernel<Vec>::run(state, left, right, totals, frames);
}
} // namespace detector_kernel
