#include "container_checks.h"

#include <cstdint>
#include <cstring>

namespace {

// An EBML variable-length number at `*at`: its length is the count of leading zero bits of
// the first byte, plus one. False when it does not fit or is longer than eight bytes.
bool ReadNumber(const uint8_t* bytes, size_t size, size_t* at, bool keep_marker, uint64_t* value,
                bool* unknown) {
  if (*at >= size || bytes[*at] == 0) return false;
  int length = 1;
  while (!(bytes[*at] & (0x80 >> (length - 1)))) ++length;
  if (*at + size_t(length) > size) return false;
  uint64_t number = keep_marker ? bytes[*at] : bytes[*at] & (0xFF >> length);
  bool all_ones = number == uint64_t(0xFF >> length);
  for (int i = 1; i < length; ++i) {
    number = number << 8 | bytes[*at + size_t(i)];
    all_ones = all_ones && bytes[*at + size_t(i)] == 0xFF;
  }
  *at += size_t(length);
  *value = number;
  if (unknown) *unknown = all_ones;
  return true;
}

}  // namespace

int64_t MatroskaSegmentEnd(const uint8_t* bytes, size_t size) {
  constexpr uint64_t kEbmlHeader = 0x1A45DFA3, kSegment = 0x18538067;
  size_t at = 0;
  uint64_t id = 0, length = 0;
  bool unknown = false;
  if (!ReadNumber(bytes, size, &at, true, &id, nullptr) || id != kEbmlHeader ||
      !ReadNumber(bytes, size, &at, false, &length, &unknown) || unknown || length > size - at)
    return -1;
  at += size_t(length);
  if (!ReadNumber(bytes, size, &at, true, &id, nullptr) || id != kSegment ||
      !ReadNumber(bytes, size, &at, false, &length, &unknown) || unknown ||
      length > uint64_t(INT64_MAX) - at)
    return -1;
  return int64_t(at + length);
}

bool Yuv4MpegFrameSize(const uint8_t* bytes, size_t size, int64_t* width, int64_t* height) {
  static const char kSignature[] = "YUV4MPEG2 ";
  const size_t signature = sizeof kSignature - 1;
  if (size < signature || memcmp(bytes, kSignature, signature) != 0) return false;
  *width = *height = -1;
  // Parameters are separated by spaces, each a letter and its value, up to the line's end.
  for (size_t at = signature; at < size && bytes[at] != '\n';) {
    const uint8_t letter = bytes[at++];
    int64_t number = 0;
    bool digits = false;
    for (; at < size && bytes[at] >= '0' && bytes[at] <= '9' && number < (int64_t(1) << 40); ++at) {
      number = number * 10 + (bytes[at] - '0');
      digits = true;
    }
    if (digits && letter == 'W') *width = number;
    if (digits && letter == 'H') *height = number;
    while (at < size && bytes[at] != ' ' && bytes[at] != '\n') ++at;
    if (at < size && bytes[at] == ' ') ++at;
  }
  return *width >= 0 && *height >= 0;
}
