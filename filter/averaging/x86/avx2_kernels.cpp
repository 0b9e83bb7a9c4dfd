// The same kernels built with AVX2: twice the lanes of the baseline build. Called only
// after the processor has been seen to support AVX2.
#include "averaging/x86/avx2_kernels.h"

#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace korvel_avx2 {

#include "averaging/x86/pixel_prefix.inc"

struct Avx2Operations {
  static constexpr int kVectorBytes = 32;
  typedef uint16_t Vector16 __attribute__((vector_size(32)));
  typedef uint32_t Vector32 __attribute__((vector_size(32)));
  typedef __m256i Register;

  // The bytes at p, each widened to a lane, in one instruction.
  static Vector16 Widen8To16(const uint8_t* p) {
    return Vector16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
  }
  static Vector32 Widen8To32(const uint8_t* p) {
    return Vector32(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
  }

  static Register Load(const void* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }

  // Divides 32-bit totals, eight at a time, `totals(k)` giving those from k on, and packs
  // the quotients to bytes. Below 2^24 by the float reciprocal (the caller rounds to
  // nearest), else from the high halves of the 64-bit products of even and odd lanes,
  // merged, then the rest of the shift. Returns how many it divided.
  template <typename Totals>
  static ptrdiff_t DivideTotals32(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                  uint8_t* out) {
    const __m256 reciprocal = _mm256_set1_ps(divisor.reciprocal);
    const __m256i multiplier = _mm256_set1_epi64x(divisor.multiplier);
    const __m128i rest = _mm_cvtsi32_si128(divisor.shift - 32);
    auto pack = [&](auto quotients) {
      ptrdiff_t k = 0;
      for (; k + 32 <= length; k += 32) {
        const __m256i low = _mm256_packus_epi32(quotients(totals(k)), quotients(totals(k + 8)));
        const __m256i high =
            _mm256_packus_epi32(quotients(totals(k + 16)), quotients(totals(k + 24)));
        // The packs work within 128-bit halves; this puts the 32 bytes back in order.
        const __m256i bytes = _mm256_permutevar8x32_epi32(
            _mm256_packus_epi16(low, high), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), bytes);
      }
      return k;
    };
    if (divisor.reciprocal > 0) {
      return pack([&](__m256i total) {
        return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(total), reciprocal));
      });
    }
    return pack([&](__m256i total) {
      const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(total, multiplier), 32);
      const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(total, 32), multiplier);
      return _mm256_srl_epi32(_mm256_blend_epi32(even, odd, 0xAA), rest);
    });
  }

  // 16-bit totals, sixteen at a time: the high half of the 16-bit product, then the rest of
  // the shift.
  template <typename Totals>
  static ptrdiff_t DivideTotals16(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                  uint8_t* out) {
    const __m256i multiplier = _mm256_set1_epi16(int16_t(uint16_t(divisor.multiplier)));
    const __m128i rest = _mm_cvtsi32_si128(divisor.shift - 16);
    auto quotients = [&](__m256i total) {
      return _mm256_srl_epi16(_mm256_mulhi_epu16(total, multiplier), rest);
    };
    ptrdiff_t k = 0;
    for (; k + 32 <= length; k += 32) {
      // The pack works within 128-bit halves; the permutation puts the 32 bytes in order.
      const __m256i bytes = _mm256_permute4x64_epi64(
          _mm256_packus_epi16(quotients(totals(k)), quotients(totals(k + 16))), 0xD8);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), bytes);
    }
    return k;
  }

#include "averaging/x86/vector_operations.inc"
};

using Ops = Avx2Operations;
#include "averaging/averaging_kernels.inc"
}  // namespace korvel_avx2

const KernelSet& Avx2Kernels() { return korvel_avx2::kKernelsOfThisFile; }
