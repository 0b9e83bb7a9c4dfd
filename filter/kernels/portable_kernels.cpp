// The kernels built for the baseline instruction set: the fast path on any processor.
#include <cstddef>
#include <cstdint>

#include "kernel_set.h"

namespace korvel_portable {
#include "averaging_kernels.inc"
}  // namespace korvel_portable

const KernelSet& PortableKernels() { return korvel_portable::kKernelsOfThisFile; }
