#include "averaging/instruction_set.h"

#include <stdlib.h>
#include <string.h>

#if defined(KORVEL_X86_KERNELS)
#include "averaging/x86/cpu_features.h"
#endif

namespace {

constexpr InstructionSet kWidestFirst[] = {InstructionSet::kAvx512Vnni, InstructionSet::kAvx512,
                                           InstructionSet::kAvx2, InstructionSet::kPortable};

}  // namespace

const char* InstructionSetName(InstructionSet set) {
  switch (set) {
    case InstructionSet::kPortable: return "portable";
    case InstructionSet::kAvx2: return "avx2";
    case InstructionSet::kAvx512: return "avx512";
    case InstructionSet::kAvx512Vnni: return "avx512vnni";
  }
  return "unknown";
}

bool IsAvailable(InstructionSet set) {
  switch (set) {
    case InstructionSet::kPortable: return true;
#if defined(KORVEL_X86_KERNELS)
    case InstructionSet::kAvx2: return CpuHasAvx2();
    case InstructionSet::kAvx512: return CpuHasAvx512BwVl();
    case InstructionSet::kAvx512Vnni: return CpuHasAvx512VnniVbmi();
#else
    case InstructionSet::kAvx2:
    case InstructionSet::kAvx512:
    case InstructionSet::kAvx512Vnni: return false;
#endif
  }
  return false;
}

InstructionSet WidestWithin(const char* cap) {
  InstructionSet widest = kWidestFirst[0];
  for (InstructionSet set : kWidestFirst)
    if (cap && strcmp(cap, InstructionSetName(set)) == 0) widest = set;
  for (InstructionSet set : kWidestFirst)
    if (set <= widest && IsAvailable(set)) return set;
  return InstructionSet::kPortable;
}

// Read on first use, when a filter is created, not when the library loads: the Windows
// library has no entry point and runs no constructors. Threads that ask at once each
// store the same answer, atomically: no guarded static, which would need the C++ runtime.
InstructionSet BestInstructionSet() {
  static int chosen = 0;  // the set plus one, 0 before the first call
  int value = __atomic_load_n(&chosen, __ATOMIC_RELAXED);
  if (value == 0) {
    value = int(WidestWithin(getenv(KORVEL_INSTRUCTION_SET_VARIABLE))) + 1;
    __atomic_store_n(&chosen, value, __ATOMIC_RELAXED);
  }
  return InstructionSet(value - 1);
}
