// The same kernels built with AVX-512 BW and VL: 64-byte registers, twice AVX2's lanes, and
// quotients narrowed to bytes in one instruction. Called only after the processor and its
// operating system have been seen to support them.
#include "averaging/x86/avx512_kernels.h"

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

namespace korvel_avx512 {

#include "averaging/x86/pixel_prefix.inc"

struct Avx512Operations {
  static constexpr int kVectorBytes = 64;
  typedef uint16_t Vector16 __attribute__((vector_size(64)));
  typedef uint32_t Vector32 __attribute__((vector_size(64)));
  typedef __m512i Register;

  // The bytes at p, each widened to a lane, in one instruction.
  static Vector16 Widen8To16(const uint8_t* p) {
    return Vector16(_mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))));
  }
  static Vector32 Widen8To32(const uint8_t* p) {
    return Vector32(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
  }

  static Register Load(const void* at) { return _mm512_loadu_si512(at); }

  // Divides 32-bit totals, sixteen at a time, `totals(k)` giving those from k on, and
  // narrows the quotients to bytes. Below 2^24 by the float reciprocal (the caller rounds to
  // nearest), else from the high halves of the 64-bit products of even and odd lanes,
  // merged, then the rest of the shift. Returns how many it divided.
  template <typename Totals>
  static ptrdiff_t DivideTotals32(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                  uint8_t* out) {
    const __m512 reciprocal = _mm512_set1_ps(divisor.reciprocal);
    const __m512i multiplier = _mm512_set1_epi64(divisor.multiplier);
    const __m128i rest = _mm_cvtsi32_si128(divisor.shift - 32);
    auto narrow = [&](auto quotients) {
      const ptrdiff_t whole = length / 16 * 16;
      for (ptrdiff_t k = 0; k < whole; k += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm512_cvtepi32_epi8(quotients(totals(k))));
      return whole;
    };
    if (divisor.reciprocal > 0) {
      return narrow([&](__m512i total) {
        return _mm512_cvttps_epi32(_mm512_mul_ps(_mm512_cvtepi32_ps(total), reciprocal));
      });
    }
    return narrow([&](__m512i total) {
      const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(total, multiplier), 32);
      const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(total, 32), multiplier);
      return _mm512_srl_epi32(_mm512_mask_blend_epi32(0xAAAA, even, odd), rest);
    });
  }

  // 16-bit totals, thirty-two at a time: the high half of the 16-bit product, then the rest
  // of the shift.
  template <typename Totals>
  static ptrdiff_t DivideTotals16(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                  uint8_t* out) {
    const __m512i multiplier = _mm512_set1_epi16(int16_t(uint16_t(divisor.multiplier)));
    const __m128i rest = _mm_cvtsi32_si128(divisor.shift - 16);
    const ptrdiff_t whole = length / 32 * 32;
    for (ptrdiff_t k = 0; k < whole; k += 32) {
      const __m512i quotients = _mm512_srl_epi16(_mm512_mulhi_epu16(totals(k), multiplier), rest);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm512_cvtepi16_epi8(quotients));
    }
    return whole;
  }

  // Prefix sums of bytes a pixel apart into 16-bit lanes, a register at a time with no
  // chain from pixel to pixel: the register's own scan by shifts of 1, 2, 4... pixels, plus
  // each channel's total so far. Pixels of 3 bytes take 30 lanes a step, ten whole pixels.
  // Returns how many bytes it summed: whole steps, from the first; none for other pixels.
  static ptrdiff_t PrefixOfBytesInRegisters16(const uint8_t* in, ptrdiff_t length, int bytes,
                                              uint16_t* prefix) {
    const __m512i zero = _mm512_setzero_si512();
    auto widen = [&](ptrdiff_t t) {
      return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + t)));
    };
    auto add = [](__m512i a, __m512i b) { return _mm512_add_epi16(a, b); };
    // Lane j of a register holds lane j - 1 of v (j - 3 for by_three), zero below.
    const __m512i back_one =
        _mm512_set_epi16(30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12,
                         11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0);
    ptrdiff_t t = 0;
    __m512i carry = zero;
    if (bytes == 4) {
      const __m512i last_pixel = _mm512_set1_epi64(7);
      for (; t + 32 <= length; t += 32) {
        __m512i v = widen(t);
        v = add(v, _mm512_alignr_epi64(v, zero, 7));
        v = add(v, _mm512_alignr_epi64(v, zero, 6));
        v = add(add(v, _mm512_alignr_epi64(v, zero, 4)), carry);
        _mm512_storeu_si512(prefix + t + 4, v);
        carry = _mm512_permutexvar_epi64(last_pixel, v);
      }
    } else if (bytes == 3) {
      const __m512i back_three = _mm512_sub_epi16(back_one, _mm512_set1_epi16(2));
      const __m512i last_pixel =
          _mm512_set_epi16(28, 27, 29, 28, 27, 29, 28, 27, 29, 28, 27, 29, 28, 27, 29, 28, 27, 29,
                           28, 27, 29, 28, 27, 29, 28, 27, 29, 28, 27, 29, 28, 27);
      for (; t + 32 <= length; t += 30) {
        __m512i v = widen(t);
        v = add(v, _mm512_maskz_permutexvar_epi16(~__mmask32(7), back_three, v));
        v = add(v, _mm512_alignr_epi32(v, zero, 13));
        v = add(v, _mm512_alignr_epi32(v, zero, 10));
        v = add(add(v, _mm512_alignr_epi32(v, zero, 4)), carry);
        _mm512_storeu_si512(prefix + t + 3, v);  // lanes 30 and 31 are rewritten next
        carry = _mm512_permutexvar_epi16(last_pixel, v);
      }
    } else if (bytes == 1) {
      const __m512i last = _mm512_set1_epi16(31);
      for (; t + 32 <= length; t += 32) {
        __m512i v = widen(t);
        v = add(v, _mm512_maskz_permutexvar_epi16(~__mmask32(1), back_one, v));
        v = add(v, _mm512_alignr_epi32(v, zero, 15));
        v = add(v, _mm512_alignr_epi32(v, zero, 14));
        v = add(v, _mm512_alignr_epi64(v, zero, 6));
        v = add(add(v, _mm512_alignr_epi64(v, zero, 4)), carry);
        _mm512_storeu_si512(prefix + t + 1, v);
        carry = _mm512_permutexvar_epi16(last, v);
      }
    }
    if (t > 0)
      for (int c = 0; c < bytes; ++c) prefix[c] = 0;
    return t;
  }

  // The same into 32-bit lanes from 16-bit or 32-bit values: sixteen lanes a step, fifteen
  // (five whole pixels) for pixels of 3 bytes.
  template <typename Value>
  static ptrdiff_t PrefixOfValuesInRegisters32(const Value* in, ptrdiff_t length, int bytes,
                                               uint32_t* prefix) {
    const __m512i zero = _mm512_setzero_si512();
    auto widen = [&](ptrdiff_t t) {
      if constexpr (sizeof(Value) == 2)
        return _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + t)));
      else
        return _mm512_loadu_si512(in + t);
    };
    auto add = [](__m512i a, __m512i b) { return _mm512_add_epi32(a, b); };
    ptrdiff_t t = 0;
    __m512i carry = zero;
    if (bytes == 4) {
      const __m512i last_pixel = _mm512_set_epi32(15, 14, 13, 12, 15, 14, 13, 12, 15, 14, 13, 12,
                                                  15, 14, 13, 12);
      for (; t + 16 <= length; t += 16) {
        __m512i v = widen(t);
        v = add(v, _mm512_alignr_epi64(v, zero, 6));
        v = add(add(v, _mm512_alignr_epi64(v, zero, 4)), carry);
        _mm512_storeu_si512(prefix + t + 4, v);
        carry = _mm512_permutexvar_epi32(last_pixel, v);
      }
    } else if (bytes == 3) {
      const __m512i last_pixel = _mm512_set_epi32(12, 14, 13, 12, 14, 13, 12, 14, 13, 12, 14, 13,
                                                  12, 14, 13, 12);
      for (; t + 16 <= length; t += 15) {
        __m512i v = widen(t);
        v = add(v, _mm512_alignr_epi32(v, zero, 13));
        v = add(v, _mm512_alignr_epi32(v, zero, 10));
        v = add(add(v, _mm512_alignr_epi32(v, zero, 4)), carry);
        _mm512_storeu_si512(prefix + t + 3, v);  // lane 15 is rewritten next
        carry = _mm512_permutexvar_epi32(last_pixel, v);
      }
    } else if (bytes == 1) {
      const __m512i last = _mm512_set1_epi32(15);
      for (; t + 16 <= length; t += 16) {
        __m512i v = widen(t);
        v = add(v, _mm512_alignr_epi32(v, zero, 15));
        v = add(v, _mm512_alignr_epi32(v, zero, 14));
        v = add(v, _mm512_alignr_epi32(v, zero, 12));
        v = add(add(v, _mm512_alignr_epi32(v, zero, 8)), carry);
        _mm512_storeu_si512(prefix + t + 1, v);
        carry = _mm512_permutexvar_epi32(last, v);
      }
    }
    if (t > 0)
      for (int c = 0; c < bytes; ++c) prefix[c] = 0;
    return t;
  }

  // Quotients of totals that hold the rounding term, in 32-bit lanes.
  static __m512i Quotients32(__m512i total, const Divisor& divisor) {
    if (divisor.reciprocal > 0)
      return _mm512_cvttps_epi32(
          _mm512_mul_ps(_mm512_cvtepi32_ps(total), _mm512_set1_ps(divisor.reciprocal)));
    const __m512i multiplier = _mm512_set1_epi64(divisor.multiplier);
    const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(total, multiplier), 32);
    const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(total, 32), multiplier);
    return _mm512_srl_epi32(_mm512_mask_blend_epi32(0xAAAA, even, odd),
                            _mm_cvtsi32_si128(divisor.shift - 32));
  }

  // Below 2^24 the totals start from 0: one fused multiply-add by the nearest reciprocal and
  // 2^23 rounds the quotient into the float's low byte, rounding term included.
  template <bool kNearest>
  static uint32_t EvenOddBias(const Divisor& divisor) {
    return kNearest ? 0 : divisor.half;
  }
  template <bool kNearest>
  static void DivideEvenOdd32(Vector32 even, Vector32 odd, const Divisor& divisor, uint8_t* out) {
    __m512i words;
    if constexpr (kNearest) {
      const __m512 reciprocal = _mm512_set1_ps(divisor.nearest_reciprocal);
      const __m512 shifter = _mm512_set1_ps(8388608.0f);
      auto rounded = [&](Vector32 total) {
        return _mm512_castps_si512(
            _mm512_fmadd_ps(_mm512_cvtepi32_ps(Register(total)), reciprocal, shifter));
      };
      // (even & 0xFF) | odd << 8: the low word of each lane holds both bytes.
      words = _mm512_ternarylogic_epi32(rounded(even), _mm512_slli_epi32(rounded(odd), 8),
                                        _mm512_set1_epi32(0xFF), 0xEC);
    } else {
      words = _mm512_or_si512(Quotients32(Register(even), divisor),
                              _mm512_slli_epi32(Quotients32(Register(odd), divisor), 8));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtepi32_epi16(words));
  }

#include "averaging/x86/vector_operations.inc"
};

using Ops = Avx512Operations;
#include "averaging/averaging_kernels.inc"
}  // namespace korvel_avx512

const KernelSet& Avx512Kernels() { return korvel_avx512::kKernelsOfThisFile; }
