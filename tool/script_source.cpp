#include "script_source.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "avisynth_library.h"
#include "host_frames.h"
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
  info_.layout = {*format, vi->width, vi->height};
  CheckFrameLayout(info_.layout);
  // Within the range of FFmpeg's rationals, as close as they come.
  int numerator = 0, denominator = 0;
  av_reduce(&numerator, &denominator, vi->fps_numerator, vi->fps_denominator, INT_MAX);
  if (numerator <= 0 || denominator <= 0)
    throw ToolError(name_ + " gives no frame rate: " + std::to_string(vi->fps_numerator) + "/" +
                    std::to_string(vi->fps_denominator));
  info_.rate_numerator = unsigned(numerator);
  info_.rate_denominator = unsigned(denominator);
  info_.frame_count =
      frame_limit ? std::min<int64_t>(*frame_limit, vi->num_frames) : vi->num_frames;
  properties_.frame_rate = {numerator, denominator};
  properties_.time_base = av_inv_q(properties_.frame_rate);
  if (vi->audio_samples_per_second > 0 && vi->nchannels > 0) AddSoundStream(*vi);
}

void ScriptSource::AddSoundStream(const avisynth_c::VideoInfo& vi) {
  const std::optional<SampleFormat> format = FormatOfSampleType(vi.sample_type);
  if (!format) return;
  sound_ = avformat_alloc_context();
  AVStream* stream = sound_ ? avformat_new_stream(sound_, nullptr) : nullptr;
  if (!stream) throw std::bad_alloc();
  AVCodecParameters& parameters = *stream->codecpar;
  parameters.codec_type = AVMEDIA_TYPE_AUDIO;
  parameters.codec_id = format->codec;
  parameters.format = format->format;
  parameters.sample_rate = vi.audio_samples_per_second;
  av_channel_layout_default(&parameters.ch_layout, vi.nchannels);
  parameters.bits_per_coded_sample = 8 * format->bytes;
  parameters.block_align = format->bytes * vi.nchannels;
  stream->time_base = {1, vi.audio_samples_per_second};
  sample_bytes_ = parameters.block_align;
  properties_.input = sound_;
}

void ScriptSource::ForwardPackets(const std::vector<int>& streams, PacketForwarder forward) {
  if (sound_ && std::find(streams.begin(), streams.end(), 0) != streams.end())
    forward_ = std::move(forward);
}

void ScriptSource::ForwardSound(int64_t n) {
  const avisynth_c::VideoInfo* vi = avs_.get_video_info(clip_);
  const AVRational samples_per_frame =
      av_div_q({vi->audio_samples_per_second, 1}, properties_.frame_rate);
  const int64_t start = av_rescale(n, samples_per_frame.num, samples_per_frame.den);
  const int64_t end = std::min(vi->num_audio_samples,
                               av_rescale(n + 1, samples_per_frame.num, samples_per_frame.den));
  if (end <= start) return;
  AvPacketPtr packet = NewPacket();
  if (av_new_packet(packet.get(), int((end - start) * sample_bytes_)) < 0) throw std::bad_alloc();
  if (avs_.get_audio(clip_, packet->data, start, end - start) != 0 || avs_.clip_get_error(clip_))
    throw ToolError(
        "cannot read " + name_ + ": its sound from sample " + std::to_string(start) + ": " +
        (avs_.clip_get_error(clip_) ? avs_.clip_get_error(clip_) : "the host gave none"));
  packet->stream_index = 0;
  packet->pts = packet->dts = start;
  packet->duration = end - start;
  forward_(packet.get());
}

ScriptSource::~ScriptSource() { Release(); }

void ScriptSource::Release() {
  // The clip goes before the environment that made it.
  if (clip_) avs_.release_clip(clip_);
  clip_ = nullptr;
  if (env_) avs_.delete_script_environment(env_);
  env_ = nullptr;
  avformat_free_context(sound_);
  sound_ = nullptr;
}

bool ScriptSource::ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) {
  if (next_ >= info_.frame_count) return false;
  avisynth_c::VideoFrame* source = avs_.get_frame(clip_, int(next_));
  const char* error = avs_.clip_get_error(clip_);
  if (!source || error) {
    if (source) avs_.release_video_frame(source);
    throw ToolError("cannot read " + name_ + ": frame " + std::to_string(next_) + ": " +
                    (error ? error : "the host gave no frame"));
  }
  CopyPicture(source);
  avs_.release_video_frame(source);
  *frame = HostFrameFromPicture(env, info_.layout, picture_);
  if (forward_) ForwardSound(next_);
  *time = next_++;
  return true;
}

void ScriptSource::CopyPicture(const avisynth_c::VideoFrame* frame) {
  const FrameLayout& layout = info_.layout;
  picture_.resize(size_t(layout.FrameBytes()));
  uint8_t* out = picture_.data();
  auto copy_plane = [&](int plane, int row_bytes, int rows, bool bottom_up) {
    const uint8_t* data = avs_.get_read_ptr_p(frame, plane);
    const int pitch = avs_.get_pitch_p(frame, plane);
    if (avs_.get_row_size_p(frame, plane) < row_bytes || avs_.get_height_p(frame, plane) < rows)
      throw ToolError("cannot read " + name_ + ": the host gave a frame smaller than its clip");
    for (int row = 0; row < rows; ++row) {
      const int memory_row = bottom_up ? rows - 1 - row : row;
      std::memcpy(out, data + ptrdiff_t(memory_row) * pitch, size_t(row_bytes));
      out += row_bytes;
    }
  };
  const int row_bytes = int(layout.RowBytes());
  if (!layout.IsPlanar()) {
    // The host keeps RGB bottom-up, as its own frames are; the raw picture is top-down.
    copy_plane(0, row_bytes, layout.height, layout.IsRgb());
    return;
  }
  // The raw file's chroma order is the format's: V first for YV12, U first for I420.
  const bool v_first = layout.format == PixelFormat::kYv12;
  copy_plane(avisynth_c::kPlaneY, row_bytes, layout.height, false);
  for (int plane : {v_first ? avisynth_c::kPlaneV : avisynth_c::kPlaneU,
                    v_first ? avisynth_c::kPlaneU : avisynth_c::kPlaneV})
    copy_plane(plane, row_bytes / 2, layout.height / 2, false);
}
