#include "audio_tracks.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <cstdlib>

#include "output_formats.h"

#include "tool_error.h"

namespace {

class CopiedTrack : public AudioTrack {
 public:
  CopiedTrack(Muxer& muxer, const StreamDescription& input)
      : muxer_(muxer), time_base_(input.time_base), index_(muxer.CopyStream(input)->index) {}
  void Write(AVPacket* packet) override {
    packet->stream_index = index_;
    packet->pos = -1;
    muxer_.Write(packet, time_base_);
  }
  void Finish() override {}

 private:
  Muxer& muxer_;
  AVRational time_base_;
  int index_;
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

// The source's layout where the encoder takes it, else one of as many channels, else the
// source's own count: the resampler cannot mix every count into the encoder's first layout
// (16 channels into mono crash it), and encoders often take more than they list.
void ChooseLayout(const AVCodec* encoder, const AVChannelLayout& wanted, AVChannelLayout* out) {
  AVChannelLayout source;
  if (wanted.order == AV_CHANNEL_ORDER_UNSPEC || wanted.order == AV_CHANNEL_ORDER_CUSTOM)
    av_channel_layout_default(&source, wanted.nb_channels);
  else
    av_channel_layout_copy(&source, &wanted);
  const AVChannelLayout* chosen = encoder->ch_layouts ? nullptr : &source;
  const AVChannelLayout* same_count = nullptr;
  for (const AVChannelLayout* l = encoder->ch_layouts; l && l->nb_channels; ++l) {
    if (av_channel_layout_compare(l, &source) == 0) chosen = l;
    if (!same_count && l->nb_channels == source.nb_channels) same_count = l;
  }
  av_channel_layout_copy(out, chosen ? chosen : same_count ? same_count : &source);
  av_channel_layout_uninit(&source);
}

class EncodedTrack : public AudioTrack {
 public:
  EncodedTrack(Muxer& muxer, const StreamDescription& input, const AVCodec* encoder,
               const std::string& input_name)
      : muxer_(muxer),
        damaged_("cannot decode " + input_name),
        input_time_base_(input.time_base),
        decoder_(OpenDecoder(input.parameters.get(), input.time_base, input_name, "sound")),
        encoder_(nullptr) {
    // Sound of no declared layout takes the usual one for its count of channels (where
    // there is one), which the resampler needs to mix it for the encoder.
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      const int channels = decoder_->ch_layout.nb_channels;
      av_channel_layout_uninit(&decoder_->ch_layout);
      av_channel_layout_default(&decoder_->ch_layout, channels);
    }
    // Where the encoder refuses the source's count of channels, its widest layout (or
    // stereo) is mixed. Opened before any frame is read, so that quieting the libraries
    // hides no other message.
    AVChannelLayout layout{}, stereo{};
    ChooseLayout(encoder, decoder_->ch_layout, &layout);
    av_channel_layout_default(&stereo, 2);
    const AVChannelLayout* widest = encoder->ch_layouts ? encoder->ch_layouts : &stereo;
    for (const AVChannelLayout* l = encoder->ch_layouts; l && l->nb_channels; ++l)
      if (l->nb_channels > widest->nb_channels) widest = l;
    int error = 0;
    if (av_channel_layout_compare(widest, &layout) != 0) {
      const int level = av_log_get_level();
      av_log_set_level(AV_LOG_QUIET);
      error = OpenEncoder(muxer, encoder, layout);
      av_log_set_level(level);
    }
    if (error < 0 || av_channel_layout_compare(widest, &layout) == 0)
      error = OpenEncoder(muxer, encoder, *widest);
    av_channel_layout_uninit(&layout);
    if (error < 0) muxer.Fail(error);
    AVStream* output = muxer.AddStream(encoder_.get());
    output->disposition = input.disposition;
    av_dict_copy(&output->metadata, input.metadata.get(), 0);
    index_ = output->index;

    SwrContext* resampler = nullptr;
    if (swr_alloc_set_opts2(&resampler, &encoder_->ch_layout, encoder_->sample_fmt,
                            encoder_->sample_rate, &decoder_->ch_layout, decoder_->sample_fmt,
                            decoder_->sample_rate, 0, nullptr) < 0)
      throw std::bad_alloc();
    resampler_.reset(resampler);
    if (const int failed = swr_init(resampler); failed < 0) muxer.Fail(failed);
    fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 1));
    if (!fifo_) throw std::bad_alloc();
  }

  void Write(AVPacket* packet) override { Decode(packet); }

  // A fresh encoder context for the layout; the encoder's error, or 0.
  int OpenEncoder(Muxer& muxer, const AVCodec* encoder, const AVChannelLayout& layout) {
    encoder_.reset(avcodec_alloc_context3(encoder));
    if (!encoder_) throw std::bad_alloc();
    encoder_->sample_rate =
        NearestRate(encoder, SoundRateFor(muxer.Context()->oformat, decoder_->sample_rate));
    encoder_->sample_fmt = SampleFormat(encoder, decoder_->sample_fmt);
    if (av_channel_layout_copy(&encoder_->ch_layout, &layout) < 0) throw std::bad_alloc();
    encoder_->time_base = {1, encoder_->sample_rate};
    return muxer.OpenEncoder(encoder_.get(), nullptr);
  }

  void Finish() override {
    Decode(nullptr);
    Resample(nullptr);
    Encode(true);
    muxer_.Encode(encoder_.get(), nullptr, index_);
  }

 private:
  // Sends the packet (null: the end) to the decoder and passes on every frame it gives.
  void Decode(const AVPacket* packet) {
    int error = avcodec_send_packet(decoder_.get(), packet);
    while (error >= 0) {
      error = avcodec_receive_frame(decoder_.get(), decoded_.get());
      // The decoder's own report of damage it went past counts as damage.
      if (DecoderReportedDamage(decoder_.get())) error = AVERROR_INVALIDDATA;
      if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
      if (error < 0) break;
      if (next_time_ == AV_NOPTS_VALUE) {
        const int64_t when = decoded_->best_effort_timestamp;
        next_time_ =
            av_rescale_q(when == AV_NOPTS_VALUE ? 0 : when, input_time_base_, encoder_->time_base);
      }
      Resample(decoded_.get());
      av_frame_unref(decoded_.get());
      Encode(false);
    }
    Check(error, damaged_);
  }

  AvFramePtr EncoderFrame(int samples) const {
    AvFramePtr frame = NewFrame();
    frame->format = encoder_->sample_fmt;
    frame->sample_rate = encoder_->sample_rate;
    frame->nb_samples = samples;
    av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::bad_alloc();
    return frame;
  }

  // Into the encoder's rate, format and layout, then into the queue of samples; null
  // drains what the resampler holds.
  void Resample(const AVFrame* frame) {
    const int room = swr_get_out_samples(resampler_.get(), frame ? frame->nb_samples : 0);
    if (room <= 0) return;
    AvFramePtr converted = EncoderFrame(room);
    const int count =
        Check(swr_convert(resampler_.get(), converted->extended_data, room,
                          frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                          frame ? frame->nb_samples : 0),
              damaged_);
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted->extended_data), count) < count)
      throw std::bad_alloc();
  }

  // Hands the queued samples to the encoder in frames of its size; the last, shorter
  // one only at the end.
  void Encode(bool last) {
    const int size = encoder_->frame_size > 0 ? encoder_->frame_size : 4096;
    for (int queued; (queued = av_audio_fifo_size(fifo_.get())) >= size || (last && queued > 0);) {
      AvFramePtr frame = EncoderFrame(std::min(size, queued));
      av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->extended_data), frame->nb_samples);
      frame->pts = next_time_ == AV_NOPTS_VALUE ? 0 : next_time_;
      next_time_ = frame->pts + frame->nb_samples;
      muxer_.Encode(encoder_.get(), frame.get(), index_);
    }
  }

  Muxer& muxer_;
  std::string damaged_;  // the message's start for a decoding error
  AVRational input_time_base_;
  AvCodecContextPtr decoder_;
  AvCodecContextPtr encoder_;
  std::unique_ptr<SwrContext, AvFree<swr_free>> resampler_;
  std::unique_ptr<AVAudioFifo, AvFree<av_audio_fifo_free>> fifo_;
  AvFramePtr decoded_ = NewFrame();
  int64_t next_time_ = AV_NOPTS_VALUE;
  int index_ = -1;
};

}  // namespace

std::unique_ptr<AudioTrack> AddAudioTrack(Muxer& muxer, const StreamDescription& input,
                                          const AVCodec* encoder, const std::string& input_name) {
  if (!encoder) return std::make_unique<CopiedTrack>(muxer, input);
  return std::make_unique<EncodedTrack>(muxer, input, encoder, input_name);
}
