// An output as the writer sees it: frames in order, each with its time, and packets of the
// streams the plan keeps, in the order the input held them.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

class MediaSink {
 public:
  virtual ~MediaSink() = default;
  // A frame in the plan's format and size, its time in the input video's time base.
  virtual void WriteFrame(AVFrame* frame) = 0;
  // A packet of input stream `stream`, which the plan copies or encodes again.
  virtual void WritePacket(int stream, AVPacket* packet) = 0;
  // Completes the file; only after this may it be given its final name.
  virtual void Finish() = 0;
};
