// The averaging kernels compiled for AVX-512 (BW, VL); use only where CpuHasAvx512BwVl().
#pragma once

#include "averaging/kernel_set.h"

const KernelSet& Avx512Kernels();

// The same with the boxes of avx512_vnni_kernels.h; use only where
// CpuHasAvx512VnniVbmi().
const KernelSet& Avx512VnniKernels();
