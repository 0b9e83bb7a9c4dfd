// The row-sum box and the box of 32-bit sums built with AVX-512 VNNI and VBMI besides BW and
// VL; every other kernel of this set is AVX-512's own. Called only after the processor and its
// operating system have been seen to support them.
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
#include "averaging/x86/vector_operations.inc"
#include "averaging/x86/avx512_operations.inc"
// clang-format on

struct Avx512VnniOperations : Avx512OperationsOf<Avx512VnniOperations> {
  using Base = Avx512OperationsOf<Avx512VnniOperations>;

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
      Base::DivideEvenOdd32<false>(even, odd, divisor, out);
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

  // 32-bit totals, with a divisor of shift 40 or 48: each quotient is then a whole byte of
  // its 64-bit product, and one permute of the products of even and odd lanes puts sixteen
  // in order (four µops where shifts, a blend and a narrowing take eight). Others as
  // Avx512Operations.
  template <int kRows, typename Totals>
  static ptrdiff_t DivideTotals32Rows(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                      uint8_t* const* outs) {
    if (divisor.reciprocal > 0 || (divisor.shift != 40 && divisor.shift != 48))
      return Base::DivideTotals32Rows<kRows>(totals, length, divisor, outs);
    const __m512i multiplier = _mm512_set1_epi64(divisor.multiplier);
    // Byte 2j from quadword j of the even products, byte 2j + 1 from that of the odd ones
    // (64 + its byte), each at the quotient's byte.
    const __m512i order =
        _mm512_add_epi8(_mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x78387030, 0x68286020,
                                         0x58185010, 0x48084000),
                        _mm512_set1_epi8(char(divisor.shift / 8)));
    // Local copies: the compiler reloaded the pointers after every store.
    uint8_t* out[kRows];
    for (int r = 0; r < kRows; ++r) out[r] = outs[r];
    const ptrdiff_t whole = length / 16 * 16;
    for (ptrdiff_t k = 0; k < whole; k += 16) {
      __m512i rows[kRows];
      totals(k, rows);
      for (int r = 0; r < kRows; ++r) {
        const __m512i even = _mm512_mul_epu32(rows[r], multiplier);
        const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(rows[r], 32), multiplier);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out[r] + k),
                         _mm512_castsi512_si128(_mm512_permutex2var_epi8(even, order, odd)));
      }
    }
    return whole;
  }
};

using Ops = Avx512VnniOperations;
static_assert(MakesPrefixSteps16<Ops> && MakesPrefixSteps32<Ops> && InterleavesEvenOdd16<Ops> &&
                  AddsSignedSteps<Ops> && DividesWords32<Ops> && WidensWords32<Ops> &&
                  WidensFloats<Ops>,
              "AVX-512 VNNI adds signed steps by dot products besides AVX-512's operations");
static_assert(KernelOperations<Ops>, "the struct of operations lacks one the kernels use");

namespace {
// clang-format off
#include "averaging/kernel_helpers.inc"
#include "averaging/box_kernel.inc"
#include "averaging/row_box_kernel.inc"
// clang-format on
}  // namespace

}  // namespace korvel_avx512_vnni

void AverageRowBox32Vnni(const AveragingJob& job, const RunLayout& layout, const Divisor& divisor,
                         const KernelBuffers& buffers) {
  korvel_avx512_vnni::AverageRowBox32(job, layout, divisor, buffers);
}

void AverageBox32Vnni(const AveragingJob& job, const RunLayout& layout, const Divisor& divisor,
                      const KernelBuffers& buffers) {
  korvel_avx512_vnni::AverageBox32(job, layout, divisor, buffers);
}
