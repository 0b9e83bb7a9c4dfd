// The same kernels built with AVX2: twice the lanes of the baseline build. Called only
// after the processor has been seen to support AVX2.
#include "avx2_kernels.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel_avx2 {
constexpr int kVectorBytes = 32;
typedef uint16_t Words __attribute__((vector_size(32)));
typedef uint32_t Doublewords __attribute__((vector_size(32)));

// The bytes at p, each widened to a lane of the vector type given, in one instruction.
inline Words WidenBytes(const uint8_t* p, Words) {
  return Words(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}
inline Doublewords WidenBytes(const uint8_t* p, Doublewords) {
  return Doublewords(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

#include "averaging_kernels.inc"
}  // namespace korvel_avx2

const KernelSet& Avx2Kernels() { return korvel_avx2::kKernelsOfThisFile; }
