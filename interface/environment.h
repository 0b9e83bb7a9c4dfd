// The host environment as a plugin sees it: the host's slots, in the host's order.
#pragma once

#include <stdarg.h>

#include "calling_convention.h"
#include "value.h"

class IScriptEnvironment;

typedef AVSValue(HOST_CDECL* ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);
typedef void(HOST_CDECL* ShutdownFunc)(void* user_data, IScriptEnvironment* env);

// What ThrowError raises: the text is kept by the environment, so it outlives the throw.
// Declared as a class: on Windows a handler for a struct of this name does not match.
class AvisynthError {
 public:
  AvisynthError(const char* message) : msg(message) {}  // NOLINT: implicit, as the host's
  const char* const msg;
};

// Every slot up to GetVarDef, since a slot's place is its identity: one missing or out of
// order shifts all after it. Slots the plugin never calls are declared all the same.
class IScriptEnvironment {
 public:
  virtual ~IScriptEnvironment() = default;

  virtual int HOST_STDCALL GetCPUFlags() = 0;
  // A copy of `text` (its first `length` bytes, or all of it) valid as long as the
  // environment.
  virtual char* HOST_STDCALL SaveString(const char* text, int length = -1) = 0;
  virtual char* HOST_CDECL Sprintf(const char* format, ...) = 0;
  virtual char* HOST_STDCALL VSprintf(const char* format, va_list args) = 0;
  // Formats the message printf-style and raises AvisynthError; never returns.
  [[noreturn]] virtual void HOST_CDECL ThrowError(const char* format, ...) = 0;

  // Registers a script function. `params` lists argument types in order (c clip, i integer,
  // s string, ...); "[name]" before a letter makes a named optional argument.
  virtual void HOST_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                                        void* user_data) = 0;
  virtual bool HOST_STDCALL FunctionExists(const char* name) = 0;
  // Calls a script function; `args` is an array of the arguments, and `arg_names` (when
  // given) names each one, null for a positional argument.
  virtual AVSValue HOST_STDCALL Invoke(const char* name, const AVSValue args,
                                       const char* const* arg_names = nullptr) = 0;
  virtual AVSValue HOST_STDCALL GetVar(const char* name) = 0;
  virtual bool HOST_STDCALL SetVar(const char* name, const AVSValue& value) = 0;
  virtual bool HOST_STDCALL SetGlobalVar(const char* name, const AVSValue& value) = 0;
  virtual void HOST_STDCALL PushContext(int level = 0) = 0;
  virtual void HOST_STDCALL PopContext() = 0;

  // A new frame for `vi`, held only by the returned reference, so it is writable.
  virtual PVideoFrame HOST_STDCALL NewVideoFrame(const VideoInfo& vi, int align = 16) = 0;
  virtual bool HOST_STDCALL MakeWritable(PVideoFrame* frame) = 0;
  // Copies `height` rows of `row_size` bytes; row i of each buffer starts i pitches after
  // row 0.
  virtual void HOST_STDCALL BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch,
                                   int row_size, int height) = 0;

  virtual void HOST_STDCALL AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void HOST_STDCALL CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) = 0;
  virtual PVideoFrame HOST_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                            int new_row_size, int new_height) = 0;
  virtual int HOST_STDCALL SetMemoryMax(int megabytes) = 0;
  virtual int HOST_STDCALL SetWorkingDir(const char* folder) = 0;
  virtual void* HOST_STDCALL ManageCache(int key, void* data) = 0;
  virtual bool HOST_STDCALL PlanarChromaAlignment(int mode) = 0;
  virtual PVideoFrame HOST_STDCALL SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch,
                                                  int new_row_size, int new_height,
                                                  int rel_offset_u, int rel_offset_v,
                                                  int new_pitch_uv) = 0;
  virtual void HOST_STDCALL DeleteScriptEnvironment() = 0;
  virtual void HOST_STDCALL ApplyMessage(PVideoFrame* frame, const VideoInfo& vi,
                                         const char* message, int size, int text_color,
                                         int halo_color, int background_color) = 0;
  virtual const void* HOST_STDCALL GetAVSLinkage() = 0;
  virtual AVSValue HOST_STDCALL GetVarDef(const char* name, const AVSValue& fallback) = 0;
};

// A ManageCache key that the frame server's 2.5 face answers with 1, and other hosts with
// 0: the way to tell that host apart.
enum : int { kManageCacheAskForClassicFace = int(0xFFFF0200u) };
