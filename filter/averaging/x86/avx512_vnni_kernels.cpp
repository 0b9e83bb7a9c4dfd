// The row-sum box built with AVX-512 VNNI and VBMI besides BW and VL; every other kernel of
// this set is AVX-512's own. Called only after the processor and its operating system have
// been seen to support them.
#include "averaging/x86/avx512_vnni_kernels.h"

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which it then
// reports as used uninitialised wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "averaging/kernel_operations.h"

namespace korvel_avx512_vnni {

// clang-format off
#include "averaging/x86/pixel_prefix.inc"
#include "averaging/x86/avx512_operations.inc"
// clang-format on

struct Avx512VnniOperations : Avx512Operations {
  // even += the steps of even bytes, odd += those of odd bytes: each 32-bit lane's dot
  // product of its two 16-bit steps with (1, 0) or (0, 1), signed.
  static void AddSignedSteps(Vector16 steps, Vector32& even, Vector32& odd) {
    even = Vector32(_mm512_dpwssd_epi32(Register(even), Register(steps), _mm512_set1_epi32(1)));
    odd = Vector32(_mm512_dpwssd_epi32(Register(odd), Register(steps), _mm512_set1_epi32(0x10000)));
  }

  // As Avx512Operations, but the low bytes of the rounded even and odd lanes go to their
  // places in one permute of both registers.
  template <bool kNearest>
  static void DivideEvenOdd32(Vector32 even, Vector32 odd, const Divisor& divisor, uint8_t* out) {
    if constexpr (!kNearest) {
      Avx512Operations::DivideEvenOdd32<false>(even, odd, divisor, out);
    } else {
      // Byte 2j from lane j of even, byte 2j + 1 from lane j of odd (64 + its byte).
      const __m512i order =
          _mm512_set_epi32(0x7C3C7838, 0x74347030, 0x6C2C6828, 0x64246020, 0x5C1C5818, 0x54145010,
                           0x4C0C4808, 0x44044000, 0x7C3C7838, 0x74347030, 0x6C2C6828, 0x64246020,
                           0x5C1C5818, 0x54145010, 0x4C0C4808, 0x44044000);
      const __m512i bytes = _mm512_permutex2var_epi8(RoundedToNearest(even, divisor), order,
                                                     RoundedToNearest(odd, divisor));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(bytes));
    }
  }
};

using Ops = Avx512VnniOperations;
static_assert(KernelOperations<Ops>, "the struct of operations lacks one the kernels use");

namespace {
// clang-format off
#include "averaging/kernel_helpers.inc"
#include "averaging/row_box_kernel.inc"
// clang-format on
}  // namespace

}  // namespace korvel_avx512_vnni

void AverageRowBox32Vnni(const AveragingJob& job, const RunLayout& layout, const Divisor& divisor,
                         const KernelBuffers& buffers) {
  korvel_avx512_vnni::AverageRowBox32(job, layout, divisor, buffers);
}
