// The pixel formats of raw frames and how one frame is laid out in a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class PixelFormat { kRgb24, kRgb32, kYuy2, kYv12, kI420 };

std::optional<PixelFormat> PixelFormatNamed(const std::string& name);
const char* NameOf(PixelFormat format);

// The host's pixel type for the format.
int HostPixelType(PixelFormat format);

struct FrameLayout {
  PixelFormat format = PixelFormat::kRgb24;
  int width = 0;
  int height = 0;

  bool IsRgb() const { return format == PixelFormat::kRgb24 || format == PixelFormat::kRgb32; }
  bool IsPlanar() const { return format == PixelFormat::kYv12 || format == PixelFormat::kI420; }
  // Bytes of one row of an interleaved format, or of the luma plane of a planar one.
  int64_t RowBytes() const;
  // Rows top-down without padding; planar formats hold their three planes back to back.
  int64_t FrameBytes() const;
};

// The largest picture taken: 8192x8192, or 16384x4096; 256 MiB a frame in rgb32, a few of
// which are in flight.
constexpr int64_t kMostPixels = int64_t(1) << 26;

// Throws ToolError when frames of this size cannot be held in this format: sizes below 1,
// odd widths of formats that share chroma between two pixels, frames of more than 2^26
// pixels (8192x8192).
void CheckFrameLayout(const FrameLayout& layout);
