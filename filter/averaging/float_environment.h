// Float arithmetic as the exact division needs it, whatever state the host left the vector
// unit in: products round to nearest, denormals are kept, and no exception traps (a host
// that unmasked the inexact exception would otherwise stop on the first rounded product).
// The caller's state comes back when the scope ends.
#pragma once

#if defined(KORVEL_X86_KERNELS)
#include <xmmintrin.h>

class DefaultFloatEnvironment {
 public:
  // Round to nearest, every exception masked, flags and denormal modes cleared; the
  // caller's flags come back too, untouched by the products rounded here.
  DefaultFloatEnvironment() : saved_(_mm_getcsr()) { _mm_setcsr(kDefault); }
  ~DefaultFloatEnvironment() { _mm_setcsr(saved_); }
  DefaultFloatEnvironment(const DefaultFloatEnvironment&) = delete;
  DefaultFloatEnvironment& operator=(const DefaultFloatEnvironment&) = delete;

 private:
  static constexpr unsigned kDefault = 0x1F80;
  unsigned saved_;
};
#else
// Builds without the x86 kernels never divide by floats.
class DefaultFloatEnvironment {};
#endif
