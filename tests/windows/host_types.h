// The host's side of the plugin interface, in MSVC layout, written from the measured
// binary interface rather than from the plugin's headers, so that the test checks the
// plugin's layout instead of sharing it. No C++ standard library exists for this target.
#pragma once

#include <stdarg.h>
#include <stdint.h>

#if defined(_WIN64)
#define HOSTCALL
#else
// Member functions of the interface are stdcall on 32-bit Windows: `this` on the stack.
#define HOSTCALL __stdcall
#endif

typedef unsigned char BYTE;
class IScriptEnvironment;
class IClip;

enum : int {
  kPixelRgb24 = 0x50000001,
  kPixelRgb32 = 0x50000002,
  kPixelYuy2 = 0x60000004,
  kPixelYv12 = (int)0xA0000008,
  kPixelI420 = (int)0xA0000010,
};

struct VideoInfo {
  int width, height;
  unsigned fps_numerator, fps_denominator;
  int num_frames, pixel_type;
  int audio_samples_per_second, sample_type;
  int64_t num_audio_samples;
  int nchannels, image_type;
};
static_assert(sizeof(VideoInfo) == 48, "VideoInfo is 48 bytes on every target");

// Counts are `long`, 4 bytes in MSVC ABI, and change atomically.
inline long AtomicAdd(volatile long* count, long delta) {
  return __atomic_add_fetch(count, delta, __ATOMIC_SEQ_CST);
}

struct VideoFrameBuffer {
  BYTE* data;
  int data_size;
  long sequence_number;
  long refcount;
};

struct VideoFrame {
  long refcount;
  VideoFrameBuffer* vfb;
  int offset, pitch, row_size, height;
};

#if defined(_WIN64)
static_assert(__builtin_offsetof(VideoFrameBuffer, refcount) == 16, "x64 buffer count");
static_assert(__builtin_offsetof(VideoFrame, offset) == 16, "x64 frame fields");
#else
static_assert(__builtin_offsetof(VideoFrameBuffer, refcount) == 12, "x86 buffer count");
static_assert(__builtin_offsetof(VideoFrame, offset) == 8, "x86 frame fields");
#endif

// A counted frame reference. A class with a destructor, so that it is returned through a
// hidden pointer and destroyed by the callee when passed by value, as the host does.
class PVideoFrame {
 public:
  PVideoFrame() : frame_(nullptr) {}
  PVideoFrame(VideoFrame* frame) : frame_(frame) { AddRef(); }
  PVideoFrame(const PVideoFrame& other) : frame_(other.frame_) { AddRef(); }
  PVideoFrame& operator=(const PVideoFrame& other) {
    VideoFrame* old = frame_;
    frame_ = other.frame_;
    AddRef();
    Release(old);
    return *this;
  }
  ~PVideoFrame() { Release(frame_); }
  VideoFrame* operator->() const { return frame_; }
  VideoFrame* get() const { return frame_; }

 private:
  void AddRef() {
    if (frame_) AtomicAdd(&frame_->refcount, 1);
  }
  static void Release(VideoFrame* frame) {
    if (frame && AtomicAdd(&frame->refcount, -1) == 0) AtomicAdd(&frame->vfb->refcount, -1);
  }
  VideoFrame* frame_;
};

class IClip {
 public:
  virtual int HOSTCALL GetVersion() = 0;
  virtual PVideoFrame HOSTCALL GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool HOSTCALL GetParity(int n) = 0;
  virtual void HOSTCALL GetAudio(void* buffer, int64_t start, int64_t count,
                                 IScriptEnvironment* env) = 0;
  virtual int HOSTCALL SetCacheHints(int hints, int frame_range) = 0;
  virtual const VideoInfo& HOSTCALL GetVideoInfo() = 0;
  // One slot, the scalar deleting destructor, after the six above.
  virtual ~IClip() {}

  volatile long refcount = 0;
};
#if defined(_WIN64)
static_assert(__builtin_offsetof(IClip, refcount) == 8, "x64 clip count");
#else
static_assert(__builtin_offsetof(IClip, refcount) == 4, "x86 clip count");
#endif

class PClip {
 public:
  PClip() : clip_(nullptr) {}
  PClip(IClip* clip) : clip_(clip) { AddRef(); }
  PClip(const PClip& other) : clip_(other.clip_) { AddRef(); }
  PClip& operator=(const PClip& other) {
    IClip* old = clip_;
    clip_ = other.clip_;
    AddRef();
    if (old && AtomicAdd(&old->refcount, -1) == 0) delete old;
    return *this;
  }
  ~PClip() { Release(); }
  IClip* operator->() const { return clip_; }
  IClip* get() const { return clip_; }
  // Drops this reference now; deletes the clip when it was the last.
  void Release() {
    if (clip_ && AtomicAdd(&clip_->refcount, -1) == 0) delete clip_;
    clip_ = nullptr;
  }

 private:
  void AddRef() {
    if (clip_) AtomicAdd(&clip_->refcount, 1);
  }
  IClip* clip_;
};

// A script value: 8 bytes on x86, 16 on x64; a clip payload holds one reference. The
// destructor leaves an array's elements alone: whoever made them owns them.
class AVSValue {
 public:
  AVSValue() : type_('v'), array_size_(0) { payload_.clip = nullptr; }
  AVSValue(IClip* clip) : type_('c'), array_size_(0) {
    payload_.clip = clip;
    if (clip) AtomicAdd(&clip->refcount, 1);
  }
  AVSValue(int value) : type_('i'), array_size_(0) { payload_.integer = value; }
  AVSValue(const char* text) : type_('s'), array_size_(0) { payload_.string = text; }
  AVSValue(const AVSValue* elements, int size) : type_('a'), array_size_((short)size) {
    payload_.array = elements;
  }
  AVSValue(const AVSValue& other) : type_(other.type_), array_size_(other.array_size_) {
    payload_ = other.payload_;
    if (type_ == 'c' && payload_.clip) AtomicAdd(&payload_.clip->refcount, 1);
  }
  AVSValue& operator=(const AVSValue&) = delete;
  ~AVSValue() {
    if (type_ == 'c' && payload_.clip && AtomicAdd(&payload_.clip->refcount, -1) == 0)
      delete payload_.clip;
  }

  short type() const { return type_; }
  IClip* clip() const { return type_ == 'c' ? payload_.clip : nullptr; }

 private:
  short type_;
  short array_size_;
  union {
    IClip* clip;
    int integer;
    const char* string;
    const AVSValue* array;
  } payload_;
};
#if defined(_WIN64)
static_assert(sizeof(AVSValue) == 16, "x64 value size");
#else
static_assert(sizeof(AVSValue) == 8, "x86 value size");
#endif

// What ThrowError throws. MSVC matches handlers by the decorated type name, which tells
// `class` from `struct`.
class AvisynthError {
 public:
  const char* msg;
};

typedef AVSValue(__cdecl* ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);
typedef void(__cdecl* ShutdownFunc)(void* user_data, IScriptEnvironment* env);

// The version-2 environment. MSVC gives the destructor one slot, first, so each method's
// slot is one lower than under GCC.
class IScriptEnvironment {
 public:
  virtual ~IScriptEnvironment() {}
  virtual int HOSTCALL GetCPUFlags() = 0;
  virtual char* HOSTCALL SaveString(const char* s, int length = -1) = 0;
  virtual char* Sprintf(const char* format, ...) = 0;
  virtual char* HOSTCALL VSprintf(const char* format, va_list arguments) = 0;
  virtual void ThrowError(const char* format, ...) = 0;
  virtual void HOSTCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                                    void* user_data) = 0;
  virtual bool HOSTCALL FunctionExists(const char* name) = 0;
  virtual AVSValue HOSTCALL Invoke(const char* name, const AVSValue args,
                                   const char* const* arg_names) = 0;
  virtual AVSValue HOSTCALL GetVar(const char* name) = 0;
  virtual bool HOSTCALL SetVar(const char* name, const AVSValue& value) = 0;
  virtual bool HOSTCALL SetGlobalVar(const char* name, const AVSValue& value) = 0;
  virtual void HOSTCALL PushContext(int level) = 0;
  virtual void HOSTCALL PopContext() = 0;
  virtual PVideoFrame HOSTCALL NewVideoFrame(const VideoInfo& vi, int align) = 0;
  virtual bool HOSTCALL MakeWritable(PVideoFrame* frame) = 0;
  virtual void HOSTCALL BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch,
                               int row_size, int height) = 0;
  virtual void HOSTCALL AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void HOSTCALL CheckVersion(int version) = 0;
  virtual PVideoFrame HOSTCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                        int new_row_size, int new_height) = 0;
  virtual int HOSTCALL SetMemoryMax(int megabytes) = 0;
  virtual int HOSTCALL SetWorkingDir(const char* directory) = 0;
  virtual void* HOSTCALL ManageCache(int key, void* data) = 0;
  virtual bool HOSTCALL PlanarChromaAlignment(int mode) = 0;
  virtual PVideoFrame HOSTCALL SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                              int new_row_size, int new_height, int rel_offset_u,
                                              int rel_offset_v, int new_pitch_uv) = 0;
  virtual void HOSTCALL DeleteScriptEnvironment() = 0;
  virtual void HOSTCALL ApplyMessage(PVideoFrame* frame, const VideoInfo& vi, const char* message,
                                     int size, int text_color, int halo_color,
                                     int background_color) = 0;
  virtual const void* HOSTCALL GetAVSLinkage() = 0;
  virtual AVSValue HOSTCALL GetVarDef(const char* name, const AVSValue& fallback) = 0;
};
