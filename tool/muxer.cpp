#include "muxer.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include "tool_error.h"

Muxer::Muxer(const AVOutputFormat* format, const std::string& url, const std::string& name)
    : name_(name) {
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, format, nullptr, nullptr) < 0)
    throw std::bad_alloc();
  context_.reset(context);
  AVIOContext* io = nullptr;
  Check(avio_open2(&io, url.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), "cannot write " + name);
  io_.reset(io);
  context->pb = io;
  // A file, unlike a pipe, can be read back: MP4 and QuickTime then move their index to
  // its front, where players look first.
  const std::string muxer = format->name;
  if (url.rfind("file:", 0) == 0 && (muxer == "mp4" || muxer == "mov")) {
    context->url = av_strdup(url.c_str());
    av_opt_set(context->priv_data, "movflags", "+faststart", 0);
  }
}

AVStream* Muxer::NewStream() {
  AVStream* stream = avformat_new_stream(context_.get(), nullptr);
  if (!stream) throw std::bad_alloc();
  return stream;
}

AVStream* Muxer::CopyStream(const StreamDescription& input) {
  AVStream* output = NewStream();
  if (avcodec_parameters_copy(output->codecpar, input.parameters.get()) < 0)
    throw std::bad_alloc();
  output->codecpar->codec_tag = 0;  // the input container's tag may mean nothing here
  output->time_base = input.time_base;
  output->disposition = input.disposition;
  av_dict_copy(&output->metadata, input.metadata.get(), 0);
  return output;
}

void Muxer::AddChapter(const ChapterDescription& chapter, int64_t offset) {
  AVFormatContext* context = context_.get();
  auto* made = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
  if (!made || av_dynarray_add_nofree(&context->chapters, reinterpret_cast<int*>(&context->nb_chapters), made) < 0) {
    av_free(made);
    throw std::bad_alloc();
  }
  made->id = chapter.id;
  made->time_base = chapter.time_base;
  made->start = chapter.start - offset;
  made->end = chapter.end - offset;
  if (av_dict_copy(&made->metadata, chapter.metadata.get(), 0) < 0) throw std::bad_alloc();
}

int Muxer::OpenEncoder(AVCodecContext* encoder, AVDictionary* options) {
  if (context_->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int error = avcodec_open2(encoder, nullptr, &options);
  av_dict_free(&options);
  return error;
}

AVStream* Muxer::AddStream(const AVCodecContext* encoder) {
  AVStream* stream = NewStream();
  if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0) throw std::bad_alloc();
  stream->time_base = encoder->time_base;
  return stream;
}

void Muxer::Encode(AVCodecContext* encoder, const AVFrame* frame, int stream_index) {
  int error = avcodec_send_frame(encoder, frame);
  while (error >= 0) {
    error = avcodec_receive_packet(encoder, packet_.get());
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return;
    if (error >= 0) {
      packet_->stream_index = stream_index;
      Write(packet_.get(), encoder->time_base);
    }
  }
  Fail(error);
}

void Muxer::Write(AVPacket* packet, AVRational from) {
  av_packet_rescale_ts(packet, from, context_->streams[packet->stream_index]->time_base);
  const int error = av_interleaved_write_frame(context_.get(), packet);
  if (error < 0) Fail(error);
}

void Muxer::WriteHeader() {
  const int error = avformat_write_header(context_.get(), nullptr);
  if (error < 0) Fail(error);
}

void Muxer::Finish() {
  const int error = av_write_trailer(context_.get());
  avio_flush(io_.get());
  if (error < 0 || io_->error < 0) Fail(error);
  context_->pb = nullptr;
  AVIOContext* io = io_.release();
  Check(avio_closep(&io), "cannot write " + name_);
}

void Muxer::Fail(int error) const {
  // The file's own error (such as a full disk) says more than the muxer's.
  if (context_->pb && context_->pb->error < 0) error = context_->pb->error;
  throw ToolError("cannot write " + name_ + ": " + AvErrorText(error));
}
