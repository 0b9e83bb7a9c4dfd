// Checks of a container's own declarations against the file, where the demuxer lets a
// file cut short pass as a complete one. They read hostile bytes, and stay inside them.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the first Matroska (or WebM) segment declares that it ends, counted from the file's
// start, from the file's first bytes; -1 where they are not Matroska or the size is left
// unknown (as a live writer leaves it).
int64_t MatroskaSegmentEnd(const uint8_t* bytes, size_t size);
