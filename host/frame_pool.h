// Owns every frame the host hands out, and recycles those no longer referenced.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "host.h"

class FramePool {
 public:
  FramePool() = default;
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;
  ~FramePool();

  // A frame of `height` rows of `row_size` bytes, each row `pitch` bytes after the one
  // before; the start and the pitch are multiples of `align`. A frame and buffer of the same
  // geometry whose counts are back at 0 are used again, as the frame server does. Returns an
  // empty reference when the size cannot be represented or allocated.
  PVideoFrame New(int row_size, int height, int pitch, int align);

  // Frames still referenced by someone.
  size_t LiveFrames() const;

  // When set, every frame handed out starts with all bytes equal to `fill`, so that tests
  // can tell which bytes a filter wrote. Off by default, as in a real host.
  void SetFreshFill(int fill) { fresh_fill_ = fill; }

 private:
  // The interface's buffer and frame, made and reset by the host alone.
  class Buffer : public VideoFrameBuffer {
   public:
    Buffer(BYTE* bytes, int size, size_t align) : VideoFrameBuffer(bytes, size), align_(align) {}
    ~Buffer() { ::operator delete[](data, std::align_val_t(align_)); }
    BYTE* Bytes() const { return data; }
    // One frame uses the buffer again.
    void Reuse() { refcount = 1; }
    long Users() const { return GetRefcount(); }

   private:
    size_t align_;
  };

  class Frame : public VideoFrame {
   public:
    Frame(Buffer* buffer, int row_pitch, int row_bytes, int rows)
        : VideoFrame(buffer, 0, row_pitch, row_bytes, rows) {}
    bool SameGeometry(int row_pitch, int rows, int row_bytes) const {
      return pitch == row_pitch && height == rows && row_size == row_bytes;
    }
  };

  struct Slot {
    std::unique_ptr<Buffer> buffer;
    std::unique_ptr<Frame> frame;
  };
  static bool Unused(const Slot& slot);

  int fresh_fill_ = -1;
  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
};
