// The clip that Korvel returns: every frame of the child, blurred by one of three shapes.
#pragma once

#include <cstdint>

#include "fast_averager.h"
#include "host.h"

class BlurFilter : public GenericVideoFilter {
 public:
  // Keeps `blur` as given: the host keeps script strings alive as long as its filters.
  BlurFilter(const PClip& source, int x_extent, int y_extent, const char* keyword);
  ~BlurFilter() override;
  BlurFilter(const BlurFilter&) = delete;
  BlurFilter& operator=(const BlurFilter&) = delete;

  PVideoFrame GetFrame(int n, IScriptEnvironment* env) override;

  // Writes the sample offsets for a source frame of this pitch; "focus" also lowers
  // offset_count to the points of its disc.
  void FillOffsets(int pitch, int bytes_per_pixel, IScriptEnvironment* env);

  // False when the table could not be allocated; such a filter must not be used.
  bool HasTable() const { return offsets != nullptr; }
  const int32_t* Offsets() const { return offsets; }
  // The kernel that averaged the last frame.
  KernelChoice LastKernel() const { return last_kernel; }
  int OffsetCount() const { return offset_count; }

 private:
  int x;
  int y;
  const char* blur;
  int32_t* offsets = nullptr;
  int offset_count = 0;
  // Null when the fast kernels are switched off or their work space could not be had.
  FastAverager* averager = nullptr;
  KernelChoice last_kernel = KernelChoice::kPlain;
};
