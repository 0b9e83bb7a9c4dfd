// A call's x, y and blur as the test hosts pass them, and random ones that creation accepts.
#pragma once

#include "random.h"

constexpr int kOmitted = -0x7FFFFFFF;

struct Arguments {
  int x = kOmitted;
  int y = kOmitted;
  const char* blur = nullptr;  // null: omitted
};

// A shape with parameters that creation accepts for the size, often at their bounds.
Arguments DrawArguments(int width, int height, Random& random);
