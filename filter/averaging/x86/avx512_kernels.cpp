// The same kernels built with AVX-512 BW and VL: 64-byte registers, twice AVX2's lanes, and
// quotients narrowed to bytes in one instruction. Called only after the processor and its
// operating system have been seen to support them.
#include "averaging/x86/avx512_kernels.h"

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

namespace korvel_avx512 {

// clang-format off
#include "averaging/x86/pixel_prefix.inc"
#include "averaging/x86/vector_operations.inc"
#include "averaging/x86/avx512_operations.inc"
// clang-format on

using Ops = Avx512Operations;
static_assert(MakesPrefixSteps16<Ops> && MakesPrefixSteps32<Ops> && InterleavesEvenOdd16<Ops> &&
                  DividesWords32<Ops> && WidensWords32<Ops> && WidensFloats<Ops>,
              "AVX-512 scans bytes and 32-bit values and interleaves 16-bit sums in registers");
#include "averaging/averaging_kernels.inc"
}  // namespace korvel_avx512

const KernelSet& Avx512Kernels() { return korvel_avx512::kKernelsOfThisFile; }

// The same, but for the row-sum box and the box of 32-bit sums built with the dot products and
// byte permutes of AVX-512 VNNI and VBMI.
namespace {
constexpr KernelSet WithVnni(KernelSet set) {
  set.box[kSum32] = &AverageBox32Vnni;
  set.row_box32 = &AverageRowBox32Vnni;
  return set;
}
constexpr KernelSet kWithVnni = WithVnni(korvel_avx512::kKernelsOfThisFile);
}  // namespace

const KernelSet& Avx512VnniKernels() { return kWithVnni; }
