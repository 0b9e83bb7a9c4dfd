#include "media_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host_frames.h"
#include "output_formats.h"
#include "output_target.h"
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

enum class MediaKind { kRaw, kPng, kScript, kVideo };

MediaKind KindOfName(const std::string& name) {
  if (name == "-") return MediaKind::kRaw;
  const std::string extension = LowerExtension(name);
  if (extension == "raw") return MediaKind::kRaw;
  if (extension == "png") return MediaKind::kPng;
  if (extension == "avs") return MediaKind::kScript;
  return MediaKind::kVideo;
}

}  // namespace

std::string InputName(const std::string& name) { return name == "-" ? "standard input" : name; }
std::string OutputName(const std::string& name) { return name == "-" ? "standard output" : name; }

Input OpenInput(const Options& options) {
  Input input;
  switch (KindOfName(options.input)) {
    case MediaKind::kRaw: input.source = PictureSource(OpenRawInput(options)); break;
    case MediaKind::kPng:
      if (options.size || options.format)
        throw UsageError("--size and --format are for raw and video input; " + options.input +
                         " has its own");
      input.source = PictureSource(OpenPngReader(options.input));
      break;
    case MediaKind::kScript: {
      if (options.size || options.format)
        throw UsageError("--size and --format are for raw and video input; " + options.input +
                         " gives its own");
      if (options.x || options.y || options.blur || !options.plugin.empty())
        throw UsageError("-x, -y, --blur and --plugin are for blurring; " + options.input +
                         " is a script, which calls Korvel itself");
      auto script = std::make_unique<ScriptSource>(options.input, options.frames);
      input.script = script.get();
      input.source = std::move(script);
      break;
    }
    case MediaKind::kVideo: {
      if (options.size)
        throw UsageError("--size is for raw input; " + options.input + " has its own size");
      // Raw and PNG outputs cannot store a turn, so they get frames as they are shown.
      const bool upright = KindOfName(options.output) != MediaKind::kVideo;
      auto video = std::make_unique<VideoSource>(
          options.input, options.format.value_or(PixelFormat::kRgb32), options.frames, upright);
      input.video = video.get();
      input.source = std::move(video);
      break;
    }
  }
  return input;
}

Output OpenOutput(const Options& options, const Input& input, const OutputTarget& target) {
  const StreamInfo& info = input.source->Info();
  const std::string name = OutputName(options.output);
  Output output;
  const MediaKind kind = KindOfName(options.output);
  if (kind == MediaKind::kScript)
    throw UsageError(name +
                     " is a script: korvel reads scripts but writes frames, pictures and videos");
  if (kind == MediaKind::kPng && !info.layout.IsRgb())
    throw ToolError(InputName(options.input) + " gives " + NameOf(info.layout.format) +
                    " frames, and PNG files are written from rgb24 or rgb32: end the script "
                    "with ConvertToRGB32() or ConvertToRGB24()");
  switch (kind) {
    case MediaKind::kScript:
    case MediaKind::kRaw: {
      const bool standard = options.output == "-";
      if (standard) platform::SetBinaryMode(stdout);
      output.sink =
          PictureSink(std::make_unique<RawWriter>(standard ? stdout : TargetStream(target, name),
                                                  !standard, name),
                      info.layout);
      break;
    }
    case MediaKind::kPng:
      output.sink = PictureSink(OpenPngWriter(target.Descriptor(), name, info.layout), info.layout);
      break;
    case MediaKind::kVideo: {
      VideoProperties properties;
      if (input.video) {
        properties = input.video->Properties();
      } else if (input.script) {
        properties = input.script->Properties();
      } else {
        properties.frame_rate = {int(info.rate_numerator), int(info.rate_denominator)};
        properties.time_base = av_inv_q(properties.frame_rate);
      }
      auto video = std::make_unique<VideoSink>(target.Descriptor(), target.TemporaryPath(), name,
                                               info.layout, properties, InputName(options.input),
                                               options.frames.has_value());
      output.video = video.get();
      output.sink = std::move(video);
      break;
    }
  }
  return output;
}
