// PNG support for builds without libpng: every use is a clear error.
#include "png_image.h"
#include "tool_error.h"

namespace {

[[noreturn]] void ThrowUnavailable(const std::string& name) {
  throw ToolError(name + ": this build of korvel cannot read or write PNG files; convert with " +
                  "ffmpeg, or use a video or .raw file");
}

}  // namespace

std::unique_ptr<FrameReader> OpenPngReader(const std::string& path) { ThrowUnavailable(path); }

std::unique_ptr<FrameWriter> OpenPngWriter(int, const std::string& name, const FrameLayout&,
                                           bool) {
  ThrowUnavailable(name);
}
