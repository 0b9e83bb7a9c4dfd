#include "arguments.h"

Arguments DrawArguments(int width, int height, Random& random) {
  const int x_bound = width / 8, y_bound = height / 8;
  auto draw = [&](int low, int high) {
    const int pick = random.Between(0, 4);
    return pick == 0 ? low : pick == 1 ? high : random.Between(low, high);
  };
  Arguments arguments;
  switch (random.Between(0, 2)) {
    case 0:
      arguments = {draw(-x_bound, x_bound), draw(-y_bound, y_bound), "line"};
      if (arguments.x == 0 && arguments.y == 0) arguments.x = x_bound;
      break;
    case 1: arguments = {draw(1, x_bound), draw(1, y_bound), "rect"}; break;
    default: arguments = {draw(2, x_bound), random.Between(-3, 3), "focus"}; break;
  }
  return arguments;
}
