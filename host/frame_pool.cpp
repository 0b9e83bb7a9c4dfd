#include "frame_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

FramePool::~FramePool() {
  for (const Slot& slot : slots_) Free(slot);
}

bool FramePool::Unused(const Slot& slot) {
  return slot.frame->GetRefcount() == 0 && slot.buffer->GetRefcount() == 0;
}

void FramePool::Free(const Slot& slot) {
  delete slot.frame;
  delete slot.buffer;
  ::operator delete[](slot.data, std::align_val_t(slot.align));
}

void FramePool::ReclaimUnused() {
  auto unused = std::stable_partition(slots_.begin(), slots_.end(),
                                      [](const Slot& slot) { return !Unused(slot); });
  std::for_each(unused, slots_.end(), Free);
  slots_.erase(unused, slots_.end());
}

PVideoFrame FramePool::New(int row_size, int height, int pitch, int align) {
  if (row_size < 0 || height < 0 || align <= 0 || (align & (align - 1)) != 0) return {};
  const int64_t min_pitch = (int64_t(row_size) + align - 1) / align * align;
  const int64_t used_pitch = pitch > 0 ? (int64_t(pitch) + align - 1) / align * align : min_pitch;
  if (used_pitch < row_size) return {};
  // Exactly the bytes the frame spans, so that any access past them is a detectable fault.
  const int64_t size = std::max<int64_t>(used_pitch * height, 1);
  if (size > INT32_MAX) return {};

  Slot slot{};
  slot.align = size_t(std::max(align, int(alignof(std::max_align_t))));
  slot.data = static_cast<BYTE*>(
      ::operator new[](size_t(size), std::align_val_t(slot.align), std::nothrow));
  if (!slot.data) return {};
  if (fresh_fill_ >= 0) std::memset(slot.data, fresh_fill_, size_t(size));
  slot.buffer = new VideoFrameBuffer(slot.data, int(size));
  slot.frame = new VideoFrame(slot.buffer, 0, int(used_pitch), row_size, height);
  PVideoFrame result(slot.frame);

  std::lock_guard<std::mutex> lock(mutex_);
  ReclaimUnused();
  slots_.push_back(slot);
  return result;
}

size_t FramePool::LiveFrames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return size_t(
      std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !Unused(s); }));
}
