// The environment the test host gives the plugin: the version-2 slots a filter uses,
// frames from a fixed pool that are recycled and never freed (as the host does), errors
// thrown as AvisynthError, and faults injected on request. Calls a plugin has no reason
// to make are reported as failures: they are what a misplaced slot looks like.
#pragma once

#include "host_types.h"

class TestEnvironment : public IScriptEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment() override;

  struct Function {
    const char* name = nullptr;
    const char* params = nullptr;
    ApplyFunc apply = nullptr;
    void* user_data = nullptr;
  };
  const Function& Registered() const { return function_; }
  int AddFunctionCalls() const { return add_function_calls_; }

  // A frame of the pool with the given pitch; counts 1 and 1, as NewVideoFrame's.
  PVideoFrame NewFrame(int row_size, int height, int pitch);
  // Frames of the pool that someone still holds.
  int FramesInUse() const;
  // The next call of NewVideoFrame, or the `calls`-th call of BitBlt from now, throws.
  void FailNextNewVideoFrame() { fail_new_frame_ = true; }
  void FailBitBltCall(int calls) { bitblt_calls_to_failure_ = calls; }

  int HOSTCALL GetCPUFlags() override { return 0; }
  char* HOSTCALL SaveString(const char* s, int length = -1) override;
  char* Sprintf(const char* format, ...) override;
  char* HOSTCALL VSprintf(const char* format, va_list arguments) override;
  void ThrowError(const char* format, ...) override;
  void HOSTCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                            void* user_data) override;
  bool HOSTCALL FunctionExists(const char* name) override;
  AVSValue HOSTCALL Invoke(const char*, const AVSValue, const char* const*) override;
  AVSValue HOSTCALL GetVar(const char*) override;
  bool HOSTCALL SetVar(const char*, const AVSValue&) override;
  bool HOSTCALL SetGlobalVar(const char*, const AVSValue&) override;
  void HOSTCALL PushContext(int) override;
  void HOSTCALL PopContext() override;
  PVideoFrame HOSTCALL NewVideoFrame(const VideoInfo& vi, int align) override;
  bool HOSTCALL MakeWritable(PVideoFrame*) override;
  void HOSTCALL BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
                       int height) override;
  void HOSTCALL AtExit(ShutdownFunc, void*) override;
  void HOSTCALL CheckVersion(int version) override;
  PVideoFrame HOSTCALL Subframe(PVideoFrame, int, int, int, int) override;
  int HOSTCALL SetMemoryMax(int) override;
  int HOSTCALL SetWorkingDir(const char*) override;
  void* HOSTCALL ManageCache(int key, void* data) override;
  bool HOSTCALL PlanarChromaAlignment(int) override;
  PVideoFrame HOSTCALL SubframePlanar(PVideoFrame, int, int, int, int, int, int, int) override;
  void HOSTCALL DeleteScriptEnvironment() override;
  void HOSTCALL ApplyMessage(PVideoFrame*, const VideoInfo&, const char*, int, int, int,
                             int) override;
  const void* HOSTCALL GetAVSLinkage() override;
  AVSValue HOSTCALL GetVarDef(const char*, const AVSValue&) override;

 private:
  struct PoolEntry {
    VideoFrameBuffer buffer;
    VideoFrame frame;
    BYTE* block;
  };
  static constexpr int kPoolSize = 64;
  static constexpr int kStringSpace = 1 << 18;

  void Unexpected(const char* method);

  Function function_;
  int add_function_calls_ = 0;
  PoolEntry pool_[kPoolSize] = {};
  int pool_lock_ = 0;  // 1 while a thread takes a frame: filters ask from several at once
  char* strings_;
  int strings_used_ = 0;
  bool fail_new_frame_ = false;
  int bitblt_calls_to_failure_ = 0;
};
