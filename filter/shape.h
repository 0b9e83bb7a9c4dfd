// The three blur shapes, told apart by the filter's keyword.
#pragma once

#include <string.h>

enum class Shape { kLine, kRect, kFocus };

// "line" and "rect" are matched exactly; creation admits only "focus" besides them.
inline Shape ShapeOf(const char* blur) {
  if (strcmp(blur, "line") == 0) return Shape::kLine;
  if (strcmp(blur, "rect") == 0) return Shape::kRect;
  return Shape::kFocus;
}
