// What ffprobe tells of a video before it is decoded, and of one after it is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VideoProbe {
  // The size of the frames as shown, which ffmpeg decodes to: a stream stored on its side
  // with a rotation to apply has its stored width and height swapped.
  int width = 0;
  int height = 0;
  unsigned rate_numerator = 25;
  unsigned rate_denominator = 1;
  int64_t frame_count = -1;
  // The time of each frame from the first, in time-base units, in the order frames are
  // shown; empty when the stream does not tell.
  std::vector<int64_t> frame_times;
  unsigned time_base_numerator = 1;
  unsigned time_base_denominator = 25;
  std::string audio_codec;  // empty when the file has no audio
};

// Size, frame rate, frame count and times, and audio of the file's first video stream.
VideoProbe ProbeVideo(const std::string& path);

// Throws ToolError naming `name` unless the video just written at `path` reads back with
// `frames` frames: ffmpeg can end with status 0 after failing to finish a file.
void CheckWrittenVideo(const std::string& path, const std::string& name, int64_t frames);
