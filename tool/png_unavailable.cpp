// PNG support for builds without libpng: every use is a clear error.
#include "media_files.h"
#include "tool_error.h"

namespace {

[[noreturn]] void ThrowUnavailable(const std::string& name) {
  throw ToolError(name + ": this build of korvel cannot read or write PNG files; convert with " +
                  "ffmpeg, or use a video or .raw file");
}

}  // namespace

std::unique_ptr<MediaSource> OpenPngSource(const std::string& path) { ThrowUnavailable(path); }

std::unique_ptr<MediaSink> OpenPngSink(int, const std::string& name, const FrameLayout&) {
  ThrowUnavailable(name);
}
