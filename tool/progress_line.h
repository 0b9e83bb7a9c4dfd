// One line on standard error, redrawn in place: frames done, the total when known,
// frames per second and the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressLine {
 public:
  // `total` is -1 when unknown. Nothing is drawn when disabled.
  ProgressLine(bool enabled, int64_t total, FILE* stream = stderr);
  void Update(int64_t done);
  // Draws the final count and ends the line, when anything was drawn.
  void Finish();

  // The text for a state of the work, without the carriage return.
  static std::string Text(int64_t done, int64_t total, double seconds);

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(int64_t done);

  bool enabled_;
  int64_t total_;
  FILE* stream_;
  Clock::time_point start_;
  Clock::time_point last_draw_;
  int64_t done_ = 0;
  bool drawn_ = false;
};
