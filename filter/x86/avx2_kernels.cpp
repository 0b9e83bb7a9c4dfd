// The same kernels built with AVX2: twice the lanes of the baseline build. Called only
// after the processor has been seen to support AVX2.
#include "avx2_kernels.h"

#include <cstddef>
#include <cstdint>

namespace korvel_avx2 {
#include "averaging_kernels.inc"
}  // namespace korvel_avx2

const KernelSet& Avx2Kernels() { return korvel_avx2::kKernelsOfThisFile; }
