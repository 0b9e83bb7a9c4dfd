// The same kernels built with AVX2: twice the lanes of the baseline build. Called only
// after the processor has been seen to support AVX2.
#include "averaging/x86/avx2_kernels.h"

#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "averaging/kernel_operations.h"

namespace korvel_avx2 {

// clang-format off
#include "averaging/x86/pixel_prefix.inc"
#include "averaging/x86/vector_operations.inc"
// clang-format on

struct Avx2Operations : VectorOperations<Avx2Operations> {
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

  // The words at p, each widened to a 32-bit lane, in one instruction.
  static Vector32 WidenWords32(const uint16_t* p) {
    return Vector32(_mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
  }

  // The floats at p, each widened to a double, in one instruction.
  static __m256d WidenFloats(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

  static Register Load(const void* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }

  // Divides 32-bit totals of kRows rows, eight of each at a time, `totals(k, t)` setting
  // t[r] to row r's from k on, and packs the quotients to bytes in out[r]. Below 2^24 by the
  // float reciprocal (the caller rounds to nearest), else from the high halves of the 64-bit
  // products of even and odd lanes, merged, then the rest of the shift. Returns how many of
  // each row it divided.
  template <int kRows, typename Totals>
  static ptrdiff_t DivideTotals32Rows(Totals totals, ptrdiff_t length, const Divisor& divisor,
                                      uint8_t* const* outs) {
    const __m256 reciprocal = _mm256_set1_ps(divisor.reciprocal);
    const __m256i multiplier = _mm256_set1_epi64x(divisor.multiplier);
    const __m128i rest = _mm_cvtsi32_si128(divisor.shift - 32);
    // Local copies: the compiler reloaded the pointers after every store.
    uint8_t* out[kRows];
    for (int r = 0; r < kRows; ++r) out[r] = outs[r];
    auto pack = [&](auto quotients) {
      ptrdiff_t k = 0;
      for (; k + 32 <= length; k += 32) {
        // Asked for in order of k: the window sums of the box are made step by step. Each
        // pair of steps is packed before the next is asked for, which keeps the registers
        // the compiler needs for two rows within AVX2's sixteen.
        __m256i first[kRows], second[kRows], low[kRows];
        totals(k, first);
        totals(k + 8, second);
        for (int r = 0; r < kRows; ++r)
          low[r] = _mm256_packus_epi32(quotients(first[r]), quotients(second[r]));
        totals(k + 16, first);
        totals(k + 24, second);
        for (int r = 0; r < kRows; ++r) {
          const __m256i high = _mm256_packus_epi32(quotients(first[r]), quotients(second[r]));
          // The packs work within 128-bit halves; this puts the 32 bytes back in order.
          const __m256i bytes = _mm256_permutevar8x32_epi32(
              _mm256_packus_epi16(low[r], high), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
          _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[r] + k), bytes);
        }
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

  // v moved up by kUp bytes across the whole register, zeros below.
  template <int kUp>
  static __m256i Up(__m256i v) {
    const __m256i low_half_up = _mm256_permute2x128_si256(v, v, 0x08);
    if constexpr (kUp < 16)
      return _mm256_alignr_epi8(v, low_half_up, 16 - kUp);
    else
      return _mm256_slli_si256(low_half_up, kUp - 16);
  }

  // One step of a row's prefix sums of bytes a pixel apart, in 16-bit lanes: the 16 bytes at
  // `in` widened and scanned by shifts of 1, 2, 4... pixels, plus each channel's total so far.
  // `carry` holds those totals, each in the lanes of its channel, and becomes this step's:
  // with 3-byte pixels lane j of the next step continues lane 13 + j % 3, the last of its
  // channel here. Pixels of kBytes = 1, 3 or 4 bytes; no chain from pixel to pixel.
  template <int kBytes>
  static __m256i PrefixStep16(const uint8_t* in, __m256i& carry) {
    auto add = [](__m256i a, __m256i b) { return _mm256_add_epi16(a, b); };
    __m256i v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    if constexpr (kBytes == 4) {
      v = add(v, Up<8>(v));
      v = add(add(v, Up<16>(v)), carry);
      carry = _mm256_permute4x64_epi64(v, 0xFF);
    } else if constexpr (kBytes == 3) {
      v = add(v, Up<6>(v));
      v = add(v, Up<12>(v));
      v = add(add(v, Up<24>(v)), carry);
      // Words 13 to 15 are words 5 to 7 of the high half: bytes 10 to 15 there.
      const __m256i last_pixel =
          _mm256_setr_epi8(10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13,  //
                           14, 15, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15, 10, 11);
      carry = _mm256_shuffle_epi8(_mm256_permute2x128_si256(v, v, 0x11), last_pixel);
    } else {
      static_assert(kBytes == 1, "pixels of 1, 3 or 4 bytes");
      v = add(v, Up<2>(v));
      v = add(v, Up<4>(v));
      v = add(v, Up<8>(v));
      v = add(add(v, Up<16>(v)), carry);
      carry = _mm256_shuffle_epi8(_mm256_permute4x64_epi64(v, 0xFF), _mm256_set1_epi16(0x0706));
    }
    return v;
  }

  // One step of a row's prefix sums of 32-bit values a pixel apart, eight at a time: the
  // register's own scan and the totals so far, as PrefixStep16 does for bytes (with 3-byte
  // pixels lane j of the next step continues lane 5 + j % 3). Where each channel keeps its
  // lanes from step to step, the register's own totals are broadcast before the totals so
  // far join them, so that the chain from step to step is one addition.
  template <int kBytes>
  static __m256i PrefixStep32(__m256i v, __m256i& carry) {
    auto add = [](__m256i a, __m256i b) { return _mm256_add_epi32(a, b); };
    if constexpr (kBytes == 4) {
      v = add(v, Up<16>(v));
      const __m256i totals = _mm256_permute2x128_si256(v, v, 0x11);
      v = add(v, carry);
      carry = add(carry, totals);
    } else if constexpr (kBytes == 3) {
      v = add(v, Up<12>(v));
      v = add(v, Up<24>(v));
      // Channels move two lanes each step: the totals so far come from this step's sums,
      // added after the register's own scan (the barrier keeps GCC from adding them sooner).
      __asm__("" : "+x"(v));
      v = add(v, carry);
      carry = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(5, 6, 7, 5, 6, 7, 5, 6));
    } else {
      static_assert(kBytes == 1, "pixels of 1, 3 or 4 bytes");
      v = add(v, Up<4>(v));
      v = add(v, Up<8>(v));
      v = add(v, Up<16>(v));
      const __m256i totals = _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(7));
      v = add(v, carry);
      carry = add(carry, totals);
    }
    return v;
  }

  // 32-bit prefix sums of a row go a pixel at a time on this set.
  template <typename Value>
  static ptrdiff_t PrefixOfValuesInRegisters32(const Value*, ptrdiff_t, int, uint32_t*) {
    return 0;
  }

  // Quotients of totals that hold the rounding term, in 32-bit lanes.
  static __m256i Quotients32(__m256i total, const Divisor& divisor) {
    if (divisor.reciprocal > 0)
      return _mm256_cvttps_epi32(
          _mm256_mul_ps(_mm256_cvtepi32_ps(total), _mm256_set1_ps(divisor.reciprocal)));
    const __m256i multiplier = _mm256_set1_epi64x(divisor.multiplier);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(total, multiplier), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(total, 32), multiplier);
    return _mm256_srl_epi32(_mm256_blend_epi32(even, odd, 0xAA),
                            _mm_cvtsi32_si128(divisor.shift - 32));
  }

  // 16-bit quotients of words' 32-bit sums (without the rounding term), sixteen at a time, by
  // the divisor's multiplier; `length` is a multiple of sixteen.
  static void DivideWords32(const uint32_t* sums, ptrdiff_t length, const Divisor& divisor,
                            uint16_t* out) {
    const __m256i half = _mm256_set1_epi32(int32_t(divisor.half));
    for (ptrdiff_t k = 0; k < length; k += 16) {
      const __m256i low = Quotients32(_mm256_add_epi32(Load(sums + k), half), divisor);
      const __m256i high = Quotients32(_mm256_add_epi32(Load(sums + k + 8), half), divisor);
      // The pack works within 128-bit halves; the permutation puts the words in order.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                          _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8));
    }
  }

  template <bool>
  static uint32_t EvenOddBias(const Divisor& divisor) {
    return divisor.half;
  }
  template <bool>
  static void DivideEvenOdd32(Vector32 even, Vector32 odd, const Divisor& divisor, uint8_t* out) {
    const __m256i words =
        _mm256_or_si256(Quotients32(Register(even), divisor),
                        _mm256_slli_epi32(Quotients32(Register(odd), divisor), 8));
    const __m256i packed = _mm256_packus_epi32(words, words);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08)));
  }

  // A plain prefetch: the hint to fetch for writing needs PRFCHW, which not every processor
  // with AVX2 has.
  static void PrefetchForWriting(uint8_t* out) {
    _mm_prefetch(reinterpret_cast<const char*>(out), _MM_HINT_T0);
  }
};

using Ops = Avx2Operations;
static_assert(MakesPrefixSteps16<Ops> && MakesPrefixSteps32<Ops> && DividesWords32<Ops> &&
                  WidensWords32<Ops> && WidensFloats<Ops>,
              "AVX2 scans bytes and 32-bit values, widens words and floats and divides words in "
              "registers");
#include "averaging/averaging_kernels.inc"
}  // namespace korvel_avx2

const KernelSet& Avx2Kernels() { return korvel_avx2::kKernelsOfThisFile; }
