// Random Korvel arguments that creation accepts for a clip size, for randomized tests.
#pragma once

#include <optional>
#include <random>
#include <string>

namespace korvel_test {

struct ShapeArguments {
  std::string blur;
  int x, y;  // for "focus", y is drawn anywhere: creation does not test it
};

// A shape and its parameters, biased towards the ends of their ranges and including exact
// diagonals; none when the shape drawn admits no parameters at this size.
std::optional<ShapeArguments> DrawAcceptedArguments(int width, int height, std::mt19937& random);

}  // namespace korvel_test
