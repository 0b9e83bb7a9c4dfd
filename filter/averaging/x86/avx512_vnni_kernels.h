// The row-sum box and the box of 32-bit sums compiled for AVX-512 with VNNI and VBMI: one dot
// product adds a register of 16-bit steps to 32-bit sums, and one byte permute narrows two
// registers of quotients. Use only where CpuHasAvx512VnniVbmi().
#pragma once

#include "averaging/kernel_set.h"

void AverageRowBox32Vnni(const AveragingJob& job, const RunLayout& layout, const Divisor& divisor,
                         const KernelBuffers& buffers);
void AverageBox32Vnni(const AveragingJob& job, const RunLayout& layout, const Divisor& divisor,
                      const KernelBuffers& buffers);
