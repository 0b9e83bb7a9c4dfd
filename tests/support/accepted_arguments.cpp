#include "accepted_arguments.h"

#include <algorithm>

namespace korvel_test {

std::optional<ShapeArguments> DrawAcceptedArguments(int width, int height, std::mt19937& random) {
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto extent = [&](int low, int high) {
    const int pick = uniform(0, 3);
    return pick == 0 ? low : pick == 1 ? high : uniform(low, high);
  };
  const int bound_x = width / 8, bound_y = height / 8;
  switch (uniform(0, 2)) {
    case 0: {
      const int x = extent(-bound_x, bound_x);
      int y = extent(-bound_y, bound_y);
      if (uniform(0, 4) == 0) y = std::clamp(uniform(0, 1) ? x : -x, -bound_y, bound_y);
      if (x == 0 && y == 0) return std::nullopt;
      return ShapeArguments{"line", x, y};
    }
    case 1:
      if (bound_x < 1 || bound_y < 1) return std::nullopt;
      return ShapeArguments{"rect", extent(1, bound_x), extent(1, bound_y)};
    default:
      if (bound_x < 2) return std::nullopt;
      return ShapeArguments{"focus", extent(2, bound_x), uniform(-1000, 1000)};
  }
}

}  // namespace korvel_test
