#include "video_sink.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstring>

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

}  // namespace

VideoSink::VideoSink(int descriptor, const std::string& reread_path, const std::string& name,
                     const FrameLayout& layout, const VideoProperties& properties,
                     const std::string& input_name, bool cut_to_video)
    : name_(name),
      format_(ChooseOutputFormat(name)),
      properties_(properties),
      cut_to_video_(cut_to_video) {
  // A constructor that throws runs no destructor: what was made is freed here.
  try {
    Open(descriptor, reread_path, layout, input_name);
  } catch (...) {
    Close();
    throw;
  }
}

void VideoSink::Open(int descriptor, const std::string& reread_path, const FrameLayout& layout,
                     const std::string& input_name) {
  const VideoProperties& properties = properties_;
  start_ = av_rescale_q(properties.start_time, AV_TIME_BASE_Q, properties.time_base);
  if (avformat_alloc_output_context2(&context_, format_.muxer, nullptr, nullptr) < 0)
    throw std::bad_alloc();
  context_->pb = OpenDescriptorIo(descriptor, true);
  muxer_ = std::make_unique<Muxer>(context_, name_);
  if (properties.input) av_dict_copy(&context_->metadata, properties.input->metadata, 0);
  AddVideoStream(layout);
  AddOtherStreams(input_name);

  AVDictionary* options = nullptr;
  const std::string muxer_name = format_.muxer->name;
  if (!reread_path.empty() && (muxer_name == "mp4" || muxer_name == "mov")) {
    context_->url = av_strdup(("file:" + reread_path).c_str());
    av_dict_set(&options, "movflags", "+faststart", 0);
  }
  const int error = avformat_write_header(context_, &options);
  av_dict_free(&options);
  if (error < 0) muxer_->Fail(error);
  for (const auto& [input_index, output_index] : pictures_) {
    AvPacketPtr picture = NewPacket();
    const AVStream* input = properties.input->streams[input_index];
    if (av_packet_ref(picture.get(), &input->attached_pic) < 0) throw std::bad_alloc();
    picture->stream_index = output_index;
    picture->pts = picture->dts = 0;
    muxer_->Write(picture.get(), input->time_base);
  }
}

VideoSink::~VideoSink() { Close(); }

void VideoSink::Close() {
  sws_freeContext(converter_);
  converter_ = nullptr;
  tracks_.clear();
  encoder_.reset();
  if (context_) {
    AVIOContext* io = context_->pb;
    context_->pb = nullptr;
    avformat_free_context(context_);
    context_ = nullptr;
    CloseDescriptorIo(&io);
  }
}

void VideoSink::AddVideoStream(const FrameLayout& layout) {
  const AVCodec* codec = format_.video_encoder;
  host_format_ = layout.format == PixelFormat::kRgb24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
  if (!layout.IsRgb())
    throw ToolError("cannot write " + name_ + ": videos are written from rgb24 or rgb32 frames");
  const AVPixelFormat pixels = ChoosePixelFormat(codec, host_format_, layout.width, layout.height);
  AVDictionary* options = nullptr;
  int error = 0;
  for (const AVRational time_base : TimeBaseChoices(codec, format_, properties_)) {
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& e = *encoder_;
    e.width = layout.width;
    e.height = layout.height;
    e.pix_fmt = pixels;
    e.time_base = time_base;
    e.framerate = properties_.frame_rate;
    if (properties_.sample_aspect_ratio.num > 0)
      e.sample_aspect_ratio = properties_.sample_aspect_ratio;
    if (IsYuv(pixels)) {
      e.colorspace = properties_.colorspace;
      e.color_range = properties_.range;
      e.color_primaries = properties_.primaries;
      e.color_trc = properties_.transfer;
      e.chroma_sample_location = properties_.chroma_location;
      if (FullRangeFormat(pixels) || codec->id == AV_CODEC_ID_MJPEG)
        e.color_range = AVCOL_RANGE_JPEG;
    }
    if (format_.muxer->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_dict_set(&options, "threads", "auto", 0);
    for (const auto& [key, value] : format_.video_options)
      av_dict_set(&options, key.c_str(), value.c_str(), 0);
    error = avcodec_open2(encoder_.get(), codec, &options);
    av_dict_free(&options);
    if (error >= 0) break;
  }
  if (error < 0) muxer_->Fail(error);

  AVStream* stream = muxer_->NewStream();
  video_index_ = stream->index;
  if (avcodec_parameters_from_context(stream->codecpar, encoder_.get()) < 0) throw std::bad_alloc();
  stream->time_base = encoder_->time_base;
  stream->avg_frame_rate = properties_.frame_rate;
  stream->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  SetStreamDisplayMatrix(stream, properties_.display_matrix);

  converter_ = sws_getContext(layout.width, layout.height, host_format_, layout.width,
                              layout.height, pixels, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!converter_)
    throw ToolError("cannot write " + name_ + ": no conversion of RGB to its frames");
  sws_setColorspaceDetails(converter_, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                           MatrixCoefficients(encoder_->colorspace),
                           encoder_->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16, 1 << 16);
}

void VideoSink::AddOtherStreams(const std::string& input_name) {
  const AVFormatContext* input = properties_.input;
  if (!input) return;
  tracks_.resize(input->nb_streams);
  auto note = [&](unsigned index, const std::string& what, const std::string& why) {
    std::fprintf(stderr, "korvel: %s: %s %u (%s) is left out: %s\n", name_.c_str(), what.c_str(),
                 index, avcodec_get_name(input->streams[index]->codecpar->codec_id), why.c_str());
  };
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    if (int(i) == properties_.video_stream) continue;
    const AVMediaType type = stream->codecpar->codec_type;
    if (format_.one_picture) {
      continue;  // a single picture plainly holds nothing else: that needs no note
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      std::string dropped;
      tracks_[i] = AddAudioTrack(*muxer_, stream, input_name, properties_.start_time, &dropped);
      if (!tracks_[i]) note(i, "sound track", dropped);
    } else if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      if (!KeepsAttachedPictures(format_.muxer)) {
        note(i, "cover picture", std::string(format_.muxer->long_name) + " files hold none");
        continue;
      }
      AVStream* output = muxer_->NewStream();
      if (avcodec_parameters_copy(output->codecpar, stream->codecpar) < 0) throw std::bad_alloc();
      output->codecpar->codec_tag = 0;
      output->disposition = AV_DISPOSITION_ATTACHED_PIC;
      output->time_base = stream->time_base;
      pictures_.emplace_back(int(i), output->index);
    } else {
      note(i, std::string("stream"), "only video, sound and cover pictures are kept");
    }
  }
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
    {
      std::lock_guard<std::mutex> lock(pending_mutex_);
      if (pending_.empty()) return;
      AVPacket* next = pending_.front().get();
      const AVStream* stream = properties_.input->streams[next->stream_index];
      const int64_t when = next->pts != AV_NOPTS_VALUE ? next->pts : next->dts;
      const bool before = when == AV_NOPTS_VALUE ||
                          av_compare_ts(when, stream->time_base, time, properties_.time_base) < 0;
      if (!all && !before) return;
      packet = std::move(pending_.front());
      pending_.pop_front();
      // Sound that starts after the last frame is left out of a shortened video.
      if (all && cut_to_video_ && !before) continue;
    }
    tracks_[size_t(packet->stream_index)]->Write(packet.get());
  }
}

void VideoSink::WriteFrame(const PVideoFrame& frame, int64_t time) {
  if (format_.one_picture && frames_ >= 1)
    throw ToolError(name_ + " can hold only one frame; choose one with --frames 1");
  AvFramePtr picture = NewFrame();
  picture->format = encoder_->pix_fmt;
  picture->width = encoder_->width;
  picture->height = encoder_->height;
  if (av_frame_get_buffer(picture.get(), 0) < 0) throw std::bad_alloc();
  // The host's rows run bottom-up.
  const int pitch = frame->GetPitch();
  const uint8_t* rows[4] = {frame->GetReadPtr() + ptrdiff_t(encoder_->height - 1) * pitch, nullptr,
                            nullptr, nullptr};
  const int strides[4] = {-pitch, 0, 0, 0};
  sws_scale(converter_, rows, strides, 0, encoder_->height, picture->data, picture->linesize);
  picture->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  picture->color_range = encoder_->color_range;
  picture->colorspace = encoder_->colorspace;
  picture->color_primaries = encoder_->color_primaries;
  picture->color_trc = encoder_->color_trc;

  const int64_t since_start = time - start_;
  int64_t pts = 0;
  if (format_.frame_times) {
    pts = av_rescale_q(since_start, properties_.time_base, encoder_->time_base);
  } else {
    if (frames_ == 0)
      first_step_ = std::max<int64_t>(
          0, av_rescale_q(since_start, properties_.time_base, encoder_->time_base));
    pts = first_step_ + frames_;
  }
  if (last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_) pts = last_pts_ + 1;
  last_pts_ = pts;
  picture->pts = pts;
  end_time_ = time + std::max<int64_t>(1, av_rescale_q(1, av_inv_q(properties_.frame_rate),
                                                       properties_.time_base));
  ++frames_;
  Encode(picture.get());
  if (properties_.input) WritePendingPackets(time, false);
}

void VideoSink::Encode(const AVFrame* frame) {
  int error = avcodec_send_frame(encoder_.get(), frame);
  if (error < 0) muxer_->Fail(error);
  for (;;) {
    error = avcodec_receive_packet(encoder_.get(), packet_.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
    if (error < 0) muxer_->Fail(error);
    packet_->stream_index = video_index_;
    muxer_->Write(packet_.get(), encoder_->time_base);
  }
}

void VideoSink::Finish() {
  Encode(nullptr);
  if (properties_.input) WritePendingPackets(end_time_, true);
  for (auto& track : tracks_)
    if (track) track->Finish();
  int error = av_write_trailer(context_);
  if (error < 0) muxer_->Fail(error);
  AVIOContext* io = context_->pb;
  context_->pb = nullptr;
  error = CloseDescriptorIo(&io);
  if (error < 0) throw ToolError("cannot write " + name_ + ": " + AvErrorText(error));
  finished_ = true;
}
