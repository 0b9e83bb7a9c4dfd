// An output file being written by libavformat: every failure, a full disk included, is
// reported as one message naming the output.
#pragma once

#include <string>

#include "av_support.h"

class Muxer {
 public:
  Muxer(AVFormatContext* context, const std::string& name) : context_(context), name_(name) {}

  AVFormatContext* Context() const { return context_; }
  const std::string& Name() const { return name_; }
  AVStream* NewStream();
  // Writes the packet, whose times are in its stream's codec time base `from`.
  void Write(AVPacket* packet, AVRational from);
  [[noreturn]] void Fail(int error) const;

 private:
  AVFormatContext* context_;
  std::string name_;
};
