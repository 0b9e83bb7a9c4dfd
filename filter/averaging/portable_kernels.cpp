// The kernels built for the baseline instruction set: the fast path on any processor.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "averaging/kernel_set.h"

// Builds for processors without vector registers pass these vectors differently; they never
// leave this file, so the warning about it does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace korvel_portable {
constexpr int kVectorBytes = 16;
typedef uint16_t Words __attribute__((vector_size(16)));
typedef uint32_t Doublewords __attribute__((vector_size(16)));
typedef uint8_t EightBytes __attribute__((vector_size(8)));
typedef uint8_t FourBytes __attribute__((vector_size(4)));

// The bytes at p, each widened to a lane of the vector type given.
inline Words WidenBytes(const uint8_t* p, Words) {
  EightBytes bytes;
  memcpy(&bytes, p, sizeof bytes);
  return __builtin_convertvector(bytes, Words);
}
inline Doublewords WidenBytes(const uint8_t* p, Doublewords) {
  FourBytes bytes;
  memcpy(&bytes, p, sizeof bytes);
  return __builtin_convertvector(bytes, Doublewords);
}

// Prefix sums are left to the scalar loops.
template <typename Sum, typename Value>
bool PrefixByPixel(const Value*, ptrdiff_t, int, Sum*) {
  return false;
}

// Division is left to the loops the compiler vectorises.
template <typename Sum>
ptrdiff_t DivideByVector(const Sum*, ptrdiff_t, const Divisor&, uint8_t*) {
  return 0;
}
template <typename Sum>
ptrdiff_t DivideDifferencesByVector(const Sum*, const Sum*, Sum, ptrdiff_t, const Divisor&,
                                    uint8_t*) {
  return 0;
}

#include "averaging/averaging_kernels.inc"
}  // namespace korvel_portable

const KernelSet& PortableKernels() { return korvel_portable::kKernelsOfThisFile; }
