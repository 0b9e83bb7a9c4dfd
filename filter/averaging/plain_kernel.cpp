#include "averaging/plain_kernel.h"

namespace {

// Sum is int32_t wherever the largest possible sum fits, int64_t beyond.
template <typename Sum>
void Average(const AveragingJob& job) {
  const Sum count = job.offset_count;
  for (int i = job.row_begin; i < job.row_end; ++i) {
    const uint8_t* src_row = job.src + i * job.src_pitch;
    uint8_t* dst_row = job.dst + i * job.dst_pitch;
    for (int j = job.pixel_begin; j < job.pixel_end; ++j) {
      for (int k = 0; k < job.bytes_per_pixel; ++k) {
        const ptrdiff_t at = ptrdiff_t(j) * job.bytes_per_pixel + k;
        const uint8_t* centre = src_row + at;
        Sum sum = count / 2;
        for (int e = 0; e < job.offset_count; ++e) sum += centre[job.offsets[e]];
        dst_row[at] = uint8_t(sum / count);
      }
    }
  }
}

}  // namespace

void AveragePlain(const AveragingJob& job) {
  if (job.Empty()) return;
  if (SumFitsInt32(job.offset_count))
    Average<int32_t>(job);
  else
    Average<int64_t>(job);
}
