// The clip interface and its counted reference.
#pragma once

#include <stdint.h>

#include "calling_convention.h"
#include "reference_count.h"
#include "video_frame.h"
#include "video_info.h"

class IScriptEnvironment;

enum { AVISYNTH_INTERFACE_VERSION = 2 };

class IClip {
 public:
  IClip() = default;
  IClip(const IClip&) = delete;
  IClip& operator=(const IClip&) = delete;

  // Slot order is part of the binary interface: do not reorder.
  virtual int HOST_STDCALL GetVersion() { return AVISYNTH_INTERFACE_VERSION; }
  virtual PVideoFrame HOST_STDCALL GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool HOST_STDCALL GetParity(int n) = 0;
  virtual void HOST_STDCALL GetAudio(void* buffer, int64_t start, int64_t count,
                                     IScriptEnvironment* env) = 0;
  // The host reads no result from a clip of interface version 2.
  virtual void HOST_STDCALL SetCacheHints(int cachehints, int frame_range) = 0;
  virtual const VideoInfo& HOST_STDCALL GetVideoInfo() = 0;
  virtual ~IClip() = default;

  long GetRefcount() const { return CountOf(&refcount); }
  void AddRef() { CountUp(&refcount); }
  // Whoever drops the last reference deletes the clip through its virtual destructor, so the
  // clip is freed by the library that made it.
  void Release() {
    if (CountDown(&refcount) == 0) delete this;
  }

 private:
  volatile long refcount = 0;
};

// Counted reference to a clip.
class PClip {
 public:
  PClip() = default;
  PClip(IClip* clip) : clip_(clip) { AddRef(); }  // NOLINT: implicit by design
  PClip(const PClip& other) : clip_(other.clip_) { AddRef(); }
  PClip(PClip&& other) noexcept : clip_(other.clip_) { other.clip_ = nullptr; }
  PClip& operator=(const PClip& other) {
    IClip* const old = clip_;
    clip_ = other.clip_;
    AddRef();
    if (old) old->Release();
    return *this;
  }
  ~PClip() {
    if (clip_) clip_->Release();
  }

  IClip* operator->() const { return clip_; }
  IClip* get() const { return clip_; }
  explicit operator bool() const { return clip_ != nullptr; }

 private:
  void AddRef() {
    if (clip_) clip_->AddRef();
  }
  IClip* clip_ = nullptr;
};
