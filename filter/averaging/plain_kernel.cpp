#include "averaging/plain_kernel.h"

#include <string.h>

#include "averaging/float_environment.h"

namespace {

template <typename Sample>
Sample SampleAt(const uint8_t* at) {
  Sample sample;
  memcpy(&sample, at, sizeof sample);
  return sample;
}

// Bytes and words: Sum is int32_t wherever the largest possible sum fits, int64_t beyond.
template <typename Sample, typename Sum>
void Average(const AveragingJob& job) {
  const Sum count = job.offset_count;
  const int channels = job.bytes_per_pixel / int(sizeof(Sample));
  for (int i = job.row_begin; i < job.row_end; ++i) {
    const uint8_t* src_row = job.src + i * job.src_pitch;
    uint8_t* dst_row = job.dst + i * job.dst_pitch;
    for (int j = job.pixel_begin; j < job.pixel_end; ++j) {
      for (int k = 0; k < channels; ++k) {
        const ptrdiff_t at = (ptrdiff_t(j) * channels + k) * ptrdiff_t(sizeof(Sample));
        const uint8_t* centre = src_row + at;
        Sum sum = count / 2;
        for (int e = 0; e < job.offset_count; ++e) sum += SampleAt<Sample>(centre + job.offsets[e]);
        const Sample mean = Sample(sum / count);
        memcpy(dst_row + at, &mean, sizeof mean);
      }
    }
  }
}

// Floats: the exact sum of the samples' integers (float_sums.h). A window that holds an
// infinity or a NaN gets what a direct sum gives: NaN for a NaN or for infinities of both
// signs, else that infinity.
void AverageFloats(const AveragingJob& job) {
  const int channels = job.bytes_per_pixel / int(sizeof(float));
  const double scale = job.float_scale.scale;
  for (int i = job.row_begin; i < job.row_end; ++i) {
    const uint8_t* src_row = job.src + i * job.src_pitch;
    uint8_t* dst_row = job.dst + i * job.dst_pitch;
    for (int j = job.pixel_begin; j < job.pixel_end; ++j) {
      for (int k = 0; k < channels; ++k) {
        const ptrdiff_t at = (ptrdiff_t(j) * channels + k) * ptrdiff_t(sizeof(float));
        const uint8_t* centre = src_row + at;
        uint64_t sum = 0;
        bool upwards = false, downwards = false;  // an infinity of that sign, or a NaN
        for (int e = 0; e < job.offset_count; ++e) {
          const float sample = SampleAt<float>(centre + job.offsets[e]);
          const uint32_t bits = FloatBits(sample);
          if ((bits & 0x7FFFFFFFu) < kNonFiniteBits) {
            sum += uint64_t(QuantizedSample(sample, scale));
            continue;
          }
          const bool nan = (bits & 0x7FFFFFFFu) > kNonFiniteBits;
          upwards |= nan || bits == kNonFiniteBits;
          downwards |= nan || bits != kNonFiniteBits;
        }
        const float mean = NonFiniteMean(upwards, downwards, MeanOfSum(sum, job.float_scale));
        memcpy(dst_row + at, &mean, sizeof mean);
      }
    }
  }
}

}  // namespace

void AveragePlain(const AveragingJob& job) {
  if (job.Empty()) return;
  switch (job.sample_type) {
    case SampleType::kUint8:
      if (SumFitsInt32(job.offset_count))
        Average<uint8_t, int32_t>(job);
      else
        Average<uint8_t, int64_t>(job);
      return;
    case SampleType::kUint16: Average<uint16_t, int64_t>(job); return;
    case SampleType::kFloat32: {
      // The integers are rounded to nearest whatever mode the host left.
      [[maybe_unused]] const DefaultFloatEnvironment float_environment;
      AverageFloats(job);
      return;
    }
  }
}
