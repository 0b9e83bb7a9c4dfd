// Video files through the ffmpeg and ffprobe programs: frames travel as raw pictures
// through pipes, so any container and codec that ffmpeg knows can be read and written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "frame_stream.h"

struct VideoProbe {
  int width = 0;
  int height = 0;
  unsigned rate_numerator = 25;
  unsigned rate_denominator = 1;
  int64_t frame_count = -1;
  std::string audio_codec;  // empty when the file has no audio
};

// Size, frame rate, frame count and audio of the file's first video stream.
VideoProbe ProbeVideo(const std::string& path);

// Decodes the first video stream into frames of `format`; ffmpeg is started at the first
// frame asked for, and stops after `frame_limit` frames when given.
std::unique_ptr<FrameReader> OpenVideoReader(const std::string& path, const VideoProbe& probe,
                                             PixelFormat format,
                                             std::optional<int64_t> frame_limit);

struct AudioSource {
  std::string path;   // empty: the output has no audio
  std::string codec;  // as ffprobe names it
  bool cut_to_video;  // only part of the video was kept
};

// Encodes frames into `temporary_path`; the codecs follow the container of `final_path`.
std::unique_ptr<FrameWriter> OpenVideoWriter(const std::string& temporary_path,
                                             const std::string& final_path, const StreamInfo& info,
                                             const AudioSource& audio);
