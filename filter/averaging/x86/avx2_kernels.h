// The averaging kernels compiled for AVX2; use only where CpuHasAvx2().
#pragma once

#include "averaging/kernel_set.h"

const KernelSet& Avx2Kernels();
