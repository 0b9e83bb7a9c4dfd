#include "extent_checks.h"

#include <string.h>

namespace {

bool Outside(int value, int low, int high) { return value < low || value > high; }

const char* RefuseLine(int x, int y, int width, int height, int* bound) {
  const int x_bound = width / 8, y_bound = height / 8;
  if (Outside(x, -x_bound, x_bound)) {
    *bound = x_bound;
    return "Korvel:x must be  between plus minus %d";
  }
  if (Outside(y, -y_bound, y_bound)) {
    *bound = y_bound;
    return "Korvel:y must be  between plus minus %d";
  }
  if (x == 0 && y == 0) return "Korvel:x and y both must not be zero";
  return nullptr;
}

// The radius is bounded by the width alone, and the message shows that bound.
const char* RefuseFocus(int x, int width, int* bound) {
  *bound = width / 8;
  if (Outside(x, 2, *bound)) return "Korvel:for focus x must be  between 2 %d";
  return nullptr;
}

const char* RefuseRect(int x, int y, int width, int height, int* bound) {
  const int x_bound = width / 8, y_bound = height / 8;
  if (Outside(x, 1, x_bound)) {
    *bound = x_bound;
    return "Korvel:x must be  between 1 and %d";
  }
  if (Outside(y, 1, y_bound)) {
    *bound = y_bound;
    return "Korvel:y must be  between 1 and %d";
  }
  return nullptr;
}

}  // namespace

const char* ExtentRefusal(const char* blur, int x, int y, int width, int height, int* bound) {
  *bound = 0;
  if (strcmp(blur, "line") == 0) return RefuseLine(x, y, width, height, bound);
  if (strcmp(blur, "focus") == 0) return RefuseFocus(x, width, bound);
  if (strcmp(blur, "rect") == 0) return RefuseRect(x, y, width, height, bound);
  return "Korvel: blur can be  line rect or focus only";
}
