// One call of KorvelBlur (libkorvelblur.so) in the real host on a detailed source of any
// format, and its frames checked plane by plane against the model.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "real_host.h"

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

// A host with libkorvelblur.so loaded by LoadPlugin.
class KorvelBlurHost : public RealHost {
 public:
  KorvelBlurHost();
};

// A clip of the format whose every sample varies with the column, the row and the frame
// number, made by the host's own filters.
std::string DetailedSourceOf(const HostFormat& format, int width, int height, int frames);
// KorvelBlur's call on a clip given as script text, naming every argument.
std::string KorvelBlurScript(const std::string& clip, const KorvelBlurCase& c);

// Frames 0 to frames - 1 of the call on its detailed source, every plane against the model.
void CheckAgainstModel(RealHost& host, const KorvelBlurCase& c, int frames);

// Whether two clips' frames are equal, plane by plane, byte for byte; each clip is asked for
// frames in the host that made it.
void ExpectEqualFrames(RealHost& expected_host, const PClip& expected, RealHost& actual_host,
                       const PClip& actual, int frames);

}  // namespace korvel_real_host
