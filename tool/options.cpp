#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "tool_error.h"

namespace {

constexpr int kMostThreads = 256;

// Digits with an optional sign, and nothing else: no spaces before or after.
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

int WholeNumber(const std::string& option, const std::string& text) {
  int64_t value = 0;
  if (!ParseInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &value))
    throw UsageError(option + " takes a whole number, not '" + text + "'");
  return int(value);
}

int64_t Count(const std::string& option, const std::string& text, int64_t high) {
  int64_t value = 0;
  if (!ParseInteger(text, 1, high, &value))
    throw UsageError(option + " takes a number from 1 to " + std::to_string(high) + ", not '" +
                     text + "'");
  return value;
}

FrameSize ParseSize(const std::string& text) {
  const size_t cross = text.find('x');
  int64_t width = 0, height = 0;
  if (cross == std::string::npos ||
      !ParseInteger(text.substr(0, cross), 1, std::numeric_limits<int>::max(), &width) ||
      !ParseInteger(text.substr(cross + 1), 1, std::numeric_limits<int>::max(), &height))
    throw UsageError("--size takes WIDTHxHEIGHT with both at least 1, like 640x480, not '" + text +
                     "'");
  return {int(width), int(height)};
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  std::vector<std::string> names;
  bool only_names = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    if (only_names || option == "-" || option.empty() || option[0] != '-') {
      names.push_back(option);
      continue;
    }
    if (option == "--") {
      only_names = true;
      continue;
    }
    std::optional<std::string> attached;
    const size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
      attached = option.substr(equals + 1);
      option.resize(equals);
    }
    auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= arguments.size()) throw UsageError(option + " needs a value");
      return arguments[++i];
    };
    auto flag = [&](bool* target) {
      if (attached) throw UsageError(option + " takes no value");
      *target = true;
    };

    if (option == "-x" || option == "--x") {
      options.x = WholeNumber(option, value());
    } else if (option == "-y" || option == "--y") {
      options.y = WholeNumber(option, value());
    } else if (option == "-b" || option == "--blur") {
      options.blur = value();
    } else if (option == "--size") {
      options.size = ParseSize(value());
    } else if (option == "--format") {
      const std::string name = value();
      options.format = PixelFormatNamed(name);
      // The plugin blurs RGB only: other raw formats were always refused.
      if (!options.format || !FrameLayout{*options.format, 0, 0}.IsRgb())
        throw UsageError("unknown pixel format '" + name + "': use rgb24 or rgb32");
    } else if (option == "--frames") {
      options.frames = Count(option, value(), std::numeric_limits<int>::max());
    } else if (option == "--threads") {
      options.threads = int(Count(option, value(), kMostThreads));
    } else if (option == "--plugin") {
      options.plugin = value();
      if (options.plugin.empty()) throw UsageError("--plugin needs a file name");
    } else if (option == "--rgb") {
      flag(&options.rgb);
    } else if (option == "-q" || option == "--quiet") {
      flag(&options.quiet);
    } else if (option == "-h" || option == "--help") {
      flag(&options.help);
    } else if (option == "--version") {
      flag(&options.version);
    } else {
      throw UsageError("unknown option '" + option + "'");
    }
  }
  if (options.help || options.version) return options;
  if (names.size() < 2) throw UsageError("needs an INPUT and an OUTPUT");
  if (names.size() > 2) throw UsageError("too many file names: '" + names[2] + "'");
  options.input = names[0];
  options.output = names[1];
  return options;
}

const char* UsageText() {
  return R"(usage: korvel [options] INPUT OUTPUT

Blurs every frame of INPUT and writes OUTPUT.
'-' or a name ending in .raw is raw frames, .png a picture, anything else a video
(or a picture) read and written by FFmpeg's libraries. An INPUT ending in .avs is an
AviSynth+ script, which calls Korvel itself: its frames and sound are written as
AviSynth+ gives them.
A video into a video is blurred in its own pixel format, plane by plane, as
korvel.Blur does in VapourSynth, and written in that format where the encoder takes
it. Raw frames and pictures, and videos into raw or PNG output or with --rgb, are
blurred as RGB by the Korvel plugin.

  -x N, --x N          Korvel's x (default 5)
  -y N, --y N          Korvel's y (default 5)
  -b S, --blur S       Korvel's blur: line, rect or focus (default line)
  --size WxH           frame size of raw input (required for raw input)
  --format F           rgb24 or rgb32: the pixel format of raw input (default rgb24),
                       or of a video's frames blurred as RGB (default rgb32)
  --rgb                blur a video as RGB32 frames through the plugin
  --frames N           process only the first N frames
  --threads N          worker threads sharing one filter (default: one per processor)
  --plugin PATH        the plugin library (default: the one beside this program)
  -q, --quiet          no progress line
  -h, --help           this text
  --version            the version of korvel
)";
}
