// An output file being written by libavformat, with the encoders that feed its streams:
// every failure, a full disk included, is reported as one message naming the output.
#pragma once

#include <string>

#include "av_support.h"
#include "input_description.h"

class Muxer {
 public:
  // Writes `format` to `url` ("file:" and a path, or "pipe:" and a descriptor). Throws
  // ToolError.
  Muxer(const AVOutputFormat* format, const std::string& url, const std::string& name);

  AVFormatContext* Context() const { return context_.get(); }
  // A stream that takes the input stream's packets as they are.
  AVStream* CopyStream(const StreamDescription& input);
  // A chapter of the input, its times less `offset`; muxers that hold none leave it out.
  void AddChapter(const ChapterDescription& chapter, int64_t offset);
  // Opens an encoder set up for its stream, as the container needs, with `options`, which
  // it frees; returns the encoder's error, or 0.
  int OpenEncoder(AVCodecContext* encoder, AVDictionary* options);
  // The stream of an open encoder.
  AVStream* AddStream(const AVCodecContext* encoder);
  // Sends the frame (null: the end) through the encoder and writes what it gives.
  void Encode(AVCodecContext* encoder, const AVFrame* frame, int stream_index);
  // Writes the packet, whose times are in `from`.
  void Write(AVPacket* packet, AVRational from);
  void WriteHeader();
  // Writes the trailer and closes the file.
  void Finish();
  [[noreturn]] void Fail(int error) const;

 private:
  AVStream* NewStream();

  std::string name_;
  AvIoPtr io_;  // closed after the context that writes to it is freed
  std::unique_ptr<AVFormatContext, AvFree<avformat_free_context>> context_;
  AvPacketPtr packet_ = NewPacket();
};
