// The frames every benchmark works on: 1920x1080, RGB24 or RGB32, random bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script_environment.h"

inline constexpr int kFrameWidth = 1920;
inline constexpr int kFrameHeight = 1080;

struct PixelFormat {
  const char* name;
  int pixel_type;
  int bytes_per_pixel;
};

inline constexpr PixelFormat kFormats[] = {{"RGB24", CS_BGR24, 3}, {"RGB32", CS_BGR32, 4}};

// A one-frame clip description of the benchmark size.
VideoInfo FrameInfo(const PixelFormat& format);

// Bytes of one picture, rows back to back.
inline size_t FrameBytes(const PixelFormat& format) {
  return size_t(kFrameWidth) * kFrameHeight * size_t(format.bytes_per_pixel);
}

// The same bytes on every run, so that runs compare.
void FillRandom(uint8_t* bytes, size_t count);

// A host frame of the benchmark size with random picture bytes and the smallest pitch.
PVideoFrame RandomFrame(ScriptEnvironment& env, const PixelFormat& format);
