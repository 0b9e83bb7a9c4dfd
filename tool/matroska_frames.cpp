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

// The Matroska and EBML element IDs used, with their length marker bits.
const std::string kEbml = "\x1A\x45\xDF\xA3", kEbmlVersion = "\x42\x86",
                  kEbmlReadVersion = "\x42\xF7", kEbmlMaxIdLength = "\x42\xF2",
                  kEbmlMaxSizeLength = "\x42\xF3", kDocType = "\x42\x82",
                  kDocTypeVersion = "\x42\x87", kDocTypeReadVersion = "\x42\x85";
const std::string kSegment = "\x18\x53\x80\x67", kInfo = "\x15\x49\xA9\x66",
                  kTimestampScale = "\x2A\xD7\xB1", kTracks = "\x16\x54\xAE\x6B",
                  kTrackEntry = "\xAE", kTrackNumber = "\xD7", kTrackUid = "\x73\xC5",
                  kTrackType = "\x83", kCodecId = "\x86", kDefaultDuration = "\x23\xE3\x83",
                  kVideo = "\xE0", kPixelWidth = "\xB0", kPixelHeight = "\xBA",
                  kUncompressedFourCc = "\x2E\xB5\x24", kCluster = "\x1F\x43\xB6\x75",
                  kClusterTimestamp = "\xE7", kSimpleBlock = "\xA3";

}  // namespace

std::string MatroskaStart(const FrameLayout& layout, int64_t frame_nanoseconds) {
  const std::string header =
      Element(kEbml, Unsigned(kEbmlVersion, 1) + Unsigned(kEbmlReadVersion, 1) +
                         Unsigned(kEbmlMaxIdLength, 4) + Unsigned(kEbmlMaxSizeLength, 8) +
                         Element(kDocType, "matroska") + Unsigned(kDocTypeVersion, 4) +
                         Unsigned(kDocTypeReadVersion, 2));
  // Of unknown size, as a stream written once from front to back is.
  const std::string segment_start = kSegment + "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
  const std::string info = Element(kInfo, Unsigned(kTimestampScale, 1));  // nanoseconds
  const std::string video = Unsigned(kPixelWidth, uint64_t(layout.width)) +
                            Unsigned(kPixelHeight, uint64_t(layout.height)) +
                            Element(kUncompressedFourCc, FourCharacterCode(layout.format));
  const std::string track = Unsigned(kTrackNumber, 1) + Unsigned(kTrackUid, 1) +
                            Unsigned(kTrackType, 1) + Element(kCodecId, "V_UNCOMPRESSED") +
                            Unsigned(kDefaultDuration, uint64_t(frame_nanoseconds)) +
                            Element(kVideo, video);
  return header + segment_start + info + Element(kTracks, Element(kTrackEntry, track));
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
