#include "stream_plan.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>

#include "frame_formats.h"
#include "picture_frames.h"
#include "tool_error.h"

namespace {

// Muxers that store a display matrix; elsewhere frames are turned upright.
bool KeepsDisplayMatrix(const OutputFormat& format, OutputKind kind) {
  if (kind != OutputKind::kVideo || format.one_picture) return false;
  for (const char* name : {"mov", "mp4", "ipod", "3gp", "3g2", "ismv", "f4v", "psp"})
    if (std::string(format.muxer->name) == name) return true;
  return false;
}

bool Listed(const std::vector<AVPixelFormat>& list, AVPixelFormat format) {
  return std::find(list.begin(), list.end(), format) != list.end();
}

// What YUV4MPEG holds (8-bit YUV and grey everywhere, deeper ones where players take them).
const AVPixelFormat kYuv4MpegFormats[] = {
    AV_PIX_FMT_GRAY8,       AV_PIX_FMT_GRAY9,       AV_PIX_FMT_GRAY10,      AV_PIX_FMT_GRAY12,
    AV_PIX_FMT_GRAY16,      AV_PIX_FMT_YUV420P,     AV_PIX_FMT_YUV422P,     AV_PIX_FMT_YUV444P,
    AV_PIX_FMT_YUV420P9,    AV_PIX_FMT_YUV422P9,    AV_PIX_FMT_YUV444P9,    AV_PIX_FMT_YUV420P10,
    AV_PIX_FMT_YUV422P10,   AV_PIX_FMT_YUV444P10,   AV_PIX_FMT_YUV420P12,   AV_PIX_FMT_YUV422P12,
    AV_PIX_FMT_YUV444P12,   AV_PIX_FMT_YUV420P14,   AV_PIX_FMT_YUV422P14,   AV_PIX_FMT_YUV444P14,
    AV_PIX_FMT_YUV420P16,   AV_PIX_FMT_YUV422P16,   AV_PIX_FMT_YUV444P16,   AV_PIX_FMT_NONE};

// Whether frames of this size can be held in the format: its chroma subsampling must
// divide the width and height (x264 refuses odd sizes in 4:2:0).
bool SizeSuits(AVPixelFormat format, int width, int height) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  return d && width % (1 << d->log2_chroma_w) == 0 && height % (1 << d->log2_chroma_h) == 0;
}

// The frames' own format where the encoder (and the container) takes it, else the nearest
// one they take, with a note.
AVPixelFormat OwnEncoderFormat(const StreamPlan& plan) {
  const AVCodec* encoder = plan.format.video_encoder;
  const AVPixelFormat* list = encoder->pix_fmts;
  if (std::string(plan.format.muxer->name) == "yuv4mpegpipe") list = kYuv4MpegFormats;
  if (!list) return plan.frame_format;
  std::vector<AVPixelFormat> suited;
  for (; *list != AV_PIX_FMT_NONE; ++list)
    if (SizeSuits(*list, plan.width, plan.height)) suited.push_back(*list);
  if (Listed(suited, plan.frame_format)) return plan.frame_format;
  suited.push_back(AV_PIX_FMT_NONE);
  return avcodec_find_best_pix_fmt_of_list(suited.data(), plan.frame_format, 0, nullptr);
}

void PlanVideo(StreamPlan& plan, const Options& options) {
  const InputDescription& input = *plan.input;
  const VideoDescription& video = input.video;
  const bool rgb_requested = options.rgb || plan.output_kind != OutputKind::kVideo;
  if (input.kind == InputKind::kScript) {
    plan.path = VideoPath::kAsGiven;
  } else if (input.kind == InputKind::kVideo && !rgb_requested) {
    if (options.format)
      throw UsageError("--format is for raw input and for frames blurred as RGB (--rgb, or raw "
                       "and PNG output); " + input.name + " is blurred in its own pixel format");
    plan.path = VideoPath::kPlanes;
  } else {
    plan.path = VideoPath::kPlugin;
  }
  plan.raw_format = input.kind == InputKind::kVideo
                        ? options.format.value_or(PixelFormat::kRgb32)
                        : video.raw_format;
  plan.frame_format = plan.path == VideoPath::kPlanes ? PlaneFormatFor(video.format)
                                                      : AvFormatOf(plan.raw_format);
  plan.width = video.width;
  plan.height = video.height;
  plan.display_matrix = video.display_matrix;
  const int turn = ExactQuarterTurn(video.display_matrix);
  if (turn != 0 && !KeepsDisplayMatrix(plan.format, plan.output_kind)) {
    plan.turn = turn;
    plan.display_matrix.clear();
    if (turn != 180) std::swap(plan.width, plan.height);
    const AVPixelFormat turned = TurnedFormat(plan.frame_format, turn);
    // 4:1:1 has no turned twin: its frames are turned in 4:4:4.
    plan.frame_format = turned != AV_PIX_FMT_NONE
                            ? turned
                            : PlaneFormatFor(av_pix_fmt_desc_get(plan.frame_format)->comp[0].depth > 8
                                                 ? AV_PIX_FMT_YUV444P16
                                                 : AV_PIX_FMT_YUV444P);
  }
  if (plan.output_kind == OutputKind::kPng && plan.path == VideoPath::kAsGiven &&
      !FrameLayout{plan.raw_format, 0, 0}.IsRgb())
    throw ToolError(input.name + " gives " + NameOf(plan.raw_format) +
                    " frames, and PNG files are written from rgb24 or rgb32: end the script "
                    "with ConvertToRGB32() or ConvertToRGB24()");
  plan.opaque = plan.output_kind == OutputKind::kPng && !video.has_real_alpha;
  if (plan.output_kind != OutputKind::kVideo) return;
  if (plan.path == VideoPath::kPlanes) {
    plan.encoder_format = OwnEncoderFormat(plan);
    if (plan.encoder_format != plan.frame_format)
      plan.notes.push_back(plan.output_name + ": " + plan.format.video_encoder->name +
                           " does not write " + av_get_pix_fmt_name(plan.frame_format) +
                           " frames; they are written as " +
                           av_get_pix_fmt_name(plan.encoder_format));
  } else {
    plan.encoder_format =
        ChoosePixelFormat(plan.format.video_encoder, plan.frame_format, plan.width, plan.height);
  }
}

// The streams beside the video, in a video output.
void PlanOtherStreams(StreamPlan& plan) {
  const InputDescription& input = *plan.input;
  const OutputFormat& format = plan.format;
  auto note = [&](size_t index, const std::string& what, const std::string& why) {
    plan.notes.push_back(plan.output_name + ": " + what + " " + std::to_string(index) + " (" +
                         avcodec_get_name(input.streams[index].parameters->codec_id) +
                         ") is left out: " + why);
  };
  int sound_tracks = 0;
  for (size_t i = 0; i < input.streams.size(); ++i) {
    PlannedStream& planned = plan.streams[i];
    const StreamDescription& stream = input.streams[i];
    if (int(i) == input.video.stream) continue;
    // A single picture plainly holds nothing else, and raw frames nothing but frames.
    if (plan.output_kind != OutputKind::kVideo || format.one_picture) continue;
    if (stream.type == AVMEDIA_TYPE_AUDIO && sound_tracks == SoundTracksHeld(format.muxer)) {
      note(i, "sound track", std::string(format.muxer->long_name) + " files hold one sound track");
    } else if (stream.type == AVMEDIA_TYPE_AUDIO) {
      switch (ChooseAudioFate(format.muxer, stream.parameters.get(), &planned.encoder)) {
        case TrackFate::kCopy: planned.fate = StreamFate::kCopy; break;
        case TrackFate::kEncode: planned.fate = StreamFate::kEncode; break;
        case TrackFate::kDrop:
          note(i, "sound track",
               format.muxer->audio_codec == AV_CODEC_ID_NONE
                   ? std::string(format.muxer->long_name) + " files hold no sound"
                   : std::string("no encoder for the sound these files hold"));
          break;
      }
      sound_tracks += planned.fate != StreamFate::kDrop;
    } else if (!stream.cover) {
      note(i, "stream", "only video, sound and cover pictures are kept");
    } else if (!KeepsAttachedPictures(format.muxer)) {
      note(i, "cover picture", std::string(format.muxer->long_name) + " files hold none");
    } else {
      planned.fate = StreamFate::kCopy;
    }
  }
}

}  // namespace

OutputKind OutputKindOf(const std::string& name) {
  const std::string extension = LowerExtension(name);
  if (name == "-" || extension == "raw") return OutputKind::kRaw;
  if (extension == "png") return OutputKind::kPng;
  return OutputKind::kVideo;
}

StreamPlan PlanStreams(const InputDescription& input, const Options& options) {
  StreamPlan plan;
  plan.input = &input;
  plan.output_name = options.output == "-" ? "standard output" : options.output;
  if (LowerExtension(options.output) == "avs")
    throw UsageError(plan.output_name +
                     " is a script: korvel reads scripts but writes frames, pictures and videos");
  plan.output_kind = OutputKindOf(options.output);
  if (plan.output_kind == OutputKind::kVideo) plan.format = ChooseOutputFormat(options.output);
  plan.cut_to_video = options.frames.has_value();
  plan.streams.resize(input.streams.size());
  plan.streams[size_t(input.video.stream)].fate = StreamFate::kVideo;
  PlanVideo(plan, options);
  PlanOtherStreams(plan);
  return plan;
}
