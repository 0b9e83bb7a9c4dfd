#include "blur_case.h"

#include "reference_pictures.h"

namespace korvel_real_host {

void PrintTo(const BlurCase& c, std::ostream* os) {
  *os << c.width << "x" << c.height << (c.rgb32 ? " RGB32 " : " RGB24 ") << c.blur << " x=" << c.x
      << " y=" << c.y;
}

std::string KorvelScript(const std::string& clip, const BlurCase& c) {
  return clip + ".Korvel(x=" + std::to_string(c.x) + ", y=" + std::to_string(c.y) + ", blur=\"" +
         c.blur + "\")";
}

std::vector<uint8_t> ModelFrame(RealHost& host, const std::string& source, const BlurCase& c,
                                int n) {
  const AVSValue clip = host.Evaluate(source);
  return korvel_test::ReferenceBlur(Picture(clip.AsClip(), n, host.env()), c.width, c.height,
                                    c.rgb32 ? 4 : 3, c.x, c.y, c.blur);
}

std::vector<uint8_t> ModelFrame(RealHost& host, const BlurCase& c, int n) {
  return ModelFrame(host, DetailedSource(c.width, c.height, n + 1, c.rgb32), c, n);
}

}  // namespace korvel_real_host
