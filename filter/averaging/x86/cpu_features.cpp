#include "averaging/x86/cpu_features.h"

#include <cpuid.h>
#include <stdint.h>

namespace {

constexpr unsigned kAsked = 1, kAvx2 = 2, kAvx512BwVl = 4, kAvx512VnniVbmi = 8;

// The extended state the operating system saves on a switch of task (XCR0).
uint64_t SavedState() {
  uint32_t low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (uint64_t(high) << 32) | low;
}

unsigned Ask() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return kAsked;
  const bool os_saves = (c >> 27) & 1, avx = (c >> 28) & 1;
  if (!os_saves || !avx) return kAsked;
  const uint64_t state = SavedState();
  const bool ymm_saved = (state & 0x6) == 0x6;    // SSE and AVX state
  const bool zmm_saved = (state & 0xE6) == 0xE6;  // and the opmask and upper ZMM state
  if (!ymm_saved || !__get_cpuid_count(7, 0, &a, &b, &c, &d)) return kAsked;
  const bool avx2 = (b >> 5) & 1;
  const bool f = (b >> 16) & 1, bw = (b >> 30) & 1, vl = (b >> 31) & 1;
  const bool avx512 = avx2 && zmm_saved && f && bw && vl;
  const bool vbmi = (c >> 1) & 1, vnni = (c >> 11) & 1;
  return kAsked | (avx2 ? kAvx2 : 0) | (avx512 ? kAvx512BwVl : 0) |
         (avx512 && vnni && vbmi ? kAvx512VnniVbmi : 0);
}

// Asked on first use. Threads that ask at once each store the same answer, atomically: no
// guarded static, which would need the C++ runtime.
unsigned Asked() {
  static unsigned answer = 0;
  unsigned features = __atomic_load_n(&answer, __ATOMIC_RELAXED);
  if (features == 0) {
    features = Ask();
    __atomic_store_n(&answer, features, __ATOMIC_RELAXED);
  }
  return features;
}

}  // namespace

bool CpuHasAvx2() { return (Asked() & kAvx2) != 0; }
bool CpuHasAvx512BwVl() { return (Asked() & kAvx512BwVl) != 0; }
bool CpuHasAvx512VnniVbmi() { return (Asked() & kAvx512VnniVbmi) != 0; }
