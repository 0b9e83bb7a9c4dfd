// The frames every benchmark works on: 1920x1080 and 3840x2160, RGB24 or RGB32, random bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script_environment.h"

struct FrameSize {
  const char* name;
  int width;
  int height;
};

// The larger leaves every cache, so its frame copy is a floor set by memory, not by a cache.
inline constexpr FrameSize kSizes[] = {{"1920x1080", 1920, 1080}, {"3840x2160", 3840, 2160}};

struct PixelFormat {
  const char* name;
  int pixel_type;
  int bytes_per_pixel;
};

inline constexpr PixelFormat kFormats[] = {{"RGB24", CS_BGR24, 3}, {"RGB32", CS_BGR32, 4}};
// A plane of 8-bit samples, one byte per pixel, as planar formats hand each plane to the
// kernels: measured on the kernels alone, since the plugin takes RGB clips only.
inline constexpr PixelFormat kPlaneFormat = {"Plane8", 0, 1};

// A one-frame clip description.
VideoInfo FrameInfo(const FrameSize& size, const PixelFormat& format);

// Bytes of one picture, rows back to back.
inline size_t FrameBytes(const FrameSize& size, const PixelFormat& format) {
  return size_t(size.width) * size_t(size.height) * size_t(format.bytes_per_pixel);
}

// The same bytes on every run, so that runs compare.
void FillRandom(uint8_t* bytes, size_t count);

// A host frame with random picture bytes and the smallest pitch.
PVideoFrame RandomFrame(ScriptEnvironment& env, const FrameSize& size, const PixelFormat& format);
