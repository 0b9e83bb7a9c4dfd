// The clip that Korvel returns: every frame of the child, blurred by one of three shapes.
#pragma once

#include <stdint.h>

#include "heap.h"
#include "host.h"

class FastAverager;
enum class KernelChoice;

class BlurFilter : public GenericVideoFilter, public HeapAllocated {
 public:
  // Keeps `blur` as given: the host keeps script strings alive as long as its filters.
  BlurFilter(const PClip& source, int x_extent, int y_extent, const char* keyword);
  ~BlurFilter() override;
  BlurFilter(const BlurFilter&) = delete;
  BlurFilter& operator=(const BlurFilter&) = delete;

  PVideoFrame HOST_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

  // Writes the sample offsets for a source frame of this pitch; "focus" also lowers
  // offset_count to the points of its disc.
  void FillOffsets(int pitch, int bytes_per_pixel, IScriptEnvironment* env);

  // False when the table could not be allocated; such a filter must not be used.
  bool HasTable() const { return bool(offsets); }
  const int32_t* Offsets() const { return offsets.get(); }
  // The kernel that averaged the last frame.
  KernelChoice LastKernel() const { return last_kernel; }
  int OffsetCount() const { return offset_count; }

 private:
  int x;
  int y;
  const char* blur;
  HeapArray<int32_t> offsets;  // freed before the base drops `child`
  int offset_count = 0;
  // Null when the fast kernels are switched off or their work space could not be had.
  FastAverager* averager = nullptr;
  KernelChoice last_kernel{};  // the plain kernel
};
