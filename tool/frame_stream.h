// Streams of frames. Readers and writers of pictures (raw and PNG files) deal in one frame
// as the raw format holds it (rows top-down, no padding); sources and sinks deal in host
// frames with their times, which is what the filters take and give.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_format.h"
#include "script_environment.h"

struct StreamInfo {
  FrameLayout layout;
  unsigned rate_numerator = 25;
  unsigned rate_denominator = 1;
  int64_t frame_count = -1;  // -1 when not known before the end; for videos, as declared
};

using Picture = std::vector<uint8_t>;

class FrameReader {
 public:
  virtual ~FrameReader() = default;
  virtual const StreamInfo& Info() const = 0;
  // The next frame into `picture`; false at the end of the stream.
  virtual bool ReadFrame(Picture* picture) = 0;
};

class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  virtual void WriteFrame(const Picture& picture) = 0;
  // Completes the file; only after this may it be given its final name.
  virtual void Finish() = 0;
};

// Frame times are counted in the source's own units: its time base for a video, frames
// for pictures.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual const StreamInfo& Info() const = 0;
  // The next frame, in a frame made by `env`; false at the end of the stream.
  virtual bool ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) = 0;
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void WriteFrame(const PVideoFrame& frame, int64_t time) = 0;
  virtual void Finish() = 0;
};
