// The stream plan: made once from the input's description, the options and OUTPUT's name,
// before anything is read or written. For the video it says how frames are blurred and
// in which format and orientation; for every other stream, whether it is copied, encoded
// again or dropped (with a note). The output is made from the plan alone.
#pragma once

#include <string>
#include <vector>

#include "input_description.h"
#include "options.h"
#include "output_formats.h"

enum class OutputKind { kRaw, kPng, kVideo };

enum class VideoPath {
  kPlanes,   // each plane blurred by the engine, in the video's own format
  kPlugin,   // RGB24 or RGB32 frames through the Korvel plugin, as a host runs it
  kAsGiven,  // a script's frames, which it has blurred itself
};

enum class StreamFate { kVideo, kCopy, kEncode, kDrop };

struct PlannedStream {
  StreamFate fate = StreamFate::kDrop;
  const AVCodec* encoder = nullptr;  // for kEncode
};

struct StreamPlan {
  const InputDescription* input = nullptr;
  std::string output_name;  // as messages call it
  OutputKind output_kind = OutputKind::kVideo;
  OutputFormat format;  // for video outputs
  VideoPath path = VideoPath::kPlanes;
  // The frames the filter takes and gives: their format and size, after a turn.
  AVPixelFormat frame_format = AV_PIX_FMT_NONE;
  int width = 0, height = 0;
  int turn = 0;                 // clockwise degrees frames are turned before the filter
  std::string display_matrix;   // for the output to store; empty when frames were turned
  AVPixelFormat encoder_format = AV_PIX_FMT_NONE;  // for video outputs
  PixelFormat raw_format = PixelFormat::kRgb32;    // for raw and PNG outputs
  bool opaque = false;  // a PNG's alpha is padding: written as 255
  bool cut_to_video = false;  // sound past the last frame is left out (--frames)
  std::vector<PlannedStream> streams;  // by input stream index
  std::vector<std::string> notes;      // printed before the run goes on
};

// Throws UsageError or ToolError for an output that cannot hold what the input gives.
StreamPlan PlanStreams(const InputDescription& input, const Options& options);

// What OUTPUT's name says it is.
OutputKind OutputKindOf(const std::string& name);
