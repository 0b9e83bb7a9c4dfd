// The kernels built for the baseline instruction set: the fast path on any processor.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "averaging/kernel_operations.h"
#include "averaging/kernel_set.h"

// Builds for processors without vector registers pass these vectors differently; they never
// leave this file, so the warning about it does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace korvel_portable {

// The compiler's generic vectors of 16 bytes, which every x86-64 has registers for; prefix
// sums and division are left to the loops the compiler vectorises.
struct PortableOperations {
  static constexpr int kVectorBytes = 16;
  typedef uint16_t Vector16 __attribute__((vector_size(16)));
  typedef uint32_t Vector32 __attribute__((vector_size(16)));
  typedef uint8_t Bytes8 __attribute__((vector_size(8)));
  typedef uint8_t Bytes4 __attribute__((vector_size(4)));

  static Vector16 Widen8To16(const uint8_t* p) {
    Bytes8 bytes;
    memcpy(&bytes, p, sizeof bytes);
    return __builtin_convertvector(bytes, Vector16);
  }
  static Vector32 Widen8To32(const uint8_t* p) {
    Bytes4 bytes;
    memcpy(&bytes, p, sizeof bytes);
    return __builtin_convertvector(bytes, Vector32);
  }

  template <typename Value>
  static bool PrefixByPixel16(const Value*, ptrdiff_t, int, uint16_t*) {
    return false;
  }
  template <typename Value>
  static bool PrefixByPixel32(const Value*, ptrdiff_t, int, uint32_t*) {
    return false;
  }

  static ptrdiff_t Divide16(const uint16_t*, ptrdiff_t, const Divisor&, uint8_t*) { return 0; }
  static ptrdiff_t Divide32(const uint32_t*, ptrdiff_t, const Divisor&, uint8_t*) { return 0; }
  static ptrdiff_t DivideDifferences16(const uint16_t*, const uint16_t*, uint16_t, ptrdiff_t,
                                       const Divisor&, uint8_t*) {
    return 0;
  }
  static ptrdiff_t DivideDifferences32(const uint32_t*, const uint32_t*, uint32_t, ptrdiff_t,
                                       const Divisor&, uint8_t*) {
    return 0;
  }

  template <bool>
  static uint32_t EvenOddBias(const Divisor& divisor) {
    return divisor.half;
  }
  template <bool>
  static void DivideEvenOdd32(Vector32 even, Vector32 odd, const Divisor& divisor, uint8_t* out) {
    for (int k = 0; k < 4; ++k) {
      out[2 * k] = uint8_t((uint64_t(even[k]) * divisor.multiplier) >> divisor.shift);
      out[2 * k + 1] = uint8_t((uint64_t(odd[k]) * divisor.multiplier) >> divisor.shift);
    }
  }
  static void PrefetchForWriting(uint8_t*) {}
};

using Ops = PortableOperations;
// None of the optional operations: the compiler's loops take their place.
static_assert(!MakesPrefixSteps16<Ops> && !MakesPrefixSteps32<Ops> && !InterleavesEvenOdd16<Ops> &&
                  !AddsSignedSteps<Ops> && !DividesWords32<Ops> && !WidensWords32<Ops> &&
                  !WidensFloats<Ops>,
              "the portable set's kernels are the compiler's loops");
#include "averaging/averaging_kernels.inc"
}  // namespace korvel_portable

const KernelSet& PortableKernels() { return korvel_portable::kKernelsOfThisFile; }
