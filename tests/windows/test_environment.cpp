#include "test_environment.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"

namespace {

// The real host answers 1 to this key on the face it gives the entry and creation.
constexpr int kOlderFaceKey = (int)0xFFFF0200;
constexpr int kFrameAlignment = 64;

int AlignUp(int value, int alignment) { return (value + alignment - 1) / alignment * alignment; }

int BytesPerRow(const VideoInfo& vi) {
  switch (vi.pixel_type) {
    case kPixelRgb24: return vi.width * 3;
    case kPixelRgb32: return vi.width * 4;
    case kPixelYuy2: return vi.width * 2;
    default: return vi.width;  // the first plane of the planar types
  }
}

}  // namespace

TestEnvironment::TestEnvironment() : strings_(static_cast<char*>(malloc(kStringSpace))) {}

TestEnvironment::~TestEnvironment() {
  for (PoolEntry& entry : pool_) free(entry.block);
  free(strings_);
}

char* TestEnvironment::SaveString(const char* s, int length) {
  if (length < 0) length = int(strlen(s));
  if (strings_used_ + length + 1 > kStringSpace) {
    Fail("the environment's string space is full");
    exit(3);
  }
  char* saved = strings_ + strings_used_;
  memcpy(saved, s, size_t(length));
  saved[length] = '\0';
  strings_used_ += length + 1;
  return saved;
}

char* TestEnvironment::VSprintf(const char* format, va_list arguments) {
  char text[1024];
  vsnprintf(text, sizeof text, format, arguments);
  return SaveString(text);
}

char* TestEnvironment::Sprintf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = VSprintf(format, arguments);
  va_end(arguments);
  return text;
}

void TestEnvironment::ThrowError(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const char* message = VSprintf(format, arguments);
  va_end(arguments);
  throw AvisynthError{message};
}

void TestEnvironment::AddFunction(const char* name, const char* params, ApplyFunc apply,
                                  void* user_data) {
  ++add_function_calls_;
  function_ = {SaveString(name), SaveString(params), apply, user_data};
}

bool TestEnvironment::FunctionExists(const char* name) {
  return function_.name && strcmp(name, function_.name) == 0;
}

PVideoFrame TestEnvironment::NewFrame(int row_size, int height, int pitch) {
  while (__atomic_exchange_n(&pool_lock_, 1, __ATOMIC_ACQUIRE) != 0) __builtin_ia32_pause();
  for (PoolEntry& entry : pool_) {
    if (__atomic_load_n(&entry.frame.refcount, __ATOMIC_ACQUIRE) != 0 ||
        __atomic_load_n(&entry.buffer.refcount, __ATOMIC_ACQUIRE) != 0)
      continue;
    free(entry.block);
    const int size = pitch * height;
    entry.block = static_cast<BYTE*>(malloc(size_t(size) + kFrameAlignment));
    BYTE* data = entry.block + (kFrameAlignment - uintptr_t(entry.block) % kFrameAlignment);
    entry.buffer = {data, size, entry.buffer.sequence_number, 1};
    entry.frame = {0, &entry.buffer, 0, pitch, row_size, height};
    PVideoFrame frame(&entry.frame);
    __atomic_store_n(&pool_lock_, 0, __ATOMIC_RELEASE);
    return frame;
  }
  __atomic_store_n(&pool_lock_, 0, __ATOMIC_RELEASE);
  ThrowError("the frame pool is exhausted: frames were not released");
  return PVideoFrame();
}

int TestEnvironment::FramesInUse() const {
  int in_use = 0;
  for (const PoolEntry& entry : pool_) {
    if (entry.frame.refcount < 0 || entry.buffer.refcount < 0)
      Fail("a frame count fell below 0 (frame %ld, buffer %ld)", entry.frame.refcount,
           entry.buffer.refcount);
    if (entry.frame.refcount != 0 || entry.buffer.refcount != 0) ++in_use;
  }
  return in_use;
}

PVideoFrame TestEnvironment::NewVideoFrame(const VideoInfo& vi, int align) {
  if (fail_new_frame_) {
    fail_new_frame_ = false;
    ThrowError("NewVideoFrame: injected failure");
  }
  const int row_size = BytesPerRow(vi);
  return NewFrame(row_size, vi.height,
                  AlignUp(row_size, align > kFrameAlignment ? align : kFrameAlignment));
}

void TestEnvironment::BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
                             int height) {
  if (bitblt_calls_to_failure_ > 0 && --bitblt_calls_to_failure_ == 0)
    ThrowError("BitBlt: injected failure");
  if (row_size <= 0 || height <= 0) return;
  for (int row = 0; row < height; ++row)
    memcpy(dst + ptrdiff_t(row) * dst_pitch, src + ptrdiff_t(row) * src_pitch, size_t(row_size));
}

void TestEnvironment::CheckVersion(int version) {
  if (version > 2) ThrowError("plugin needs interface version %d", version);
}

void* TestEnvironment::ManageCache(int key, void*) {
  return key == kOlderFaceKey ? reinterpret_cast<void*>(1) : nullptr;
}

void TestEnvironment::Unexpected(const char* method) {
  Fail("the plugin called %s, which a filter has no use for: a slot out of place?", method);
}

AVSValue TestEnvironment::Invoke(const char*, const AVSValue, const char* const*) {
  Unexpected("Invoke");
  return AVSValue();
}
AVSValue TestEnvironment::GetVar(const char*) {
  Unexpected("GetVar");
  return AVSValue();
}
bool TestEnvironment::SetVar(const char*, const AVSValue&) {
  Unexpected("SetVar");
  return false;
}
bool TestEnvironment::SetGlobalVar(const char*, const AVSValue&) {
  Unexpected("SetGlobalVar");
  return false;
}
void TestEnvironment::PushContext(int) { Unexpected("PushContext"); }
void TestEnvironment::PopContext() { Unexpected("PopContext"); }
bool TestEnvironment::MakeWritable(PVideoFrame*) {
  Unexpected("MakeWritable");
  return false;
}
void TestEnvironment::AtExit(ShutdownFunc, void*) { Unexpected("AtExit"); }
PVideoFrame TestEnvironment::Subframe(PVideoFrame, int, int, int, int) {
  Unexpected("Subframe");
  return PVideoFrame();
}
int TestEnvironment::SetMemoryMax(int) {
  Unexpected("SetMemoryMax");
  return 0;
}
int TestEnvironment::SetWorkingDir(const char*) {
  Unexpected("SetWorkingDir");
  return 0;
}
bool TestEnvironment::PlanarChromaAlignment(int) {
  Unexpected("PlanarChromaAlignment");
  return false;
}
PVideoFrame TestEnvironment::SubframePlanar(PVideoFrame, int, int, int, int, int, int, int) {
  Unexpected("SubframePlanar");
  return PVideoFrame();
}
void TestEnvironment::DeleteScriptEnvironment() { Unexpected("DeleteScriptEnvironment"); }
void TestEnvironment::ApplyMessage(PVideoFrame*, const VideoInfo&, const char*, int, int, int,
                                   int) {
  Unexpected("ApplyMessage");
}
const void* TestEnvironment::GetAVSLinkage() {
  Unexpected("GetAVSLinkage");
  return nullptr;
}
AVSValue TestEnvironment::GetVarDef(const char*, const AVSValue&) {
  Unexpected("GetVarDef");
  return AVSValue();
}
