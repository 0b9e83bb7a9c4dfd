#include "cpu_features.h"

// The compiler's run-time check also asks the operating system whether it saves the wide
// registers, so a true answer means the instructions can be used.
bool CpuHasAvx2() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2;
}
