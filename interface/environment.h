// The host environment as a plugin sees it.
#pragma once

#include "calling_convention.h"
#include "value.h"

class IScriptEnvironment;

typedef AVSValue(HOST_CDECL* ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);

// What ThrowError raises. The text is kept by the environment, so it outlives the throw.
class AvisynthError {
 public:
  explicit AvisynthError(const char* message) : msg(message) {}
  const char* const msg;
};

class IScriptEnvironment {
 public:
  virtual ~IScriptEnvironment() = default;

  // Registers a script function. `params` lists argument types in order: c clip, i integer,
  // s string; "[name]" before a letter makes a named optional argument.
  virtual void AddFunction(const char* name, const char* params, ApplyFunc apply,
                           void* user_data) = 0;

  // Formats the message printf-style (at most one int argument) and raises AvisynthError.
  [[noreturn]] virtual void ThrowError(const char* format, ...) = 0;

  // A new frame for `vi`, held only by the returned reference; start and pitch are
  // multiples of `align` bytes.
  virtual PVideoFrame NewVideoFrame(const VideoInfo& vi, int align) = 0;

  // Copies `height` rows of `row_size` bytes; row i of each buffer starts i pitches after row 0.
  virtual void BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
                      int height) = 0;

  // A copy of `text` that stays valid as long as the environment.
  virtual const char* SaveString(const char* text, int length = -1) = 0;
};
