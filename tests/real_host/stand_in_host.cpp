#include "stand_in_host.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace korvel_real_host {

namespace {

// Raw files hold rows top-down, host frames bottom-up: the same reversal maps either way.
std::vector<uint8_t> ReverseRows(const std::vector<uint8_t>& picture, int height) {
  const size_t row_bytes = picture.size() / size_t(height);
  std::vector<uint8_t> reversed(picture.size());
  for (size_t row = 0; row < size_t(height); ++row)
    std::copy_n(picture.begin() + ptrdiff_t(row * row_bytes), row_bytes,
                reversed.end() - ptrdiff_t((row + 1) * row_bytes));
  return reversed;
}

}  // namespace

std::vector<uint8_t> StandInBlur(const std::vector<uint8_t>& picture, int width, int height,
                                 bool rgb32, int x, int y, const std::string& blur) {
  char folder[] = "/tmp/korvel-real-host-XXXXXX";
  if (!mkdtemp(folder)) throw std::runtime_error("cannot make a temporary folder");
  const std::string input = std::string(folder) + "/in.raw",
                    output = std::string(folder) + "/out.raw";
  const std::vector<uint8_t> top_down = ReverseRows(picture, height);
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char*>(top_down.data()), std::streamsize(top_down.size()));

  const std::string command = std::string("'") + KORVEL_COMMAND_PATH + "' --quiet --threads 1" +
                              " --size " + std::to_string(width) + "x" + std::to_string(height) +
                              " --format " + (rgb32 ? "rgb32" : "rgb24") + " -x " +
                              std::to_string(x) + " -y " + std::to_string(y) + " -b " + blur + " " +
                              input + " " + output;
  const int status = std::system(command.c_str());
  std::ifstream result_file(output, std::ios::binary);
  const std::vector<uint8_t> result((std::istreambuf_iterator<char>(result_file)),
                                    std::istreambuf_iterator<char>());
  std::remove(output.c_str());
  std::remove(input.c_str());
  rmdir(folder);
  if (status != 0) throw std::runtime_error("the korvel command failed: " + command);
  return ReverseRows(result, height);
}

}  // namespace korvel_real_host
