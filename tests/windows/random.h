// A small seeded generator (splitmix64), the same on every target and run.
#pragma once

#include <stdint.h>

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  int Between(int low, int high) { return low + int(Next() % uint64_t(high - low + 1)); }

 private:
  uint64_t state_;
};
