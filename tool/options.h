// The korvel command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pixel_format.h"

struct FrameSize {
  int width;
  int height;
};

struct Options {
  std::string input;
  std::string output;
  // Passed to Korvel only when given, so that the plugin's own defaults apply otherwise.
  std::optional<int> x;
  std::optional<int> y;
  std::optional<std::string> blur;
  std::optional<FrameSize> size;
  std::optional<PixelFormat> format;
  std::optional<int64_t> frames;
  std::optional<int> threads;
  std::string plugin;  // empty: the library beside the executable
  bool rgb = false;  // videos blurred as RGB32 frames through the plugin
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Throws UsageError naming what is wrong.
Options ParseOptions(const std::vector<std::string>& arguments);

const char* UsageText();
