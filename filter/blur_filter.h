// The clip that Korvel returns: every frame of the child, blurred by one of three shapes.
#pragma once

#include <stdint.h>

#include "blur_engine.h"
#include "heap.h"
#include "host.h"
#include "shape.h"

class BlurFilter : public GenericVideoFilter, public HeapAllocated {
 public:
  // Keeps `blur` as given: the host keeps script strings alive as long as its filters.
  BlurFilter(const PClip& source, int x_extent, int y_extent, const char* keyword);
  ~BlurFilter() override;
  BlurFilter(const BlurFilter&) = delete;
  BlurFilter& operator=(const BlurFilter&) = delete;

  // Safe to call from many threads at once: a call changes nothing in the filter that
  // another call reads, bar the tables and work spaces the engine publishes once.
  PVideoFrame HOST_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

  // False when the table could not be allocated; such a filter must not be used.
  bool HasTable() const { return engine != nullptr; }
  const BlurEngine& Engine() const { return *engine; }

 private:
  int x;
  int y;  // for "focus" equal to x: the disc is as high as it is wide
  const char* blur;
  Shape shape;  // of `blur`, told once
  BlurEngine* engine = nullptr;
};
