// Frames and their buffers, shared between the host and plugins by counted references.
//
// The host owns every buffer and frame: it creates them in NewVideoFrame and reclaims those
// whose counts have fallen back to 0. A plugin only reads, writes and counts them, so all
// of this is inline and the same code runs on both sides of the library boundary.
#pragma once

#include <atomic>
#include <cstdint>

using BYTE = uint8_t;

class VideoFrameBuffer {
 public:
  VideoFrameBuffer(BYTE* data, int data_size) : data_(data), data_size_(data_size) {}
  VideoFrameBuffer(const VideoFrameBuffer&) = delete;
  VideoFrameBuffer& operator=(const VideoFrameBuffer&) = delete;

  const BYTE* GetReadPtr() const { return data_; }
  int GetDataSize() const { return data_size_; }
  int GetSequenceNumber() const { return sequence_number_.load(); }
  int GetRefcount() const { return refcount_.load(); }

 private:
  friend class VideoFrame;
  BYTE* const data_;
  const int data_size_;
  // Goes up each time the picture may have been rewritten, so caches can tell versions apart.
  std::atomic<int32_t> sequence_number_{0};
  // Number of frames that use this buffer while they are referenced.
  std::atomic<int32_t> refcount_{0};
};

class VideoFrame {
 public:
  // The frame counts as a user of its buffer from the start: a frame that is handed out
  // once is then the buffer's only user and may be written.
  VideoFrame(VideoFrameBuffer* buffer, int offset, int pitch, int row_size, int height)
      : buffer_(buffer), offset_(offset), pitch_(pitch), row_size_(row_size), height_(height) {
    ++buffer_->refcount_;
  }
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;

  int GetPitch() const { return pitch_; }
  int GetRowSize() const { return row_size_; }
  int GetHeight() const { return height_; }
  int GetOffset() const { return offset_; }
  const BYTE* GetReadPtr() const { return buffer_->GetReadPtr() + offset_; }
  const VideoFrameBuffer* GetFrameBuffer() const { return buffer_; }
  int GetRefcount() const { return refcount_.load(); }

  // Writable only while this reference is the sole user of frame and buffer; writing
  // bumps the buffer's sequence number.
  BYTE* GetWritePtr() const {
    if (refcount_.load() == 1 && buffer_->refcount_.load() == 1) {
      ++buffer_->sequence_number_;
      return buffer_->data_ + offset_;
    }
    return nullptr;
  }

 private:
  friend class PVideoFrame;
  void AddRef() { ++refcount_; }
  // The last reference to a frame also ends its use of the buffer.
  void Release() {
    if (refcount_.load() == 1) --buffer_->refcount_;
    --refcount_;
  }

  VideoFrameBuffer* const buffer_;
  const int offset_;
  const int pitch_;
  const int row_size_;
  const int height_;
  std::atomic<int32_t> refcount_{0};
};

class PVideoFrame {
 public:
  PVideoFrame() = default;
  PVideoFrame(VideoFrame* frame) : frame_(frame) { AddRef(); }  // NOLINT: implicit by design
  PVideoFrame(const PVideoFrame& other) : frame_(other.frame_) { AddRef(); }
  PVideoFrame(PVideoFrame&& other) noexcept : frame_(other.frame_) { other.frame_ = nullptr; }
  PVideoFrame& operator=(PVideoFrame other) noexcept {
    VideoFrame* old = frame_;
    frame_ = other.frame_;
    other.frame_ = old;
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
