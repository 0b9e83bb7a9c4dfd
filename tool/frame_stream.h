// Streams of pictures: readers and writers of raw and PNG files deal in one frame as the
// raw format holds it (rows top-down, no padding).
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_format.h"

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
