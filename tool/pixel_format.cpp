#include "pixel_format.h"

#include <cstdint>

#include "host.h"
#include "tool_error.h"

namespace {

struct FormatName {
  PixelFormat format;
  const char* name;
};
constexpr FormatName kNames[] = {{PixelFormat::kRgb24, "rgb24"},
                                 {PixelFormat::kRgb32, "rgb32"},
                                 {PixelFormat::kYuy2, "yuy2"},
                                 {PixelFormat::kYv12, "yv12"},
                                 {PixelFormat::kI420, "i420"}};

// Host frames are addressed with 32-bit sizes, rows rounded up to 16 bytes.
constexpr int64_t kLargestFrameBytes = INT32_MAX / 2;

}  // namespace

std::optional<PixelFormat> PixelFormatNamed(const std::string& name) {
  for (const FormatName& entry : kNames)
    if (name == entry.name) return entry.format;
  return std::nullopt;
}

const char* NameOf(PixelFormat format) {
  for (const FormatName& entry : kNames)
    if (format == entry.format) return entry.name;
  return "unknown";
}


int HostPixelType(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return CS_BGR24;
    case PixelFormat::kRgb32: return CS_BGR32;
    case PixelFormat::kYuy2: return CS_YUY2;
    case PixelFormat::kYv12: return CS_YV12;
    case PixelFormat::kI420: return CS_I420;
  }
  return CS_UNKNOWN;
}

int64_t FrameLayout::RowBytes() const {
  switch (format) {
    case PixelFormat::kRgb24: return int64_t(width) * 3;
    case PixelFormat::kRgb32: return int64_t(width) * 4;
    case PixelFormat::kYuy2: return int64_t(width) * 2;
    case PixelFormat::kYv12:
    case PixelFormat::kI420: return width;
  }
  return 0;
}

int64_t FrameLayout::FrameBytes() const {
  const int64_t luma = RowBytes() * height;
  return IsPlanar() ? luma + 2 * (int64_t(width / 2) * (height / 2)) : luma;
}

void CheckFrameLayout(const FrameLayout& layout) {
  const std::string size = std::to_string(layout.width) + "x" + std::to_string(layout.height);
  if (layout.width < 1 || layout.height < 1)
    throw ToolError("frame size " + size + " is not possible: width and height must be at least 1");
  if (layout.format == PixelFormat::kYuy2 && layout.width % 2 != 0)
    throw ToolError("frame size " + size + " does not suit yuy2, whose width must be even");
  if (layout.IsPlanar() && (layout.width % 2 != 0 || layout.height % 2 != 0))
    throw ToolError("frame size " + size + " does not suit " + NameOf(layout.format) +
                    ", whose width and height must be even");
  if (int64_t(layout.width) * layout.height > kMostPixels ||
      (layout.RowBytes() + 16) * layout.height > kLargestFrameBytes)
    throw ToolError("frame size " + size + " is too large");
}
