// What an input holds, described once when it is opened: its streams (the video and the
// others), their parameters, times and tags, its chapters and its own tags. Every part is
// the tool's own copy, so that what is planned and written from it never reaches back into
// the input.
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
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  CodecParametersPtr parameters = NewCodecParameters();
  AVRational time_base{1, 25};
  int disposition = 0;
  DictionaryPtr metadata;
  AvPacketPtr cover;  // the picture of a cover stream, null for others
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
  AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
  AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
  AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
  AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
  AVChromaLocation chroma_location = AVCHROMA_LOC_UNSPECIFIED;
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
