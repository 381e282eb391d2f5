#include "Src/DetectorKernel.h"

#if ZR_DETECTOR_KERNELS && !(defined(__x86_64__) || defined(__i386__))
#error "the detector kernels are x86 code"
#endif

namespace detector_kernel
{
bool run(DetectorPath path, const State& state, const double* left, const double* right, double* totals,
         int frames) noexcept
{
#if ZR_DETECTOR_KERNELS
    switch (path) {
    case DetectorPath::avx512:
        runAvx512(state, left, right, totals, frames);
        return true;
    case DetectorPath::avx2:
        runAvx2(state, left, right, totals, frames);
        return true;
    case DetectorPath::sse2:
        runSse2(state, left, right, totals, frames);
        return true;
    case DetectorPath::scalar:
        break;
    }
#else
    (void)path, (void)state, (void)left, (void)right, (void)totals, (void)frames;
#endif
    return false;
}
} // namespace detector_kernel
