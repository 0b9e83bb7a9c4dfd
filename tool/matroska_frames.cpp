#include "matroska_frames.h"

#include "tool_error.h"

namespace {

// An element's size: a length marker in the first byte, then the value.
std::string SizeField(uint64_t size) {
  int length = 1;
  while (length < 8 && size >= (uint64_t(1) << (7 * length)) - 1) ++length;
  std::string field(size_t(length), '\0');
  const uint64_t marked = size | (uint64_t(1) << (7 * length));
  for (int i = 0; i < length; ++i) field[size_t(i)] = char(marked >> (8 * (length - 1 - i)));
  return field;
}

std::string Element(const std::string& id, const std::string& payload) {
  return id + SizeField(payload.size()) + payload;
}

std::string Unsigned(const std::string& id, uint64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), char(value & 0xFF));
    value >>= 8;
  } while (value != 0);
  return Element(id, bytes);
}

// The pixel format as the four characters that name it for an uncompressed track.
std::string FourCharacterCode(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return std::string("BGR\x18", 4);
    case PixelFormat::kRgb32: return "BGRA";
    case PixelFormat::kYuy2: return "YUY2";
    case PixelFormat::kI420: return "I420";
    case PixelFormat::kYv12: return "YV12";
  }
  throw ToolError("unknown pixel format");
}

const std::string kCluster("\x1F\x43\xB6\x75", 4);
const std::string kClusterTimestamp("\xE7", 1);
const std::string kSimpleBlock("\xA3", 1);

}  // namespace

std::string MatroskaStart(const FrameLayout& layout, int64_t frame_nanoseconds) {
  const std::string header =
      Element("\x1A\x45\xDF\xA3", Unsigned("\x42\x86", 1) + Unsigned("\x42\xF7", 1) +
                                      Unsigned("\x42\xF2", 4) + Unsigned("\x42\xF3", 8) +
                                      Element("\x42\x82", "matroska") + Unsigned("\x42\x87", 4) +
                                      Unsigned("\x42\x85", 2));
  // A segment of unknown size, as a stream written once from front to back has.
  const std::string segment_start =
      std::string("\x18\x53\x80\x67", 4) + "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
  const std::string info = Element("\x15\x49\xA9\x66", Unsigned("\x2A\xD7\xB1", 1));
  const std::string video = Unsigned(std::string("\xB0", 1), uint64_t(layout.width)) +
                            Unsigned(std::string("\xBA", 1), uint64_t(layout.height)) +
                            Element("\x2E\xB5\x24", FourCharacterCode(layout.format));
  const std::string track = Unsigned(std::string("\xD7", 1), 1) + Unsigned("\x73\xC5", 1) +
                            Unsigned(std::string("\x83", 1), 1) +
                            Element(std::string("\x86", 1), "V_UNCOMPRESSED") +
                            Unsigned("\x23\xE3\x83", uint64_t(frame_nanoseconds)) +
                            Element(std::string("\xE0", 1), video);
  const std::string tracks = Element("\x16\x54\xAE\x6B", Element(std::string("\xAE", 1), track));
  return header + segment_start + info + tracks;
}

std::string MatroskaFrameStart(int64_t nanoseconds, int64_t frame_bytes) {
  // Track 1, no offset from the cluster's time, a key frame.
  const std::string block_start("\x81\x00\x00\x80", 4);
  const std::string timestamp = Unsigned(kClusterTimestamp, uint64_t(nanoseconds));
  const uint64_t block_size = block_start.size() + uint64_t(frame_bytes);
  const std::string block = kSimpleBlock + SizeField(block_size) + block_start;
  return kCluster + SizeField(timestamp.size() + block.size() + uint64_t(frame_bytes)) + timestamp +
         block;
}
