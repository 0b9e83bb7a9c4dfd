// Raw frames with their times in a Matroska stream, the form in which frames are handed to
// an encoding ffmpeg: a bare frame stream could only be given one steady rate.
#pragma once

#include <cstdint>
#include <string>

#include "pixel_format.h"

// The stream's start: one uncompressed video track of this layout. Times are counted in
// nanoseconds; `frame_nanoseconds` is the usual length of a frame, which the last one gets.
std::string MatroskaStart(const FrameLayout& layout, int64_t frame_nanoseconds);

// What comes before the bytes of one frame shown at `nanoseconds`: a cluster of its own,
// holding one block.
std::string MatroskaFrameStart(int64_t nanoseconds, int64_t frame_bytes);
