// Helpers shared by the tests: clips of random pictures with chosen pitches, and reading
// a frame's picture back.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "memory_clip.h"
#include "script_environment.h"

namespace korvel_test {

VideoInfo RgbInfo(int width, int height, int pixel_type, int frames = 1);

// A frame of the clip's size with the given pitch (0: the smallest), every picture byte
// drawn from `random`, and the padding beyond each row filled with `padding`.
PVideoFrame RandomFrame(ScriptEnvironment& env, const VideoInfo& vi, int pitch,
                        std::mt19937& random, uint8_t padding = 0xEE);

// A frame of the clip's size whose bytes are all `value`.
PVideoFrame UniformFrame(ScriptEnvironment& env, const VideoInfo& vi, uint8_t value, int pitch = 0);

// The first `row_bytes` bytes of each row, back to back.
std::vector<uint8_t> Picture(const PVideoFrame& frame, int row_bytes);

// A memory clip holding one frame per entry.
PClip ClipOf(const VideoInfo& vi, const std::vector<PVideoFrame>& frames);

}  // namespace korvel_test

#include <optional>
#include <string>

namespace korvel_test {

// Loads the built plugin library into the environment.
void LoadKorvel(ScriptEnvironment& env);

// Calls Korvel as a script would, passing only the arguments given.
struct KorvelArguments {
  std::optional<int> x;
  std::optional<int> y;
  std::optional<std::string> blur;
};
AVSValue CallKorvel(ScriptEnvironment& env, const PClip& clip, const KorvelArguments& arguments);

// The message of the error the call raises, or "(no error)".
std::string CreationError(ScriptEnvironment& env, const PClip& clip,
                          const KorvelArguments& arguments);

}  // namespace korvel_test
