// KorvelBlur's calls as script text, and the model its planes are held to: nothing of the
// host's own, so that a program may load the host however it likes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace korvel_real_host {

// A format of the host, as BlankClip names it, and what KorvelBlur's `planes` numbers in it.
struct HostFormat {
  const char* pixel_type;
  int plane_count;
  int log2_w, log2_h;  // of the second and third planes
  int bits;            // 8 to 16, or 32 for floats
  bool packed;         // interleaved RGB, stored bottom-up
  bool rgb;
};

// Every family: grey, YUV of each subsampling, with alpha, planar and packed RGB, at 8 bits,
// deeper and in floats.
extern const HostFormat kHostFormats[];
extern const int kHostFormatCount;
const HostFormat& HostFormatNamed(const std::string& pixel_type);

struct KorvelBlurCase {
  const HostFormat* format;
  int width, height;
  std::string blur;
  int x, y;
  std::vector<int> planes;  // empty: left out
};

void PrintTo(const KorvelBlurCase& c, std::ostream* os);

// A clip of the format whose every sample varies with the column, the row and the frame
// number, made by the host's own filters.
std::string DetailedSourceOf(const HostFormat& format, int width, int height, int frames);
// KorvelBlur's call on a clip given as script text, naming every argument.
std::string KorvelBlurScript(const std::string& clip, const KorvelBlurCase& c);

// One plane's samples as stored, rows back to back in memory order.
struct StoredPlane {
  int width, height, channels, sample_bytes;
  std::vector<uint8_t> bytes;
  int RowBytes() const { return width * channels * sample_bytes; }
};

// Plane p of the call's output (the one plane in memory of packed RGB) against the model of
// the same plane of its source.
void ExpectPlaneAsModel(const KorvelBlurCase& c, int p, const StoredPlane& source,
                        const StoredPlane& actual, const std::string& where);

}  // namespace korvel_real_host
