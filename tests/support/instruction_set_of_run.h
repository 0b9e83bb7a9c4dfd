// The instruction set the plugin takes in this process, worked out by the plugin's own code
// (instruction_set.cpp, linked into the test host) from the same processor and the same
// KORVEL_INSTRUCTION_SET, so that a test host can print it. C headers only: the Windows test
// host has no C++ standard library.
#pragma once

#include <stdlib.h>
#include <string.h>

#include "averaging/instruction_set.h"

namespace korvel_test {

inline const char* InstructionSetOfRun() { return InstructionSetName(BestInstructionSet()); }

// False when KORVEL_INSTRUCTION_SET names a set this processor lacks: the run would test a
// narrower set than it was started for.
inline bool CapIsAvailable() {
  const char* cap = getenv(KORVEL_INSTRUCTION_SET_VARIABLE);
  const InstructionSet sets[] = {InstructionSet::kPortable, InstructionSet::kAvx2,
                                 InstructionSet::kAvx512, InstructionSet::kAvx512Vnni};
  for (InstructionSet set : sets)
    if (cap && strcmp(cap, InstructionSetName(set)) == 0) return IsAvailable(set);
  return true;
}

}  // namespace korvel_test
