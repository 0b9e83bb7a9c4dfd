#include "video_sink.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "tool_error.h"

namespace {

bool IsYuv(AVPixelFormat format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  return descriptor && !(descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) &&
         descriptor->nb_components >= 3;
}

bool IsRgbFormat(AVPixelFormat format) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_RGB);
}

bool FullRangeFormat(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P;
}

// Encoders of MPEG-1 and MPEG-2 take only their standard rates, and Theora counts time in
// frames; others take the input's time base, or failing that one of 16-bit numbers.
std::vector<AVRational> TimeBaseChoices(const AVCodec* encoder, const OutputFormat& format,
                                        const VideoDescription& video) {
  AVRational rate = video.frame_rate;
  av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);
  if (encoder->supported_framerates)
    rate =
        encoder->supported_framerates[av_find_nearest_q_idx(rate, encoder->supported_framerates)];
  if (!format.frame_times || encoder->supported_framerates || encoder->id == AV_CODEC_ID_THEORA)
    return {av_inv_q(rate)};
  return {video.time_base, av_inv_q(rate)};
}

// A regular file is written through its name, which the muxer may read back.
std::string OutputUrl(int descriptor, const std::string& temporary_path) {
  return temporary_path.empty() ? "pipe:" + std::to_string(descriptor) : "file:" + temporary_path;
}

}  // namespace

VideoSink::VideoSink(int descriptor, const std::string& temporary_path, const StreamPlan& plan)
    : plan_(plan),
      input_(*plan.input),
      video_(plan.input->video),
      format_(plan.format),
      muxer_(format_.muxer, OutputUrl(descriptor, temporary_path), plan.output_name) {
  AVFormatContext* context = muxer_.Context();
  // YUV4MPEG writes samples deeper than 8 bits only when told that players may not know them.
  context->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
  start_ = av_rescale_q(input_.start_time, AV_TIME_BASE_Q, video_.time_base);
  av_dict_copy(&context->metadata, input_.metadata.get(), 0);
  // Chapters move with the input's start, as the streams do.
  for (const ChapterDescription& chapter : input_.chapters)
    muxer_.AddChapter(chapter, av_rescale_q(input_.start_time, AV_TIME_BASE_Q, chapter.time_base));
  AddVideoStream();
  AddOtherStreams();
  muxer_.WriteHeader();
  for (const auto& [input, output] : covers_) {
    AvPacketPtr picture = NewPacket();
    if (av_packet_ref(picture.get(), input_.streams[size_t(input)].cover.get()) < 0)
      throw std::bad_alloc();
    picture->stream_index = output;
    picture->pts = picture->dts = 0;
    muxer_.Write(picture.get(), input_.streams[size_t(input)].time_base);
  }
}

void VideoSink::AddVideoStream() {
  const AVCodec* codec = format_.video_encoder;
  const AVPixelFormat pixels = plan_.encoder_format;
  int error = 0;
  for (const AVRational time_base : TimeBaseChoices(codec, format_, video_)) {
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& e = *encoder_;
    e.width = plan_.width;
    e.height = plan_.height;
    e.pix_fmt = pixels;
    e.time_base = time_base;
    e.framerate = video_.frame_rate;
    if (video_.sample_aspect_ratio.num > 0) {
      e.sample_aspect_ratio = video_.sample_aspect_ratio;
      if (plan_.turn == 90 || plan_.turn == 270)
        e.sample_aspect_ratio = av_inv_q(video_.sample_aspect_ratio);
    }
    // A video's colours are written again as it declares them; a matrix of RGB frames
    // converted to YUV is the conversion's.
    if (IsYuv(pixels) && input_.kind == InputKind::kVideo) {
      const bool rgb_video = IsRgbFormat(video_.format) || video_.space == AVCOL_SPC_RGB;
      e.colorspace = rgb_video ? AVCOL_SPC_UNSPECIFIED : video_.space;
      e.color_range = rgb_video ? AVCOL_RANGE_MPEG : video_.range;
      e.color_primaries = video_.primaries;
      e.color_trc = video_.transfer;
      e.chroma_sample_location = video_.chroma_location;
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
  stream->avg_frame_rate = video_.frame_rate;
  stream->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  SetStreamDisplayMatrix(stream, plan_.display_matrix);
  SetUpConversion();
}

// Frames reach the encoder as they are where it takes their format; otherwise they are
// converted in the colours the input declares (RGB as full range).
void VideoSink::SetUpConversion() {
  const AVPixelFormat from = plan_.frame_format, to = encoder_->pix_fmt;
  if (from == to) return;
  converter_.reset(sws_getContext(plan_.width, plan_.height, from, plan_.width, plan_.height, to,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!converter_)
    throw ToolError("cannot write " + plan_.output_name + ": no conversion of the frames to its own");
  // The host's YUV frames, as its own filters make them, are limited.
  const bool from_full = IsRgbFormat(from) || FullRangeFormat(from) ||
                         (input_.kind == InputKind::kVideo && video_.range == AVCOL_RANGE_JPEG);
  sws_setColorspaceDetails(converter_.get(), MatrixCoefficients(video_.space), from_full ? 1 : 0,
                           MatrixCoefficients(encoder_->colorspace),
                           encoder_->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16,
                           1 << 16);
}

void VideoSink::AddOtherStreams() {
  tracks_.resize(input_.streams.size());
  for (size_t i = 0; i < input_.streams.size(); ++i) {
    const PlannedStream& planned = plan_.streams[i];
    const StreamDescription& stream = input_.streams[i];
    if (planned.fate != StreamFate::kCopy && planned.fate != StreamFate::kEncode) continue;
    if (stream.cover) {
      AVStream* output = muxer_.CopyStream(stream);
      output->disposition = AV_DISPOSITION_ATTACHED_PIC;
      covers_.emplace_back(int(i), output->index);
      continue;
    }
    tracks_[i] = AddAudioTrack(muxer_, stream,
                               planned.fate == StreamFate::kEncode ? planned.encoder : nullptr,
                               input_.name);
  }
}

void VideoSink::WritePacket(int stream, AVPacket* packet) {
  if (stream < 0 || size_t(stream) >= tracks_.size() || !tracks_[size_t(stream)]) return;
  AvPacketPtr kept = NewPacket();
  av_packet_move_ref(kept.get(), packet);
  pending_.emplace_back(stream, std::move(kept));
}

void VideoSink::WritePendingPackets(int64_t time, bool all) {
  while (!pending_.empty()) {
    auto& [stream, packet] = pending_.front();
    const AVRational time_base = input_.streams[size_t(stream)].time_base;
    const int64_t when = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const bool before =
        when == AV_NOPTS_VALUE || av_compare_ts(when, time_base, time, video_.time_base) < 0;
    if (!all && !before) return;
    // Sound that starts after the last frame is left out of a shortened video.
    if (before || !plan_.cut_to_video) {
      // The input's start becomes 0, as it does for the video.
      const int64_t start = av_rescale_q(input_.start_time, AV_TIME_BASE_Q, time_base);
      if (packet->pts != AV_NOPTS_VALUE) packet->pts -= start;
      if (packet->dts != AV_NOPTS_VALUE) packet->dts -= start;
      tracks_[size_t(stream)]->Write(packet.get());
    }
    pending_.pop_front();
  }
}

void VideoSink::WriteFrame(AVFrame* frame) {
  if (format_.one_picture && frames_ >= 1)
    throw ToolError(plan_.output_name + " can hold only one frame; choose one with --frames 1");
  const int64_t time = frame->pts;
  AvFramePtr converted;
  AVFrame* picture = frame;
  if (converter_) {
    converted = NewVideoFrame(encoder_->pix_fmt, encoder_->width, encoder_->height);
    sws_scale(converter_.get(), frame->data, frame->linesize, 0, frame->height, converted->data,
              converted->linesize);
    picture = converted.get();
  }
  picture->sample_aspect_ratio = encoder_->sample_aspect_ratio;
  picture->color_range = encoder_->color_range;
  picture->colorspace = encoder_->colorspace;
  picture->color_primaries = encoder_->color_primaries;
  picture->color_trc = encoder_->color_trc;
  picture->pict_type = AV_PICTURE_TYPE_NONE;

  const int64_t since_start = av_rescale_q(time - start_, video_.time_base, encoder_->time_base);
  if (frames_ == 0) first_step_ = std::max<int64_t>(0, since_start);
  int64_t pts = format_.frame_times ? since_start : first_step_ + frames_;
  if (last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_) pts = last_pts_ + 1;
  last_pts_ = pts;
  picture->pts = pts;
  end_time_ = time + std::max<int64_t>(
                         1, av_rescale_q(1, av_inv_q(video_.frame_rate), video_.time_base));
  ++frames_;
  muxer_.Encode(encoder_.get(), picture, video_index_);
  WritePendingPackets(time, false);
}

void VideoSink::Finish() {
  muxer_.Encode(encoder_.get(), nullptr, video_index_);
  WritePendingPackets(end_time_, true);
  for (auto& track : tracks_)
    if (track) track->Finish();
  muxer_.Finish();
}
