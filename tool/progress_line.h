// One line on standard error, redrawn in place: frames done, the total when known, frames
// per second and the time left. Short work finishes before the first draw, and then no line
// is drawn at all.
#pragma once

#include <chrono>
#include <cstdint>

class ProgressLine {
 public:
  // `total` is -1 when unknown. Nothing is drawn when disabled.
  ProgressLine(bool enabled, int64_t total) : enabled_(enabled), total_(total) {}
  void Update(int64_t done);
  // Draws the final count and ends the line, when anything was drawn.
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  void Draw();

  bool enabled_;
  int64_t total_;
  Clock::time_point start_ = Clock::now(), last_draw_;
  int64_t done_ = 0;
  bool drawn_ = false;
};
