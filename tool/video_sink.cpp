#include "video_sink.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdio>

#include "tool_error.h"

namespace {

bool IsYuv(AVPixelFormat format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  return descriptor && !(descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) &&
         descriptor->nb_components >= 3;
}

bool FullRangeFormat(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P;
}

// Encoders of MPEG-1 and MPEG-2 take only their standard rates, and Theora counts time in
// frames; others take the input's time base, or failing that one of 16-bit numbers.
std::vector<AVRational> TimeBaseChoices(const AVCodec* encoder, const OutputFormat& format,
                                        const VideoProperties& properties) {
  AVRational rate = properties.frame_rate;
  av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);
  if (encoder->supported_framerates)
    rate =
        encoder->supported_framerates[av_find_nearest_q_idx(rate, encoder->supported_framerates)];
  if (!format.frame_times || encoder->supported_framerates || encoder->id == AV_CODEC_ID_THEORA)
    return {av_inv_q(rate)};
  return {properties.time_base, av_inv_q(rate)};
}

// The FFmpeg format of the host's frames in each layout.
AVPixelFormat HostFormat(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return AV_PIX_FMT_BGR24;
    case PixelFormat::kRgb32: return AV_PIX_FMT_BGRA;
    case PixelFormat::kYuy2: return AV_PIX_FMT_YUYV422;
    case PixelFormat::kYv12:
    case PixelFormat::kI420: return AV_PIX_FMT_YUV420P;
  }
  return AV_PIX_FMT_NONE;
}

// A regular file is written through its name, which the muxer may read back.
std::string OutputUrl(int descriptor, const std::string& temporary_path) {
  return temporary_path.empty() ? "pipe:" + std::to_string(descriptor) : "file:" + temporary_path;
}

}  // namespace

VideoSink::VideoSink(int descriptor, const std::string& temporary_path, const std::string& name,
                     const FrameLayout& layout, const VideoProperties& properties,
                     const std::string& input_name, bool cut_to_video)
    : name_(name),
      format_(ChooseOutputFormat(name)),
      properties_(properties),
      layout_(layout),
      cut_to_video_(cut_to_video),
      muxer_(format_.muxer, OutputUrl(descriptor, temporary_path), name) {
  start_ = av_rescale_q(properties.start_time, AV_TIME_BASE_Q, properties.time_base);
  if (properties.input) av_dict_copy(&muxer_.Context()->metadata, properties.input->metadata, 0);
  AddVideoStream();
  const auto pictures = AddOtherStreams(input_name);
  muxer_.WriteHeader();
  for (const auto& [input, output_index] : pictures) {
    AvPacketPtr picture = NewPacket();
    if (av_packet_ref(picture.get(), &input->attached_pic) < 0) throw std::bad_alloc();
    picture->stream_index = output_index;
    picture->pts = picture->dts = 0;
    muxer_.Write(picture.get(), input->time_base);
  }
}

void VideoSink::AddVideoStream() {
  const AVCodec* codec = format_.video_encoder;
  const AVPixelFormat host_format = HostFormat(layout_.format);
  const AVPixelFormat pixels = ChoosePixelFormat(codec, host_format, layout_.width, layout_.height);
  const AVCodecParameters* source =
      properties_.video_stream >= 0 ? properties_.input->streams[properties_.video_stream]->codecpar
                                    : nullptr;
  int error = 0;
  for (const AVRational time_base : TimeBaseChoices(codec, format_, properties_)) {
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& e = *encoder_;
    e.width = layout_.width;
    e.height = layout_.height;
    e.pix_fmt = pixels;
    e.time_base = time_base;
    e.framerate = properties_.frame_rate;
    if (properties_.sample_aspect_ratio.num > 0)
      e.sample_aspect_ratio = properties_.sample_aspect_ratio;
    if (IsYuv(pixels) && source) {
      e.colorspace = source->color_space;
      e.color_range = source->color_range;
      e.color_primaries = source->color_primaries;
      e.color_trc = source->color_trc;
      e.chroma_sample_location = source->chroma_location;
    }
    if (IsYuv(pixels) && (FullRangeFormat(pixels) || codec->id == AV_CODEC_ID_MJPEG))
      e.color_range = AVCOL_RANGE_JPEG;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "auto", 0);
    for (const auto& [key, value] : format_.video_options)
      av_dict_set(&options, key.c_str(), value.c_str(), 0);
    error = muxer_.OpenEncoder(encoder_.get(), options);
    if (error >= 0) break;
  }
  if (error < 0) muxer_.Fail(error);

  AVStream* stream = muxer_.AddStream(encoder_.get());
  video_index_ = stream->index;
  stream->avg_frame_rate = properties_.frame_rate;
  stream->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  SetStreamDisplayMatrix(stream, properties_.display_matrix);

  converter_.reset(sws_getContext(layout_.width, layout_.height, host_format, layout_.width,
                                  layout_.height, pixels, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!converter_)
    throw ToolError("cannot write " + name_ + ": no conversion of the frames to its own");
  // RGB is full range; the host's YUV frames, as its own filters make them, are limited.
  sws_setColorspaceDetails(converter_.get(), sws_getCoefficients(SWS_CS_DEFAULT),
                           layout_.IsRgb() ? 1 : 0, MatrixCoefficients(encoder_->colorspace),
                           encoder_->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16, 1 << 16);
}

std::vector<std::pair<const AVStream*, int>> VideoSink::AddOtherStreams(
    const std::string& input_name) {
  std::vector<std::pair<const AVStream*, int>> pictures;
  const AVFormatContext* input = properties_.input;
  // A single picture plainly holds nothing else: that needs no note.
  if (!input || format_.one_picture) return pictures;
  tracks_.resize(input->nb_streams);
  auto note = [&](unsigned index, const std::string& what, const std::string& why) {
    std::fprintf(stderr, "korvel: %s: %s %u (%s) is left out: %s\n", name_.c_str(), what.c_str(),
                 index, avcodec_get_name(input->streams[index]->codecpar->codec_id), why.c_str());
  };
  int sound_tracks = 0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    const AVMediaType type = stream->codecpar->codec_type;
    if (int(i) == properties_.video_stream) {
      continue;
    } else if (type == AVMEDIA_TYPE_AUDIO && sound_tracks == SoundTracksHeld(format_.muxer)) {
      note(i, "sound track", std::string(format_.muxer->long_name) + " files hold one sound track");
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      std::string dropped;
      tracks_[i] = AddAudioTrack(muxer_, stream, input_name, &dropped);
      if (!tracks_[i]) note(i, "sound track", dropped);
      sound_tracks += tracks_[i] != nullptr;
    } else if (type != AVMEDIA_TYPE_VIDEO || !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      note(i, "stream", "only video, sound and cover pictures are kept");
    } else if (!KeepsAttachedPictures(format_.muxer)) {
      note(i, "cover picture", std::string(format_.muxer->long_name) + " files hold none");
    } else {
      AVStream* output = muxer_.CopyStream(stream);
      output->disposition = AV_DISPOSITION_ATTACHED_PIC;
      pictures.emplace_back(stream, output->index);
    }
  }
  return pictures;
}

std::vector<int> VideoSink::TakenStreams() const {
  std::vector<int> taken;
  for (size_t i = 0; i < tracks_.size(); ++i)
    if (tracks_[i]) taken.push_back(int(i));
  return taken;
}

void VideoSink::TakePacket(AVPacket* packet) {
  AvPacketPtr kept = NewPacket();
  av_packet_move_ref(kept.get(), packet);
  std::lock_guard<std::mutex> lock(pending_mutex_);
  pending_.push_back(std::move(kept));
}

void VideoSink::WritePendingPackets(int64_t time, bool all) {
  for (;;) {
    AvPacketPtr packet;
    AVRational time_base;
    {
      std::lock_guard<std::mutex> lock(pending_mutex_);
      if (pending_.empty()) return;
      AVPacket* next = pending_.front().get();
      time_base = properties_.input->streams[next->stream_index]->time_base;
      const int64_t when = next->pts != AV_NOPTS_VALUE ? next->pts : next->dts;
      const bool before =
          when == AV_NOPTS_VALUE || av_compare_ts(when, time_base, time, properties_.time_base) < 0;
      if (!all && !before) return;
      packet = std::move(pending_.front());
      pending_.pop_front();
      // Sound that starts after the last frame is left out of a shortened video.
      if (all && cut_to_video_ && !before) continue;
    }
    // The input's start becomes 0, as it does for the video.
    const int64_t start = av_rescale_q(properties_.start_time, AV_TIME_BASE_Q, time_base);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= start;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= start;
    tracks_[size_t(packet->stream_index)]->Write(packet.get());
  }
}

void VideoSink::HostPlanes(const PVideoFrame& frame, const uint8_t* rows[4], int strides[4]) const {
  const uint8_t* data = frame->GetReadPtr();
  const int pitch = frame->GetPitch();
  // The host's RGB rows run bottom-up.
  rows[0] = layout_.IsRgb() ? data + ptrdiff_t(layout_.height - 1) * pitch : data;
  strides[0] = layout_.IsRgb() ? -pitch : pitch;
  if (!layout_.IsPlanar()) return;
  // Planar frames are one block: the luma rows, then each chroma plane packed, V first for
  // YV12 and U first for I420 (host_frames.h).
  const uint8_t* first = data + ptrdiff_t(layout_.height) * pitch;
  const uint8_t* second = first + ptrdiff_t(layout_.width / 2) * (layout_.height / 2);
  const bool v_first = layout_.format == PixelFormat::kYv12;
  rows[1] = v_first ? second : first;
  rows[2] = v_first ? first : second;
  strides[1] = strides[2] = layout_.width / 2;
}

void VideoSink::WriteFrame(const PVideoFrame& frame, int64_t time) {
  if (format_.one_picture && frames_ >= 1)
    throw ToolError(name_ + " can hold only one frame; choose one with --frames 1");
  AvFramePtr picture = NewFrame();
  picture->format = encoder_->pix_fmt;
  picture->width = encoder_->width;
  picture->height = encoder_->height;
  if (av_frame_get_buffer(picture.get(), 0) < 0) throw std::bad_alloc();
  const uint8_t* rows[4] = {};
  int strides[4] = {};
  HostPlanes(frame, rows, strides);
  sws_scale(converter_.get(), rows, strides, 0, encoder_->height, picture->data, picture->linesize);
  picture->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  picture->color_range = encoder_->color_range;
  picture->colorspace = encoder_->colorspace;
  picture->color_primaries = encoder_->color_primaries;
  picture->color_trc = encoder_->color_trc;

  const int64_t since_start =
      av_rescale_q(time - start_, properties_.time_base, encoder_->time_base);
  if (frames_ == 0) first_step_ = std::max<int64_t>(0, since_start);
  int64_t pts = format_.frame_times ? since_start : first_step_ + frames_;
  if (last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_) pts = last_pts_ + 1;
  last_pts_ = pts;
  picture->pts = pts;
  end_time_ = time + std::max<int64_t>(1, av_rescale_q(1, av_inv_q(properties_.frame_rate),
                                                       properties_.time_base));
  ++frames_;
  muxer_.Encode(encoder_.get(), picture.get(), video_index_);
  WritePendingPackets(time, false);
}

void VideoSink::Finish() {
  muxer_.Encode(encoder_.get(), nullptr, video_index_);
  WritePendingPackets(end_time_, true);
  for (auto& track : tracks_)
    if (track) track->Finish();
  muxer_.Finish();
}
