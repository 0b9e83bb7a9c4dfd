#include "encoder_settings.h"

#include <algorithm>
#include <cctype>

namespace {

bool OneOf(const std::string& value, std::initializer_list<const char*> choices) {
  return std::any_of(choices.begin(), choices.end(), [&](const char* c) { return value == c; });
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::vector<std::string> VideoEncoderOptions(const std::string& output_path, int width,
                                             int height) {
  const std::string extension = LowerExtension(output_path);
  // 4:2:0 needs even sizes; an odd-sized picture keeps its size in 4:4:4 rather than being
  // cropped or padded.
  const bool even = width % 2 == 0 && height % 2 == 0;
  const std::string chroma = even ? "yuv420p" : "yuv444p";
  if (OneOf(extension, {"mp4", "m4v", "mov"}))
    return {"-c:v", "libx264", "-pix_fmt", chroma,      "-crf",
            "18",   "-preset", "medium",   "-movflags", "+faststart"};
  if (extension == "mkv")
    return {"-c:v", "libx264", "-pix_fmt", chroma, "-crf", "18", "-preset", "medium"};
  if (extension == "webm")
    return {"-c:v", "libvpx-vp9", "-pix_fmt", chroma, "-crf", "32", "-b:v", "0"};
  return {};
}

std::string AudioEncoderFor(const std::string& output_path, const std::string& input_audio_codec) {
  const std::string extension = LowerExtension(output_path);
  if (OneOf(extension, {"mp4", "m4v", "mov"}))
    return OneOf(input_audio_codec, {"aac", "mp3", "alac", "ac3", "eac3"}) ? "copy" : "aac";
  if (extension == "webm") return OneOf(input_audio_codec, {"opus", "vorbis"}) ? "copy" : "libopus";
  return "copy";
}

bool StoresFrameTimes(const std::string& output_path) {
  return OneOf(LowerExtension(output_path),
               {"mp4", "m4v", "mov", "mkv", "webm", "ts", "m2ts", "flv", "nut", "gif"});
}
