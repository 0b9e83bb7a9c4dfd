// Prints the instruction set the plugin takes in this run (scripts/real-host and
// scripts/vapoursynth run their tests once per set, capped by KORVEL_INSTRUCTION_SET), and
// fails where the cap names a set this processor lacks.
#include "instruction_set_of_run.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(InstructionSetOfRun, IsTheOneTheCapNames) {
  std::printf("instruction set of this run: %s\n", korvel_test::InstructionSetOfRun());
  EXPECT_TRUE(korvel_test::CapIsAvailable())
      << KORVEL_INSTRUCTION_SET_VARIABLE " names a set this processor lacks";
}
