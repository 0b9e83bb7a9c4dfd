#include "output_formats.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

#include "tool_error.h"

namespace {

bool OneOf(const std::string& value, std::initializer_list<const char*> choices) {
  return std::any_of(choices.begin(), choices.end(), [&](const char* c) { return value == c; });
}

bool Takes(const AVCodec* encoder, AVPixelFormat format) {
  if (!encoder->pix_fmts) return false;
  for (const AVPixelFormat* f = encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
    if (*f == format) return true;
  return false;
}

const AVCodec* EncoderNamed(const char* name, const std::string& output) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(name);
  if (!encoder)
    throw ToolError("cannot write " + output + ": this FFmpeg has no " + name + " encoder");
  return encoder;
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

OutputFormat ChooseOutputFormat(const std::string& name) {
  OutputFormat format;
  const std::string extension = LowerExtension(name);
  format.muxer = extension.empty() ? nullptr : av_guess_format(nullptr, name.c_str(), nullptr);
  if (!format.muxer)
    throw ToolError("cannot write " + name +
                    ": its name does not say what to write; end it in .mp4, .mkv, .webm, .png, "
                    ".raw or another video or picture extension");
  // These write files of their own beside OUTPUT (segments, playlists, a file per
  // stream), which would land wherever their names say, outside what korvel replaces.
  if (OneOf(format.muxer->name, {"hls", "dash", "segment", "stream_segment,ssegment", "hds",
                                 "smoothstreaming", "tee", "webm_chunk", "webm_dash_manifest",
                                 "fifo", "fifo_test"}))
    throw ToolError("cannot write " + name + ": " + format.muxer->long_name +
                    " is written as several files (segments and a list of them), and korvel "
                    "writes one file: choose .ts, .mp4 or .mkv");
  // Sound containers whose only picture is a cover: a video would be cut to one frame.
  if (OneOf(format.muxer->name, {"mp3", "flac"}) ||
      format.muxer->video_codec == AV_CODEC_ID_NONE)
    throw ToolError("cannot write " + name + ": " + format.muxer->long_name +
                    " files hold sound, not a video: choose .mp4, .mkv or another video");
  if (std::strcmp(format.muxer->name, "image2") == 0) {
    char numbered[1024];
    if (av_get_frame_filename(numbered, sizeof numbered, name.c_str(), 1) >= 0)
      throw ToolError("cannot write " + name +
                      ": numbered picture files are not written; write a video, or one "
                      "picture under a plain name with --frames 1");
    // One picture, written as the stream it is, to the one file.
    const AVCodecID codec =
        av_guess_codec(format.muxer, nullptr, name.c_str(), nullptr, AVMEDIA_TYPE_VIDEO);
    format.muxer = av_guess_format("image2pipe", nullptr, nullptr);
    format.video_encoder = avcodec_find_encoder(codec);
    format.one_picture = true;
  } else if (OneOf(extension, {"mp4", "m4v", "mov", "mkv"})) {
    format.video_encoder = EncoderNamed("libx264", name);
    format.video_options = {{"crf", "18"}, {"preset", "medium"}};
  } else if (extension == "webm") {
    format.video_encoder = EncoderNamed("libvpx-vp9", name);
    format.video_options = {{"crf", "32"}, {"b", "0"}, {"row-mt", "1"}};
  } else {
    format.video_encoder = avcodec_find_encoder(format.muxer->video_codec);
  }
  if (!format.video_encoder)
    throw ToolError("cannot write " + name + ": " + format.muxer->long_name +
                    " files hold no video this FFmpeg can encode");
  // Containers without a time for each frame (AVI, bare streams) show frames at one rate.
  format.frame_times = !(format.muxer->flags & AVFMT_NOTIMESTAMPS) &&
                       !OneOf(format.muxer->name, {"avi", "yuv4mpegpipe", "image2pipe"});
  return format;
}

AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, AVPixelFormat source, int width,
                                int height) {
  const bool even = width % 2 == 0 && height % 2 == 0;
  const AVPixelFormat wanted = even ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
  if (!encoder->pix_fmts || Takes(encoder, wanted)) return wanted;
  if (!even && Takes(encoder, AV_PIX_FMT_YUVJ444P)) return AV_PIX_FMT_YUVJ444P;
  if (even && Takes(encoder, AV_PIX_FMT_YUVJ420P)) return AV_PIX_FMT_YUVJ420P;
  return avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, source, 0, nullptr);
}

// Whether the container takes the stream as it is: a header written to memory with it
// alone. Some containers list a codec that they then refuse (Opus or FLAC in QuickTime,
// FLAC in MP4 without experimental features, MXF at rates other than 48 kHz); their own
// message would only confuse, since the track is then encoded again.
bool TakesAsItIs(const AVOutputFormat* muxer, const AVCodecParameters* sound) {
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, muxer, nullptr, nullptr) < 0) return false;
  bool taken = false;
  AVStream* stream = avformat_new_stream(context, nullptr);
  if (stream && avcodec_parameters_copy(stream->codecpar, sound) >= 0 &&
      avio_open_dyn_buf(&context->pb) >= 0) {
    stream->codecpar->codec_tag = 0;
    stream->time_base = {1, sound->sample_rate > 0 ? sound->sample_rate : 48000};
    const int level = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);
    taken = avformat_write_header(context, nullptr) >= 0;
    av_log_set_level(level);
    uint8_t* written = nullptr;
    avio_close_dyn_buf(context->pb, &written);
    av_free(written);
    context->pb = nullptr;
  }
  avformat_free_context(context);
  return taken;
}

TrackFate ChooseAudioFate(const AVOutputFormat* muxer, const AVCodecParameters* sound,
                          const AVCodec** encoder) {
  if (muxer->audio_codec == AV_CODEC_ID_NONE) return TrackFate::kDrop;
  const std::string name = muxer->name;
  const AVCodecID codec = sound->codec_id;
  const int listed = avformat_query_codec(muxer, codec, FF_COMPLIANCE_NORMAL);
  // MPEG transport streams list no codecs but carry the common ones.
  const bool copied =
      listed == 1 || (listed < 0 && codec == muxer->audio_codec) ||
      (name == "mpegts" &&
       (codec == AV_CODEC_ID_AAC || codec == AV_CODEC_ID_MP3 || codec == AV_CODEC_ID_MP2 ||
        codec == AV_CODEC_ID_AC3 || codec == AV_CODEC_ID_EAC3 || codec == AV_CODEC_ID_OPUS));
  if (copied && TakesAsItIs(muxer, sound)) return TrackFate::kCopy;
  *encoder = name == "webm" ? avcodec_find_encoder_by_name("libopus")
                            : avcodec_find_encoder(muxer->audio_codec);
  return *encoder ? TrackFate::kEncode : TrackFate::kDrop;
}

int SoundTracksHeld(const AVOutputFormat* muxer) {
  return std::strcmp(muxer->name, "flv") == 0 ? 1 : INT_MAX;
}

int SoundRateFor(const AVOutputFormat* muxer, int rate) {
  return std::strncmp(muxer->name, "mxf", 3) == 0 ? 48000 : rate;
}

bool KeepsAttachedPictures(const AVOutputFormat* muxer) {
  return OneOf(muxer->name, {"mp4", "mov", "ipod"});
}
