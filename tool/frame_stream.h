// Streams of frames: what a reader yields and a writer takes. A picture is one frame as
// the raw format holds it (rows top-down, no padding), whatever the file it came from.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_format.h"

struct StreamInfo {
  FrameLayout layout;
  unsigned rate_numerator = 25;
  unsigned rate_denominator = 1;
  int64_t frame_count = -1;  // -1 when not known before the end
  // Each frame's time from the first, in units of the time base; frames past the end of
  // the list, and all of them when it is empty, follow at the frame rate.
  std::vector<int64_t> frame_times;
  unsigned time_base_numerator = 1;
  unsigned time_base_denominator = 25;
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
