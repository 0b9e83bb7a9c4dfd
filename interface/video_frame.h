// Frames and their buffers, shared between the host and plugins by counted references.
//
// The host allocates every buffer and frame, and recycles them once their counts are back
// at 0; its structures go on past the fields declared here. A plugin only reads, writes and
// counts them, so everything here is inline, and the fields keep the host's order and
// types: they are read directly on both sides of the library boundary.
#pragma once

#include <stdint.h>

#include "reference_count.h"

typedef uint8_t BYTE;

class VideoFrameBuffer {
 public:
  const BYTE* GetReadPtr() const { return data; }
  int GetDataSize() const { return data_size; }
  long GetSequenceNumber() const { return CountOf(&sequence_number); }
  long GetRefcount() const { return CountOf(&refcount); }

 protected:
  VideoFrameBuffer(BYTE* bytes, int size) : data(bytes), data_size(size) {}
  VideoFrameBuffer(const VideoFrameBuffer&) = delete;
  VideoFrameBuffer& operator=(const VideoFrameBuffer&) = delete;

  BYTE* const data;
  const int data_size;
  // Goes up each time the picture may be rewritten, so caches can tell versions apart.
  volatile long sequence_number = 0;
  // Frames that use this buffer while they are referenced.
  volatile long refcount = 0;

  friend class VideoFrame;
};

class VideoFrame {
 public:
  int GetPitch() const { return pitch; }
  int GetRowSize() const { return row_size; }
  int GetHeight() const { return height; }
  int GetOffset() const { return offset; }
  const BYTE* GetReadPtr() const { return vfb->data + offset; }
  const VideoFrameBuffer* GetFrameBuffer() const { return vfb; }
  long GetRefcount() const { return CountOf(&refcount); }

  // Writable only while this reference is the sole user of frame and buffer; writing bumps
  // the buffer's sequence number.
  BYTE* GetWritePtr() const {
    if (CountOf(&refcount) == 1 && CountOf(&vfb->refcount) == 1) {
      CountUp(&vfb->sequence_number);
      return vfb->data + offset;
    }
    return nullptr;
  }

 protected:
  VideoFrame(VideoFrameBuffer* buffer, int start, int row_pitch, int row_bytes, int rows)
      : vfb(buffer), offset(start), pitch(row_pitch), row_size(row_bytes), height(rows) {}
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;

  volatile long refcount = 0;
  VideoFrameBuffer* vfb;
  int offset;
  int pitch;
  int row_size;
  int height;

 private:
  friend class PVideoFrame;
  void AddRef() { CountUp(&refcount); }
  // The last reference to a frame ends its use of the buffer. The buffer is read first: once
  // the count is 0 the host may recycle this frame on another thread.
  void Release() {
    VideoFrameBuffer* const buffer = vfb;
    if (CountDown(&refcount) == 0) CountDown(&buffer->refcount);
  }
};

class PVideoFrame {
 public:
  PVideoFrame() = default;
  PVideoFrame(VideoFrame* frame) : frame_(frame) { AddRef(); }  // NOLINT: implicit by design
  PVideoFrame(const PVideoFrame& other) : frame_(other.frame_) { AddRef(); }
  PVideoFrame(PVideoFrame&& other) noexcept : frame_(other.frame_) { other.frame_ = nullptr; }
  PVideoFrame& operator=(const PVideoFrame& other) {
    VideoFrame* const old = frame_;
    frame_ = other.frame_;
    AddRef();
    if (old) old->Release();
    return *this;
  }
  ~PVideoFrame() { Release(); }

  VideoFrame* operator->() const { return frame_; }
  VideoFrame* get() const { return frame_; }
  explicit operator bool() const { return frame_ != nullptr; }

 private:
  void AddRef() {
    if (frame_) frame_->AddRef();
  }
  void Release() {
    if (frame_) frame_->Release();
    frame_ = nullptr;
  }
  VideoFrame* frame_ = nullptr;
};
