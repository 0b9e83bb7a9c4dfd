// Video files through the ffmpeg program: frames travel as raw pictures through pipes (to
// the encoder with their times, in a Matroska stream), so any container and codec that
// ffmpeg knows can be read and written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "frame_stream.h"
#include "video_probe.h"

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

// Encodes frames, each at its time in `info`, into `temporary_path`; the codecs follow the
// container of `final_path`.
std::unique_ptr<FrameWriter> OpenVideoWriter(const std::string& temporary_path,
                                             const std::string& final_path, const StreamInfo& info,
                                             const AudioSource& audio);
