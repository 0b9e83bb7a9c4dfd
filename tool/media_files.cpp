#include "media_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "output_target.h"
#include "picture_frames.h"
#include "platform.h"
#include "png_image.h"
#include "raw_stream.h"
#include "script_source.h"
#include "tool_error.h"
#include "video_sink.h"
#include "video_source.h"

namespace {

std::string OpenFailure(const std::string& path) {
  return "cannot open " + path + ": " + std::strerror(errno);
}

std::unique_ptr<FrameReader> OpenRawInput(const Options& options) {
  if (!options.size) throw UsageError("raw input needs its frame size: --size WIDTHxHEIGHT");
  StreamInfo info;
  info.layout = {options.format.value_or(PixelFormat::kRgb24), options.size->width,
                 options.size->height};
  CheckFrameLayout(info.layout);
  if (options.input == "-") {
    platform::SetBinaryMode(stdin);
    return std::make_unique<RawReader>(stdin, false, InputName(options.input), info);
  }
  FILE* file = std::fopen(options.input.c_str(), "rb");
  if (!file) throw ToolError(OpenFailure(options.input));
  return std::make_unique<RawReader>(file, true, options.input, info);
}

// A stream of the target's own, so that closing it leaves the target's descriptor open.
FILE* TargetStream(const OutputTarget& target, const std::string& name) {
  const int descriptor = dup(target.Descriptor());
  FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
  if (!file) {
    if (descriptor >= 0) close(descriptor);
    throw ToolError("cannot write " + name + ": " + std::strerror(errno));
  }
  return file;
}

// An animated PNG declares its frames (an acTL chunk) before its first picture data.
bool IsAnimatedPng(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char signature[8];
  if (!file.read(signature, 8)) return false;
  for (int chunks = 0; chunks < 64; ++chunks) {
    unsigned char header[8];
    if (!file.read(reinterpret_cast<char*>(header), 8)) return false;
    const uint32_t length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 |
                            uint32_t(header[2]) << 8 | header[3];
    const std::string type(reinterpret_cast<char*>(header + 4), 4);
    if (type == "acTL") return true;
    if (type == "IDAT" || type == "IEND") return false;
    if (!file.seekg(std::streamoff(length) + 4, std::ios::cur)) return false;
  }
  return false;
}

InputKind KindOfInput(const std::string& name) {
  if (name == "-") return InputKind::kRaw;
  const std::string extension = LowerExtension(name);
  if (extension == "raw") return InputKind::kRaw;
  if (extension == "png") return IsAnimatedPng(name) ? InputKind::kVideo : InputKind::kPicture;
  if (extension == "avs") return InputKind::kScript;
  return InputKind::kVideo;
}

}  // namespace

std::string InputName(const std::string& name) { return name == "-" ? "standard input" : name; }
std::string OutputName(const std::string& name) { return name == "-" ? "standard output" : name; }

std::unique_ptr<MediaSource> OpenInput(const Options& options) {
  const std::string& name = options.input;
  struct stat status;
  // A folder opens as a file would, and then fails in ways that say nothing.
  if (name != "-" && stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    throw ToolError("cannot open " + name + ": " + std::strerror(EISDIR));
  switch (KindOfInput(name)) {
    case InputKind::kRaw:
      return PictureSource(OpenRawInput(options), InputKind::kRaw, InputName(name));
    case InputKind::kPicture:
      if (options.size || options.format)
        throw UsageError("--size and --format are for raw and video input; " + name +
                         " has its own");
      return PictureSource(OpenPngReader(name), InputKind::kPicture, name);
    case InputKind::kScript:
      if (options.size || options.format)
        throw UsageError("--size and --format are for raw and video input; " + name +
                         " gives its own");
      if (options.x || options.y || options.blur || !options.plugin.empty())
        throw UsageError("-x, -y, --blur and --plugin are for blurring; " + name +
                         " is a script, which calls Korvel itself");
      return std::make_unique<ScriptSource>(name, options.frames);
    case InputKind::kVideo:
      if (options.size) throw UsageError("--size is for raw input; " + name + " has its own size");
      return std::make_unique<VideoSource>(name, options.frames);
  }
  return nullptr;
}

std::unique_ptr<MediaSink> OpenOutput(const StreamPlan& plan, const Options& options,
                                      const OutputTarget& target) {
  const FrameLayout layout{plan.raw_format, plan.width, plan.height};
  switch (plan.output_kind) {
    case OutputKind::kRaw: {
      const bool standard = options.output == "-";
      if (standard) platform::SetBinaryMode(stdout);
      return PictureSink(
          std::make_unique<RawWriter>(standard ? stdout : TargetStream(target, plan.output_name),
                                      !standard, plan.output_name),
          layout);
    }
    case OutputKind::kPng:
      return PictureSink(OpenPngWriter(target.Descriptor(), plan.output_name, layout, plan.opaque),
                         layout);
    case OutputKind::kVideo:
      return std::make_unique<VideoSink>(target.Descriptor(), target.TemporaryPath(), plan);
  }
  return nullptr;
}
