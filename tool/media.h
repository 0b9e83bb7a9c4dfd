// The two ends of the command's one way through. An input is described once when it is
// opened (its streams, their parameters, times and tags, its chapters and its own tags, every
// part the tool's own copy, so that what is planned and written from it never reaches back
// into the input), then read item by item. The output is given frames and packets in order.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

#include <string>
#include <vector>

#include "av_support.h"
#include "pixel_format.h"

struct StreamDescription {
  CodecParametersPtr parameters = NewCodecParameters();
  AVRational time_base{1, 25};
  int disposition = 0;
  DictionaryPtr metadata;
};

struct ChapterDescription {
  int64_t id = 0;
  AVRational time_base{1, 1000};
  int64_t start = 0, end = 0;
  DictionaryPtr metadata;
};

// The frames the input's source gives: their format as decoded and how they are shown.
struct VideoDescription {
  int stream = 0;  // the video's index among the streams
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int width = 0, height = 0;
  AVRational time_base{1, 25};   // of the frame times
  AVRational frame_rate{25, 1};  // the usual rate, for containers without frame times
  AVRational sample_aspect_ratio{0, 1};
  std::string display_matrix;  // as stored; empty when none
  int64_t frame_count = -1;    // as declared; -1 when not known before the end
  bool has_real_alpha = true;  // false where a fourth channel is padding (scripts' RGB32)
  // How raw frames of this input are laid out, for raw and PNG output of raw, picture and
  // script input (YV12 and I420 differ only there).
  PixelFormat raw_format = PixelFormat::kRgb32;
};

enum class InputKind { kRaw, kPicture, kScript, kVideo };

struct InputDescription {
  std::string name;  // as messages call it
  InputKind kind = InputKind::kVideo;
  std::vector<StreamDescription> streams;
  VideoDescription video;
  // The earliest time over all streams, in AV_TIME_BASE units: it becomes 0 in the output,
  // so that streams keep their offsets to each other.
  int64_t start_time = 0;
  DictionaryPtr metadata;
  std::vector<ChapterDescription> chapters;
};

// One item of an input, in the order the input holds them.
struct SourceItem {
  int stream = -1;     // the index among the description's streams
  AvFramePtr frame;    // a decoded video frame, its time in the video's time base; or
  AvPacketPtr packet;  // a packet of another stream, its times in that stream's time base
};

// An input as the read loop sees it: files, pictures and scripts are all read this way.
class MediaSource {
 public:
  virtual ~MediaSource() = default;
  virtual const InputDescription& Description() const = 0;
  // The next item; false at the end of the input. Throws ToolError on damage.
  virtual bool Read(SourceItem* item) = 0;
};

// An output as the writer sees it.
class MediaSink {
 public:
  virtual ~MediaSink() = default;
  // A frame in the plan's format and size, its time in the input video's time base.
  virtual void WriteFrame(AVFrame* frame) = 0;
  // A packet of input stream `stream`, which the plan copies or encodes again.
  virtual void WritePacket(int stream, AVPacket* packet) = 0;
  // Completes the file; only after this may it be given its final name.
  virtual void Finish() = 0;
};
