// The blur calls the benchmarks measure, and the names their rows carry.
#pragma once

#include <string>

struct BlurCase {
  const char* blur;
  int x;
  int y;  // not passed for "focus", whose disc is as high as it is wide

  bool IsFocus() const { return std::string(blur) == "focus"; }
  // "rect(8,8)", "focus(5)", "line(-40,90)": no '/', which separates the parts of a name.
  std::string Name() const {
    std::string name = blur;
    name += '(';
    name += std::to_string(x);
    if (!IsFocus()) {
      name += ',';
      name += std::to_string(y);
    }
    name += ')';
    return name;
  }
};

// Every call through the filter: small to the largest extents a 1920x1080 clip accepts.
inline constexpr BlurCase kFilterCases[] = {
    {"rect", 2, 2},   {"rect", 8, 8},  {"rect", 32, 32},  {"rect", 240, 135},
    {"focus", 2, 0},  {"focus", 5, 0}, {"focus", 16, 0},  {"focus", 64, 0},
    {"line", 8, 0},   {"line", 0, 8},  {"line", 8, 3},    {"line", 8, 8},
    {"line", 16, 16}, {"line", 33, 7}, {"line", 120, 50}, {"line", -40, 90},
};

// The plain kernel costs N additions a byte, so it is measured only where N is small.
inline constexpr BlurCase kPlainCases[] = {
    {"rect", 2, 2}, {"focus", 2, 0}, {"focus", 5, 0}, {"line", 8, 0}};

// The largest parameters creation accepts at 3840x2160 (width/8, height/8): the work space
// a filter takes at its largest, measured but not timed.
inline constexpr BlurCase kLargestCases[] = {
    {"rect", 480, 270}, {"focus", 480, 0}, {"line", 480, 270}, {"line", 480, 0}, {"line", 0, 270}};
