// The real host as the tests use it: one script environment with the plugin loaded, scripts
// evaluated in it, and frames read back as pictures.
#pragma once

#include <avisynth.h>

#include <cstdint>
#include <string>
#include <vector>

#include "extent_messages.h"

namespace korvel_real_host {

class RealHost {
 public:
  enum class Plugin { kLoadedByScript, kLeftToAutoload };
  // A fresh environment; by default it has loaded the plugin under test with LoadPlugin.
  explicit RealHost(Plugin plugin = Plugin::kLoadedByScript);
  ~RealHost();
  RealHost(const RealHost&) = delete;
  RealHost& operator=(const RealHost&) = delete;

  IScriptEnvironment* env() { return env_; }

  // The value of the script; the host's AvisynthError when it fails.
  AVSValue Evaluate(const std::string& script);
  // The host's Invoke, its errors turned into std::runtime_error with the host's text.
  AVSValue Invoke(const char* name, const AVSValue& arguments, const char* const* names);
  // The host's error text for the script, or "(no error)".
  std::string ErrorOf(const std::string& script);

 private:
  IScriptEnvironment* env_;
};

// The picture of frame n: each row's bytes, in memory order (bottom row first), back to back.
std::vector<uint8_t> Picture(const PClip& clip, int n, IScriptEnvironment* env);

// A clip whose every byte varies with the column, the row and the frame number, made by the
// host's own filters: interleaved RGB24 or RGB32 (alpha included).
std::string DetailedSource(int width, int height, int frames, bool rgb32);

// A script's blank clip of this pixel type and size.
std::string BlankClip(const char* pixel_type, int width = 640, int height = 480);

// The arguments of a call of a case of the shared extent table, as a script writes them
// (those the case leaves out left out).
std::string ScriptArguments(const ExtentCase& c);

// A short H.264 video (160x120, 10 frames of ffmpeg's test pattern, 4:2:0) that ffmpeg
// makes once for the program, and its path; removed when the program ends.
constexpr int kTestVideoFrames = 10;
const std::string& TestVideo();

// FFMS2's FFVideoSource on a file, as script text: every frame, no index file written.
std::string VideoSource(const std::string& path);

}  // namespace korvel_real_host
