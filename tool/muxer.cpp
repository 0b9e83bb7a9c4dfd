#include "muxer.h"

#include "tool_error.h"

AVStream* Muxer::NewStream() {
  AVStream* stream = avformat_new_stream(context_, nullptr);
  if (!stream) throw std::bad_alloc();
  return stream;
}

void Muxer::Write(AVPacket* packet, AVRational from) {
  av_packet_rescale_ts(packet, from, context_->streams[packet->stream_index]->time_base);
  const int error = av_interleaved_write_frame(context_, packet);
  if (error < 0) Fail(error);
}

void Muxer::Fail(int error) const {
  // The descriptor's own error (such as a full disk) says more than the muxer's.
  if (context_->pb && context_->pb->error < 0) error = context_->pb->error;
  throw ToolError("cannot write " + name_ + ": " + AvErrorText(error));
}
