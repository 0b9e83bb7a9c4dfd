#include "media_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "encoder_settings.h"
#include "ffmpeg_pipes.h"
#include "platform.h"
#include "png_image.h"
#include "raw_stream.h"
#include "tool_error.h"

namespace {

std::string OpenFailure(const std::string& path) {
  return "cannot open " + path + ": " + std::strerror(errno);
}

Input OpenRawInput(const Options& options) {
  if (!options.size) throw UsageError("raw input needs its frame size: --size WIDTHxHEIGHT");
  StreamInfo info;
  info.layout = {options.format.value_or(PixelFormat::kRgb24), options.size->width,
                 options.size->height};
  CheckFrameLayout(info.layout);
  Input input;
  if (options.input == "-") {
    platform::SetBinaryMode(stdin);
    input.reader = std::make_unique<RawReader>(stdin, false, InputName(options.input), info);
    return input;
  }
  FILE* file = std::fopen(options.input.c_str(), "rb");
  if (!file) throw ToolError(OpenFailure(options.input));
  input.reader = std::make_unique<RawReader>(file, true, options.input, info);
  return input;
}

Input OpenVideoInput(const Options& options) {
  if (options.size)
    throw UsageError("--size is for raw input; " + options.input + " has its own size");
  // Checked here so that a missing file is not reported as an ffprobe failure.
  FILE* file = std::fopen(options.input.c_str(), "rb");
  if (!file) throw ToolError(OpenFailure(options.input));
  std::fclose(file);
  const VideoProbe probe = ProbeVideo(options.input);
  Input input;
  input.audio_codec = probe.audio_codec;
  input.reader = OpenVideoReader(options.input, probe, options.format.value_or(PixelFormat::kRgb32),
                                 options.frames);
  return input;
}

}  // namespace

MediaKind KindOfName(const std::string& name) {
  if (name == "-") return MediaKind::kRaw;
  const std::string extension = LowerExtension(name);
  if (extension == "raw") return MediaKind::kRaw;
  if (extension == "png") return MediaKind::kPng;
  return MediaKind::kVideo;
}

std::string InputName(const std::string& name) { return name == "-" ? "standard input" : name; }
std::string OutputName(const std::string& name) { return name == "-" ? "standard output" : name; }

Input OpenInput(const Options& options) {
  switch (KindOfName(options.input)) {
    case MediaKind::kRaw: return OpenRawInput(options);
    case MediaKind::kPng:
      if (options.size || options.format)
        throw UsageError("--size and --format are for raw and video input; " + options.input +
                         " has its own");
      return Input{OpenPngReader(options.input), ""};
    case MediaKind::kVideo: return OpenVideoInput(options);
  }
  throw ToolError("unknown kind of input");
}

std::unique_ptr<FrameWriter> OpenOutput(const Options& options, const Input& input,
                                        const std::string& temporary_path) {
  const StreamInfo& info = input.reader->Info();
  const std::string name = OutputName(options.output);
  switch (KindOfName(options.output)) {
    case MediaKind::kRaw: {
      if (options.output == "-") {
        platform::SetBinaryMode(stdout);
        return std::make_unique<RawWriter>(stdout, false, name);
      }
      FILE* file = platform::CreateNewFile(temporary_path);
      if (!file) throw ToolError(OpenFailure(name));
      return std::make_unique<RawWriter>(file, true, name);
    }
    case MediaKind::kPng: return OpenPngWriter(temporary_path, name, info.layout);
    case MediaKind::kVideo: {
      // Tried here so that an unwritable place is reported plainly rather than by ffmpeg,
      // under the temporary name; ffmpeg then overwrites the empty file.
      FILE* file = platform::CreateNewFile(temporary_path);
      if (!file) throw ToolError(OpenFailure(name));
      std::fclose(file);
      AudioSource audio{"", input.audio_codec, options.frames.has_value()};
      if (!input.audio_codec.empty()) audio.path = options.input;
      return OpenVideoWriter(temporary_path, options.output, info, audio);
    }
  }
  throw ToolError("unknown kind of output");
}
