#include "frame_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

FramePool::~FramePool() = default;

bool FramePool::Unused(const Slot& slot) {
  return slot.frame->GetRefcount() == 0 && slot.buffer->Users() == 0;
}

PVideoFrame FramePool::New(int row_size, int height, int pitch, int align) {
  if (row_size < 0 || height < 0 || align <= 0 || (align & (align - 1)) != 0) return {};
  const int64_t min_pitch = (int64_t(row_size) + align - 1) / align * align;
  const int64_t used_pitch = pitch > 0 ? (int64_t(pitch) + align - 1) / align * align : min_pitch;
  if (used_pitch < row_size) return {};
  // Exactly the bytes the frame spans, so that any access past them is a detectable fault.
  const int64_t size = std::max<int64_t>(used_pitch * height, 1);
  if (size > INT32_MAX) return {};

  std::lock_guard<std::mutex> lock(mutex_);
  Slot* chosen = nullptr;
  for (Slot& slot : slots_) {
    const bool aligned = reinterpret_cast<uintptr_t>(slot.buffer->Bytes()) % unsigned(align) == 0;
    if (Unused(slot) && aligned && slot.frame->SameGeometry(int(used_pitch), height, row_size)) {
      chosen = &slot;
      break;
    }
  }
  if (!chosen) {
    // Unused frames of other shapes go, so the pool holds no more than what is in use and
    // what may be asked for again.
    slots_.erase(std::remove_if(slots_.begin(), slots_.end(), Unused), slots_.end());
    const size_t alignment = size_t(std::max(align, int(alignof(std::max_align_t))));
    auto* bytes = static_cast<BYTE*>(
        ::operator new[](size_t(size), std::align_val_t(alignment), std::nothrow));
    if (!bytes) return {};
    Slot slot;
    slot.buffer = std::make_unique<Buffer>(bytes, int(size), alignment);
    slot.frame = std::make_unique<Frame>(slot.buffer.get(), int(used_pitch), row_size, height);
    slots_.push_back(std::move(slot));
    chosen = &slots_.back();
  }
  chosen->buffer->Reuse();
  if (fresh_fill_ >= 0) std::memset(chosen->buffer->Bytes(), fresh_fill_, size_t(size));
  return PVideoFrame(chosen->frame.get());
}

size_t FramePool::LiveFrames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return size_t(
      std::count_if(slots_.begin(), slots_.end(), [](const Slot& slot) { return !Unused(slot); }));
}
