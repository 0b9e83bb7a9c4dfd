#include "script_source.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "avisynth_library.h"
#include "picture_frames.h"
#include "tool_error.h"

namespace {

// The host's pixel types the command writes, which are also those of its own frames.
std::optional<PixelFormat> FormatOfPixelType(int pixel_type) {
  for (PixelFormat format : {PixelFormat::kRgb24, PixelFormat::kRgb32, PixelFormat::kYuy2,
                             PixelFormat::kYv12, PixelFormat::kI420})
    if (HostPixelType(format) == pixel_type) return format;
  return std::nullopt;
}

struct SampleFormat {
  AVCodecID codec;
  AVSampleFormat format;
  int bytes;
};

std::optional<SampleFormat> FormatOfSampleType(int sample_type) {
  switch (sample_type) {
    case avisynth_c::kSampleInt8: return SampleFormat{AV_CODEC_ID_PCM_U8, AV_SAMPLE_FMT_U8, 1};
    case avisynth_c::kSampleInt16: return SampleFormat{AV_CODEC_ID_PCM_S16LE, AV_SAMPLE_FMT_S16, 2};
    case avisynth_c::kSampleInt24: return SampleFormat{AV_CODEC_ID_PCM_S24LE, AV_SAMPLE_FMT_S32, 3};
    case avisynth_c::kSampleInt32: return SampleFormat{AV_CODEC_ID_PCM_S32LE, AV_SAMPLE_FMT_S32, 4};
    case avisynth_c::kSampleFloat: return SampleFormat{AV_CODEC_ID_PCM_F32LE, AV_SAMPLE_FMT_FLT, 4};
  }
  return std::nullopt;
}

avisynth_c::Functions FunctionsFor(const std::string& name) {
  try {
    return LoadAvisynth();
  } catch (const ToolError& error) {
    throw ToolError("cannot read " + name + ": " + error.what());
  }
}

}  // namespace

ScriptSource::ScriptSource(const std::string& path, std::optional<int64_t> frame_limit)
    : name_(path), avs_(FunctionsFor(path)) {
  // A constructor that throws runs no destructor: what was made is released here.
  try {
    Open(frame_limit);
  } catch (...) {
    Release();
    throw;
  }
}

void ScriptSource::Open(std::optional<int64_t> frame_limit) {
  env_ = avs_.create_script_environment(avisynth_c::kInterfaceVersion);
  if (!env_) throw ToolError("cannot read " + name_ + ": AviSynth+ made no script environment");
  avisynth_c::Value argument{};
  argument.type = 's';
  argument.d.string = name_.c_str();
  const avisynth_c::Value result = avs_.invoke(env_, "Import", argument, nullptr);
  if (result.type == 'e') {
    const std::string message = result.d.string ? result.d.string : "the script failed";
    avs_.release_value(result);
    throw ToolError("cannot read " + name_ + ": " + message);
  }
  if (result.type == 'c') clip_ = avs_.take_clip(result, env_);
  avs_.release_value(result);
  const avisynth_c::VideoInfo* vi = clip_ ? avs_.get_video_info(clip_) : nullptr;
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
  frame_count_ = frame_limit ? std::min<int64_t>(*frame_limit, vi->num_frames) : vi->num_frames;
  description_.name = name_;
  description_.kind = InputKind::kScript;
  StreamDescription stream;
  stream.type = AVMEDIA_TYPE_VIDEO;
  description_.streams.push_back(std::move(stream));
  VideoDescription& video = description_.video;
  video.format = AvFormatOf(layout_.format);
  video.width = layout_.width;
  video.height = layout_.height;
  video.frame_rate = {numerator, denominator};
  video.time_base = av_inv_q(video.frame_rate);
  video.frame_count = frame_count_;
  // The host's RGB is full range, and its fourth channel mostly unused (BlankClip leaves it 0).
  if (layout_.IsRgb()) video.range = AVCOL_RANGE_JPEG;
  video.has_real_alpha = false;
  video.raw_format = layout_.format;
  description_.streams[0].time_base = video.time_base;
  if (vi->audio_samples_per_second > 0 && vi->nchannels > 0) AddSoundStream(*vi);
}

void ScriptSource::AddSoundStream(const avisynth_c::VideoInfo& vi) {
  const std::optional<SampleFormat> format = FormatOfSampleType(vi.sample_type);
  if (!format) return;
  StreamDescription stream;
  stream.type = AVMEDIA_TYPE_AUDIO;
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

AvPacketPtr ScriptSource::Sound(int64_t n) {
  const avisynth_c::VideoInfo* vi = avs_.get_video_info(clip_);
  const AVRational samples_per_frame =
      av_div_q({vi->audio_samples_per_second, 1}, description_.video.frame_rate);
  const int64_t start = av_rescale(n, samples_per_frame.num, samples_per_frame.den);
  const int64_t end = std::min(vi->num_audio_samples,
                               av_rescale(n + 1, samples_per_frame.num, samples_per_frame.den));
  if (end <= start) return nullptr;
  AvPacketPtr packet = NewPacket();
  if (av_new_packet(packet.get(), int((end - start) * sample_bytes_)) < 0) throw std::bad_alloc();
  if (avs_.get_audio(clip_, packet->data, start, end - start) != 0 || avs_.clip_get_error(clip_))
    throw ToolError(
        "cannot read " + name_ + ": its sound from sample " + std::to_string(start) + ": " +
        (avs_.clip_get_error(clip_) ? avs_.clip_get_error(clip_) : "the host gave none"));
  packet->stream_index = 1;
  packet->pts = packet->dts = start;
  packet->duration = end - start;
  return packet;
}

ScriptSource::~ScriptSource() { Release(); }

void ScriptSource::Release() {
  // The clip goes before the environment that made it.
  if (clip_) avs_.release_clip(clip_);
  clip_ = nullptr;
  if (env_) avs_.delete_script_environment(env_);
  env_ = nullptr;
}

bool ScriptSource::Read(SourceItem* item) {
  if (pending_sound_) {
    item->stream = 1;
    item->frame.reset();
    item->packet = std::move(pending_sound_);
    return true;
  }
  if (next_ >= frame_count_) return false;
  avisynth_c::VideoFrame* source = avs_.get_frame(clip_, int(next_));
  const char* error = avs_.clip_get_error(clip_);
  if (!source || error) {
    if (source) avs_.release_video_frame(source);
    throw ToolError("cannot read " + name_ + ": frame " + std::to_string(next_) + ": " +
                    (error ? error : "the host gave no frame"));
  }
  AvFramePtr frame;
  try {
    frame = CopyFrame(source);
  } catch (...) {
    avs_.release_video_frame(source);
    throw;
  }
  avs_.release_video_frame(source);
  if (sample_bytes_ > 0) pending_sound_ = Sound(next_);
  frame->pts = next_++;
  item->stream = 0;
  item->packet.reset();
  item->frame = std::move(frame);
  return true;
}

AvFramePtr ScriptSource::CopyFrame(const avisynth_c::VideoFrame* source) {
  const FrameLayout& layout = layout_;
  AvFramePtr frame = NewVideoFrame(AvFormatOf(layout.format), layout.width, layout.height);
  auto copy_plane = [&](int host_plane, int plane, int row_bytes, int rows, bool bottom_up) {
    const uint8_t* data = avs_.get_read_ptr_p(source, host_plane);
    const int pitch = avs_.get_pitch_p(source, host_plane);
    if (avs_.get_row_size_p(source, host_plane) < row_bytes ||
        avs_.get_height_p(source, host_plane) < rows)
      throw ToolError("cannot read " + name_ + ": the host gave a frame smaller than its clip");
    for (int row = 0; row < rows; ++row) {
      const int memory_row = bottom_up ? rows - 1 - row : row;
      std::memcpy(frame->data[plane] + ptrdiff_t(row) * frame->linesize[plane],
                  data + ptrdiff_t(memory_row) * pitch, size_t(row_bytes));
    }
  };
  const int row_bytes = int(layout.RowBytes());
  if (!layout.IsPlanar()) {
    // The host keeps RGB bottom-up, as its own frames are.
    copy_plane(0, 0, row_bytes, layout.height, layout.IsRgb());
    return frame;
  }
  copy_plane(avisynth_c::kPlaneY, 0, row_bytes, layout.height, false);
  copy_plane(avisynth_c::kPlaneU, 1, row_bytes / 2, layout.height / 2, false);
  copy_plane(avisynth_c::kPlaneV, 2, row_bytes / 2, layout.height / 2, false);
  return frame;
}
