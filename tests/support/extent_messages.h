// The checks of a call's shape and extents against its clip, with the message each refusal
// gives, written once for the tests of every host's function. Written without the C++
// standard library, for the Windows test hosts too.
#pragma once

// An extent or keyword the call leaves out, so that the function's default applies.
constexpr int kLeftOut = -0x7FFFFFFF - 1;

struct ExtentCase {
  int width, height;    // of the clip
  int x, y;             // or kLeftOut
  const char* blur;     // or null, left out
  const char* message;  // null where the call is accepted
};

// In the order the checks take precedence, the accepted calls at the edges of each range
// among them.
extern const ExtentCase kExtentCases[];
extern const int kExtentCaseCount;

#if defined(GOOGLETEST_INCLUDE_GTEST_GTEST_H_)
#include <ostream>
#include <string>
// How a case reads in a test's failure message.
inline void PrintTo(const ExtentCase& c, std::ostream* os) {
  auto extent = [&](int v) { *os << (v == kLeftOut ? "-" : std::to_string(v)); };
  *os << c.width << "x" << c.height << " x=";
  extent(c.x);
  *os << " y=";
  extent(c.y);
  *os << " blur=" << (c.blur ? std::string("\"") + c.blur + "\"" : std::string("-"));
}
#endif
