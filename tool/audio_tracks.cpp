#include "audio_tracks.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <cstdlib>

#include "output_formats.h"
#include "tool_error.h"

namespace {

void TakeOffStart(AVPacket* packet, int64_t start_time, AVRational time_base) {
  const int64_t offset = av_rescale_q(start_time, AV_TIME_BASE_Q, time_base);
  if (packet->pts != AV_NOPTS_VALUE) packet->pts -= offset;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts -= offset;
}

class CopiedTrack : public AudioTrack {
 public:
  CopiedTrack(Muxer& muxer, const AVStream* input, int64_t start_time)
      : muxer_(muxer), input_time_base_(input->time_base), start_time_(start_time) {
    AVStream* output = muxer.NewStream();
    if (avcodec_parameters_copy(output->codecpar, input->codecpar) < 0) throw std::bad_alloc();
    output->codecpar->codec_tag = 0;
    output->time_base = input->time_base;
    output->disposition = input->disposition;
    av_dict_copy(&output->metadata, input->metadata, 0);
    index_ = output->index;
  }
  void Write(AVPacket* packet) override {
    TakeOffStart(packet, start_time_, input_time_base_);
    packet->stream_index = index_;
    packet->pos = -1;
    muxer_.Write(packet, input_time_base_);
  }
  void Finish() override {}

 private:
  Muxer& muxer_;
  AVRational input_time_base_;
  int64_t start_time_;
  int index_ = -1;
};

int NearestRate(const AVCodec* encoder, int rate) {
  if (!encoder->supported_samplerates) return rate;
  int best = encoder->supported_samplerates[0];
  for (const int* r = encoder->supported_samplerates; *r; ++r)
    if (std::abs(*r - rate) < std::abs(best - rate)) best = *r;
  return best;
}

AVSampleFormat SampleFormat(const AVCodec* encoder, AVSampleFormat wanted) {
  if (!encoder->sample_fmts) return wanted;
  for (const AVSampleFormat* f = encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == wanted) return wanted;
  return encoder->sample_fmts[0];
}

void ChooseLayout(const AVCodec* encoder, const AVChannelLayout& wanted, AVChannelLayout* out) {
  AVChannelLayout source;
  if (wanted.order == AV_CHANNEL_ORDER_UNSPEC || wanted.order == AV_CHANNEL_ORDER_CUSTOM)
    av_channel_layout_default(&source, wanted.nb_channels);
  else
    av_channel_layout_copy(&source, &wanted);
  const AVChannelLayout* chosen = &source;
  if (encoder->ch_layouts) {
    const AVChannelLayout* same_count = nullptr;
    chosen = nullptr;
    for (const AVChannelLayout* l = encoder->ch_layouts; l->nb_channels; ++l) {
      if (av_channel_layout_compare(l, &source) == 0) chosen = l;
      if (!same_count && l->nb_channels == source.nb_channels) same_count = l;
    }
    if (!chosen) chosen = same_count ? same_count : encoder->ch_layouts;
  }
  av_channel_layout_copy(out, chosen);
  av_channel_layout_uninit(&source);
}

class EncodedTrack : public AudioTrack {
 public:
  EncodedTrack(Muxer& muxer, const AVStream* input, const AVCodec* encoder,
               const std::string& input_name, int64_t start_time)
      : muxer_(muxer),
        input_name_(input_name),
        input_time_base_(input->time_base),
        start_time_(start_time) {
    const AVCodec* decoder = avcodec_find_decoder(input->codecpar->codec_id);
    if (!decoder)
      throw ToolError("cannot decode " + input_name + ": no decoder for its " +
                      avcodec_get_name(input->codecpar->codec_id) + " sound");
    decoder_.reset(avcodec_alloc_context3(decoder));
    if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), input->codecpar) < 0)
      throw std::bad_alloc();
    decoder_->pkt_timebase = input->time_base;
    decoder_->err_recognition |= AV_EF_EXPLODE;
    Check(avcodec_open2(decoder_.get(), decoder, nullptr), true);

    encoder_.reset(avcodec_alloc_context3(encoder));
    if (!encoder_) throw std::bad_alloc();
    encoder_->sample_rate = NearestRate(encoder, decoder_->sample_rate);
    encoder_->sample_fmt = SampleFormat(encoder, decoder_->sample_fmt);
    ChooseLayout(encoder, decoder_->ch_layout, &encoder_->ch_layout);
    encoder_->time_base = {1, encoder_->sample_rate};
    if (muxer.Context()->oformat->flags & AVFMT_GLOBALHEADER)
      encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(encoder_.get(), encoder, nullptr), false);

    AVStream* output = muxer.NewStream();
    if (avcodec_parameters_from_context(output->codecpar, encoder_.get()) < 0)
      throw std::bad_alloc();
    output->time_base = encoder_->time_base;
    output->disposition = input->disposition;
    av_dict_copy(&output->metadata, input->metadata, 0);
    index_ = output->index;

    if (swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, encoder_->sample_fmt,
                            encoder_->sample_rate, &decoder_->ch_layout, decoder_->sample_fmt,
                            decoder_->sample_rate, 0, nullptr) < 0)
      throw std::bad_alloc();
    Check(swr_init(resampler_), false);
    fifo_ = av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 1);
    if (!fifo_) throw std::bad_alloc();
  }
  ~EncodedTrack() override {
    swr_free(&resampler_);
    if (fifo_) av_audio_fifo_free(fifo_);
  }
  EncodedTrack(const EncodedTrack&) = delete;
  EncodedTrack& operator=(const EncodedTrack&) = delete;

  void Write(AVPacket* packet) override {
    Check(avcodec_send_packet(decoder_.get(), packet), true);
    Decode();
  }

  void Finish() override {
    Check(avcodec_send_packet(decoder_.get(), nullptr), true);
    Decode();
    Resample(nullptr);
    Encode(true);
    Check(avcodec_send_frame(encoder_.get(), nullptr), false);
    ReceivePackets();
  }

 private:
  void Check(int error, bool decoding) const {
    if (error >= 0) return;
    if (decoding) throw ToolError("cannot decode " + input_name_ + ": " + AvErrorText(error));
    muxer_.Fail(error);
  }

  void Decode() {
    for (;;) {
      const int error = avcodec_receive_frame(decoder_.get(), decoded_.get());
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
      Check(error, true);
      if (next_time_ == AV_NOPTS_VALUE) {
        int64_t when = decoded_->best_effort_timestamp;
        if (when == AV_NOPTS_VALUE) when = 0;
        when -= av_rescale_q(start_time_, AV_TIME_BASE_Q, input_time_base_);
        next_time_ = av_rescale_q(when, input_time_base_, encoder_->time_base);
      }
      Resample(decoded_.get());
      av_frame_unref(decoded_.get());
      Encode(false);
    }
  }

  // Into the encoder's rate, format and layout, then into the queue of samples; null
  // drains what the resampler holds.
  void Resample(const AVFrame* frame) {
    const int room = swr_get_out_samples(resampler_, frame ? frame->nb_samples : 0);
    if (room <= 0) return;
    AvFramePtr converted = NewFrame();
    converted->format = encoder_->sample_fmt;
    converted->sample_rate = encoder_->sample_rate;
    converted->nb_samples = room;
    av_channel_layout_copy(&converted->ch_layout, &encoder_->ch_layout);
    Check(av_frame_get_buffer(converted.get(), 0), false);
    const int count =
        swr_convert(resampler_, converted->data, room,
                    frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                    frame ? frame->nb_samples : 0);
    Check(count, true);
    if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted->data), count) < count)
      throw std::bad_alloc();
  }

  // Hands the queued samples to the encoder in frames of its size; the last, shorter
  // one only at the end.
  void Encode(bool last) {
    const int size = encoder_->frame_size > 0 ? encoder_->frame_size : 4096;
    while (av_audio_fifo_size(fifo_) >= size || (last && av_audio_fifo_size(fifo_) > 0)) {
      AvFramePtr frame = NewFrame();
      frame->format = encoder_->sample_fmt;
      frame->sample_rate = encoder_->sample_rate;
      frame->nb_samples = std::min(size, av_audio_fifo_size(fifo_));
      av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout);
      Check(av_frame_get_buffer(frame.get(), 0), false);
      av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), frame->nb_samples);
      frame->pts = next_time_ == AV_NOPTS_VALUE ? 0 : next_time_;
      next_time_ = frame->pts + frame->nb_samples;
      Check(avcodec_send_frame(encoder_.get(), frame.get()), false);
      ReceivePackets();
    }
  }

  void ReceivePackets() {
    for (;;) {
      const int error = avcodec_receive_packet(encoder_.get(), packet_.get());
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
      Check(error, false);
      packet_->stream_index = index_;
      muxer_.Write(packet_.get(), encoder_->time_base);
    }
  }

  Muxer& muxer_;
  std::string input_name_;
  AVRational input_time_base_;
  int64_t start_time_;
  AvCodecContextPtr decoder_;
  AvCodecContextPtr encoder_;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AvFramePtr decoded_ = NewFrame();
  AvPacketPtr packet_ = NewPacket();
  int64_t next_time_ = AV_NOPTS_VALUE;
  int index_ = -1;
};

}  // namespace

std::unique_ptr<AudioTrack> AddAudioTrack(Muxer& muxer, const AVStream* input,
                                          const std::string& input_name, int64_t start_time,
                                          std::string* dropped) {
  const AVOutputFormat* format = muxer.Context()->oformat;
  const AVCodecID codec = input->codecpar->codec_id;
  const AVCodec* encoder = nullptr;
  switch (ChooseAudioFate(format, codec, &encoder)) {
    case TrackFate::kCopy: return std::make_unique<CopiedTrack>(muxer, input, start_time);
    case TrackFate::kEncode:
      return std::make_unique<EncodedTrack>(muxer, input, encoder, input_name, start_time);
    case TrackFate::kDrop: break;
  }
  *dropped = format->audio_codec == AV_CODEC_ID_NONE
                 ? std::string(format->long_name) + " files hold no sound"
                 : std::string("no encoder for the sound these files hold");
  return nullptr;
}
