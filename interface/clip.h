// The clip interface and its counted reference.
#pragma once

#include <atomic>
#include <cstdint>

#include "video_frame.h"
#include "video_info.h"

class IScriptEnvironment;

enum { INTERFACE_VERSION = 2 };

class IClip {
 public:
  IClip() = default;
  IClip(const IClip&) = delete;
  IClip& operator=(const IClip&) = delete;

  // Slot order is part of the binary interface: do not reorder.
  virtual int GetVersion() { return INTERFACE_VERSION; }
  virtual PVideoFrame GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool GetParity(int n) = 0;
  virtual void GetAudio(void* buffer, int64_t start, int64_t count, IScriptEnvironment* env) = 0;
  virtual void SetCacheHints(int cachehints, int frame_range) = 0;
  virtual const VideoInfo& GetVideoInfo() = 0;
  virtual ~IClip() = default;

  int GetRefcount() const { return refcount_.load(); }

 private:
  friend class PClip;
  friend class AVSValue;
  std::atomic<int32_t> refcount_{0};
};

// Counted reference to a clip; whoever drops the last reference deletes the clip through
// its virtual destructor, so the clip is freed by the library that made it.
class PClip {
 public:
  PClip() = default;
  PClip(IClip* clip) : clip_(clip) { AddRef(); }  // NOLINT: implicit by design
  PClip(const PClip& other) : clip_(other.clip_) { AddRef(); }
  PClip(PClip&& other) noexcept : clip_(other.clip_) { other.clip_ = nullptr; }
  PClip& operator=(PClip other) noexcept {
    IClip* old = clip_;
    clip_ = other.clip_;
    other.clip_ = old;
    return *this;
  }
  ~PClip() { Release(); }

  IClip* operator->() const { return clip_; }
  IClip* get() const { return clip_; }
  explicit operator bool() const { return clip_ != nullptr; }

 private:
  void AddRef() {
    if (clip_) ++clip_->refcount_;
  }
  void Release() {
    if (clip_ && --clip_->refcount_ == 0) delete clip_;
    clip_ = nullptr;
  }
  IClip* clip_ = nullptr;
};
