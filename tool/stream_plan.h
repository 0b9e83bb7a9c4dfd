// The stream plan: made once from the input's description, the options and OUTPUT's name,
// before anything is read or written. For the video it says how frames are blurred and
// in which format and orientation; for every other stream, whether it is copied, encoded
// again or dropped (with a note). The output is made from the plan alone.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "media.h"
#include "options.h"

// What an output's name asks for, as a user of ffmpeg would expect for the name: its
// container, the video encoder and its settings, and what becomes of each sound track
// (output_formats.cpp).
struct OutputFormat {
  const AVOutputFormat* muxer = nullptr;
  const AVCodec* video_encoder = nullptr;
  std::vector<std::pair<std::string, std::string>> video_options;
  bool one_picture = false;  // a single picture file (.jpg, .bmp ...), which holds one frame
  bool frame_times = true;   // stores each frame's time; otherwise frames come at one rate
  bool keeps_display_matrix = false;  // else frames are turned upright
  bool keeps_covers = false;          // cover pictures beside the video
  int most_sound_tracks = INT_MAX;
  int sound_rate = 0;  // the one sample rate its sound takes; 0: any
};

// Throws ToolError, naming `name`, for names that say no container, or a numbered
// sequence of pictures.
OutputFormat ChooseOutputFormat(const std::string& name);

// 4:2:0 where the size allows and the encoder takes it, 4:4:4 for odd sizes, else the
// encoder's closest format to `source`.
AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, AVPixelFormat source, int width,
                                int height);

// What becomes of an input stream in the output.
enum class StreamFate { kVideo, kCopy, kEncode, kDrop };

// What becomes of a sound track in the container: copied where the container takes it as
// it is, else encoded again; `encoder` is set for kEncode.
StreamFate ChooseAudioFate(const AVOutputFormat* muxer, const AVCodecParameters* sound,
                           const AVCodec** encoder);

// The extension of a path, lower case, without the dot.
std::string LowerExtension(const std::string& path);

enum class OutputKind { kRaw, kPng, kVideo };

enum class VideoPath {
  kPlanes,   // each plane blurred by the engine, in the video's own format
  kPlugin,   // RGB24 or RGB32 frames through the Korvel plugin, as a host runs it
  kAsGiven,  // a script's frames, which it has blurred itself
};

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
  int turn = 0;                // clockwise degrees frames are turned before the filter
  std::string display_matrix;  // for the output to store; empty when frames were turned
  AVPixelFormat encoder_format = AV_PIX_FMT_NONE;  // for video outputs
  PixelFormat raw_format = PixelFormat::kRgb32;    // for raw and PNG outputs
  bool cut_to_video = false;           // sound past the last frame is left out (--frames)
  std::vector<PlannedStream> streams;  // by input stream index
  std::vector<std::string> notes;      // printed before the run goes on
};

// Throws UsageError or ToolError for an output that cannot hold what the input gives.
StreamPlan PlanStreams(const InputDescription& input, const Options& options);

// What OUTPUT's name says it is.
OutputKind OutputKindOf(const std::string& name);
