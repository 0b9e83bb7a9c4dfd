// Checks of a container's own declarations against the file, where the demuxer lets a
// file cut short pass as a complete one. They read hostile bytes, and stay inside them.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the first Matroska (or WebM) segment declares that it ends, counted from the file's
// start, from the file's first bytes; -1 where they are not Matroska or the size is left
// unknown (as a live writer leaves it).
int64_t MatroskaSegmentEnd(const uint8_t* bytes, size_t size);

// The frame size a YUV4MPEG header declares ("YUV4MPEG2 W640 H480 ..."), from the file's
// first bytes; false where they are not such a header or name no size.
bool Yuv4MpegFrameSize(const uint8_t* bytes, size_t size, int64_t* width, int64_t* height);
