// Owns every frame the host hands out, and reclaims those no longer referenced.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "host.h"

class FramePool {
 public:
  FramePool() = default;
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;
  ~FramePool();

  // A frame of `height` rows of `row_size` bytes, each row `pitch` bytes after the one
  // before; the start and the pitch are multiples of `align`. Returns an empty reference
  // when the size cannot be represented or allocated.
  PVideoFrame New(int row_size, int height, int pitch, int align);

  // Frames still referenced by someone.
  size_t LiveFrames() const;

  // When set, every new frame starts with all bytes equal to `fill`, so that tests can
  // tell which bytes a filter wrote. Off by default, as in a real host.
  void SetFreshFill(int fill) { fresh_fill_ = fill; }

 private:
  int fresh_fill_ = -1;

  struct Slot {
    BYTE* data;
    size_t align;
    VideoFrameBuffer* buffer;
    VideoFrame* frame;
  };
  static bool Unused(const Slot& slot);
  static void Free(const Slot& slot);
  void ReclaimUnused();

  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
};
