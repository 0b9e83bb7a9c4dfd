// The reference averaging kernel: a direct sum over the offset table for every byte.
#pragma once

#include "averaging/averaging_job.h"

void AveragePlain(const AveragingJob& job);
