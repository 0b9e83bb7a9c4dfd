#include <algorithm>
#include <climits>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "avisynth_library.h"
#include "media_files.h"
#include "picture_frames.h"
#include "tool_error.h"

namespace {

// The host's pixel types the command writes, which are also those of its own frames.
std::optional<PixelFormat> FormatOfPixelType(int pixel_type) {
  switch (pixel_type) {
    case CS_BGR24: return PixelFormat::kRgb24;
    case CS_BGR32: return PixelFormat::kRgb32;
    case CS_YUY2: return PixelFormat::kYuy2;
    case CS_YV12: return PixelFormat::kYv12;
    case CS_I420: return PixelFormat::kI420;
  }
  return std::nullopt;
}

struct SampleFormat {
  AVCodecID codec;
  AVSampleFormat format;
  int bytes;
};

std::optional<SampleFormat> FormatOfSampleType(int sample_type) {
  switch (sample_type) {
    case SAMPLE_INT8: return SampleFormat{AV_CODEC_ID_PCM_U8, AV_SAMPLE_FMT_U8, 1};
    case SAMPLE_INT16: return SampleFormat{AV_CODEC_ID_PCM_S16LE, AV_SAMPLE_FMT_S16, 2};
    case SAMPLE_INT24: return SampleFormat{AV_CODEC_ID_PCM_S24LE, AV_SAMPLE_FMT_S32, 3};
    case SAMPLE_INT32: return SampleFormat{AV_CODEC_ID_PCM_S32LE, AV_SAMPLE_FMT_S32, 4};
    case SAMPLE_FLOAT: return SampleFormat{AV_CODEC_ID_PCM_F32LE, AV_SAMPLE_FMT_FLT, 4};
  }
  return std::nullopt;
}

class ScriptSource : public MediaSource {
 public:
  ScriptSource(const std::string& path, std::optional<int64_t> frame_limit)
      : name_(path), avs_(avisynth_c::Load(path)) {
    env_.reset(avs_.create_script_environment(avisynth_c::kInterfaceVersion));
    if (!env_) throw ToolError("cannot read " + name_ + ": AviSynth+ made no script environment");
    avisynth_c::Value argument{};
    argument.type = 's';
    argument.d.string = name_.c_str();
    const avisynth_c::Value result = avs_.invoke(env_.get(), "Import", argument, nullptr);
    if (result.type == 'e') {
      const std::string message = result.d.string ? result.d.string : "the script failed";
      avs_.release_value(result);
      throw ToolError("cannot read " + name_ + ": " + message);
    }
    if (result.type == 'c') clip_.reset(avs_.take_clip(result, env_.get()));
    avs_.release_value(result);
    const VideoInfo* vi = clip_ ? avs_.get_video_info(clip_.get()) : nullptr;
    if (!vi || vi->width == 0 || vi->num_frames <= 0)
      throw ToolError(name_ + " ends with no video: its last line must give a clip with frames");
    const std::optional<PixelFormat> format = FormatOfPixelType(vi->pixel_type);
    if (!format)
      throw ToolError(name_ +
                      " gives frames in a pixel format korvel does not write: end it with "
                      "ConvertToRGB32(), ConvertToRGB24(), ConvertToYUY2() or ConvertToYV12()");
    layout_ = {*format, vi->width, vi->height};
    CheckFrameLayout(layout_);
    // Within the range of FFmpeg's rationals, as close as they come.
    int numerator = 0, denominator = 0;
    av_reduce(&numerator, &denominator, vi->fps_numerator, vi->fps_denominator, INT_MAX);
    if (numerator <= 0 || denominator <= 0)
      throw ToolError(name_ + " gives no frame rate: " + std::to_string(vi->fps_numerator) + "/" +
                      std::to_string(vi->fps_denominator));
    frame_count_ = std::min<int64_t>(frame_limit.value_or(INT_MAX), vi->num_frames);
    description_.name = name_;
    description_.kind = InputKind::kScript;
    VideoDescription& video = description_.video;
    video.format = AvFormatOf(layout_.format);
    video.width = layout_.width;
    video.height = layout_.height;
    video.frame_rate = {numerator, denominator};
    video.time_base = av_inv_q(video.frame_rate);
    video.frame_count = frame_count_;
    // The fourth channel of the host's RGB32 is mostly unused (BlankClip leaves it 0).
    video.has_real_alpha = false;
    video.raw_format = layout_.format;
    StreamDescription stream;
    stream.parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    stream.time_base = video.time_base;
    description_.streams.push_back(std::move(stream));
    if (vi->audio_samples_per_second > 0 && vi->nchannels > 0) AddSoundStream(*vi);
  }

  const InputDescription& Description() const override { return description_; }

  bool Read(SourceItem* item) override {
    if (pending_sound_) {
      item->stream = 1;
      item->frame.reset();
      item->packet = std::move(pending_sound_);
      return true;
    }
    if (next_ >= frame_count_) return false;
    const FramePtr source(avs_.get_frame(clip_.get(), int(next_)), avs_.release_video_frame);
    const char* error = avs_.clip_get_error(clip_.get());
    if (!source || error)
      throw ToolError("cannot read " + name_ + ": frame " + std::to_string(next_) + ": " +
                      (error ? error : "the host gave no frame"));
    item->frame = CopyFrame(source.get());
    if (sample_bytes_ > 0) pending_sound_ = Sound(next_);
    item->frame->pts = next_++;
    item->stream = 0;
    item->packet.reset();
    return true;
  }

 private:
  using FramePtr = std::unique_ptr<avisynth_c::VideoFrame, void (*)(avisynth_c::VideoFrame*)>;

  // Describes the clip's sound as a PCM stream, when it has sound.
  void AddSoundStream(const VideoInfo& vi) {
    const std::optional<SampleFormat> format = FormatOfSampleType(vi.sample_type);
    if (!format) return;
    StreamDescription stream;
    AVCodecParameters& parameters = *stream.parameters;
    parameters.codec_type = AVMEDIA_TYPE_AUDIO;
    parameters.codec_id = format->codec;
    parameters.format = format->format;
    parameters.sample_rate = vi.audio_samples_per_second;
    av_channel_layout_default(&parameters.ch_layout, vi.nchannels);
    parameters.bits_per_coded_sample = 8 * format->bytes;
    parameters.block_align = format->bytes * vi.nchannels;
    stream.time_base = {1, vi.audio_samples_per_second};
    sample_bytes_ = parameters.block_align;
    description_.streams.push_back(std::move(stream));
  }

  // The sound from the start of frame n to the start of frame n + 1; null when none.
  AvPacketPtr Sound(int64_t n) {
    const VideoInfo* vi = avs_.get_video_info(clip_.get());
    const AVRational samples_per_frame =
        av_div_q({vi->audio_samples_per_second, 1}, description_.video.frame_rate);
    const int64_t start = av_rescale(n, samples_per_frame.num, samples_per_frame.den);
    const int64_t end = std::min(vi->num_audio_samples,
                                 av_rescale(n + 1, samples_per_frame.num, samples_per_frame.den));
    if (end <= start) return nullptr;
    AvPacketPtr packet = NewPacket();
    if (av_new_packet(packet.get(), int((end - start) * sample_bytes_)) < 0) throw std::bad_alloc();
    const bool failed = avs_.get_audio(clip_.get(), packet->data, start, end - start) != 0;
    const char* error = avs_.clip_get_error(clip_.get());
    if (failed || error)
      throw ToolError("cannot read " + name_ + ": its sound from sample " + std::to_string(start) +
                      ": " + (error ? error : "the host gave none"));
    packet->stream_index = 1;
    packet->pts = packet->dts = start;
    packet->duration = end - start;
    return packet;
  }

  // The host's frame as a frame of the same format, rows top-down: the host keeps RGB
  // bottom-up, as its own frames are.
  AvFramePtr CopyFrame(const avisynth_c::VideoFrame* source) {
    AvFramePtr frame = NewVideoFrame(AvFormatOf(layout_.format), layout_.width, layout_.height);
    const int planes[] = {layout_.IsPlanar() ? avisynth_c::kPlaneY : 0, avisynth_c::kPlaneU,
                          avisynth_c::kPlaneV};
    for (int p = 0; p < (layout_.IsPlanar() ? 3 : 1); ++p) {
      const int row_bytes = int(p == 0 ? layout_.RowBytes() : layout_.RowBytes() / 2);
      const int rows = p == 0 ? layout_.height : layout_.height / 2;
      const int pitch = avs_.get_pitch_p(source, planes[p]);
      if (avs_.get_row_size_p(source, planes[p]) < row_bytes ||
          avs_.get_height_p(source, planes[p]) < rows)
        throw ToolError("cannot read " + name_ + ": the host gave a frame smaller than its clip");
      const uint8_t* first = avs_.get_read_ptr_p(source, planes[p]);
      if (layout_.IsRgb()) first += ptrdiff_t(rows - 1) * pitch;
      av_image_copy_plane(frame->data[p], frame->linesize[p], first,
                          layout_.IsRgb() ? -pitch : pitch, row_bytes, rows);
    }
    return frame;
  }

  std::string name_;
  const avisynth_c::Functions avs_;
  // The clip goes before the environment that made it.
  std::unique_ptr<avisynth_c::ScriptEnvironment, void (*)(avisynth_c::ScriptEnvironment*)> env_{
      nullptr, avs_.delete_script_environment};
  std::unique_ptr<avisynth_c::Clip, void (*)(avisynth_c::Clip*)> clip_{nullptr, avs_.release_clip};
  FrameLayout layout_;
  int64_t frame_count_ = 0;
  InputDescription description_;
  int sample_bytes_ = 0;  // of all channels together; 0 without sound
  int64_t next_ = 0;
  AvPacketPtr pending_sound_;
};

}  // namespace

std::unique_ptr<MediaSource> OpenScriptSource(const std::string& path,
                                              std::optional<int64_t> frame_limit) {
  return std::make_unique<ScriptSource>(path, frame_limit);
}
