// The three blur shapes, told apart by the filter's keyword.
#pragma once

#include <cstring>

enum class Shape { kLine, kRect, kFocus };

// "line" and "rect" are matched exactly; creation admits only "focus" besides them.
inline Shape ShapeOf(const char* blur) {
  if (std::strcmp(blur, "line") == 0) return Shape::kLine;
  if (std::strcmp(blur, "rect") == 0) return Shape::kRect;
  return Shape::kFocus;
}
