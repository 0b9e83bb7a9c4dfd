// The instruction sets the averaging kernels are built for, and which one the filter takes:
// the widest the processor has, unless the environment caps it.
#pragma once

// Each wider than those before it: kAvx512Vnni is AVX-512 with VNNI and VBMI too.
enum class InstructionSet { kPortable, kAvx2, kAvx512, kAvx512Vnni };

// The variable that caps the set, for diagnostics and for tests of the narrower sets: it
// names the widest set the filter may take, as InstructionSetName does.
#define KORVEL_INSTRUCTION_SET_VARIABLE "KORVEL_INSTRUCTION_SET"

// "portable", "avx2", "avx512", "avx512vnni".
const char* InstructionSetName(InstructionSet set);

// True when the processor supports the set and its operating system saves its registers.
bool IsAvailable(InstructionSet set);

// The widest available set no wider than the one `cap` names; null, or a name of no set,
// caps nothing.
InstructionSet WidestWithin(const char* cap);

// WidestWithin the value of KORVEL_INSTRUCTION_SET, read on the first call and kept.
InstructionSet BestInstructionSet();
