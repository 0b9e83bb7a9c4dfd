// What the processor running the plugin supports, and its operating system saves, asked
// once with cpuid and xgetbv: no compiler runtime needed, so it works in every build.
#pragma once

bool CpuHasAvx2();
// AVX-512 Foundation, Byte and Word, and Vector Length extensions, with the state saved.
bool CpuHasAvx512BwVl();
// And the Vector Neural Network Instructions and Vector Byte Manipulation Instructions.
bool CpuHasAvx512VnniVbmi();
