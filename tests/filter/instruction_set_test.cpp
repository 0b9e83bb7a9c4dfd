// The cap on the instruction set: each name caps the choice at its set, where the processor
// has it, and anything else caps nothing.
#include "averaging/instruction_set.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr InstructionSet kSets[] = {InstructionSet::kPortable, InstructionSet::kAvx2,
                                    InstructionSet::kAvx512, InstructionSet::kAvx512Vnni};

TEST(InstructionSetCap, TakesTheWidestAvailableSetWithinTheNamedOne) {
  InstructionSet widest = InstructionSet::kPortable;
  for (InstructionSet set : kSets) {
    if (IsAvailable(set)) widest = set;
    EXPECT_EQ(WidestWithin(InstructionSetName(set)), widest) << InstructionSetName(set);
  }
  for (const char* no_cap : {static_cast<const char*>(nullptr), "", "AVX2", "avx", "sse2"})
    EXPECT_EQ(WidestWithin(no_cap), widest) << (no_cap ? no_cap : "(unset)");
  // As the filter reads it from the environment this test runs in.
  EXPECT_EQ(BestInstructionSet(), WidestWithin(std::getenv(KORVEL_INSTRUCTION_SET_VARIABLE)));
}

}  // namespace
