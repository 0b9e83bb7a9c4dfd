// One call of Korvel on a detailed source, and how its frames compare with the model's.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "first_difference.h"
#include "real_host.h"

namespace korvel_real_host {

struct BlurCase {
  int width, height;
  bool rgb32;
  std::string blur;
  int x, y;

  int RowBytes() const { return width * (rgb32 ? 4 : 3); }
  bool operator==(const BlurCase&) const = default;
};

void PrintTo(const BlurCase& c, std::ostream* os);

// Korvel's call in script text, on a clip given as script text, naming every argument.
std::string KorvelScript(const std::string& clip, const BlurCase& c);

using korvel_test::FirstDifference;

// Frame n of the source given as script text, as the host makes it, blurred by the model.
std::vector<uint8_t> ModelFrame(RealHost& host, const std::string& source, const BlurCase& c,
                                int n);
// The same for the case's detailed source.
std::vector<uint8_t> ModelFrame(RealHost& host, const BlurCase& c, int n);

}  // namespace korvel_real_host
