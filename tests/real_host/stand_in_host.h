// The same blur computed by the project's stand-in host, through the korvel command, which
// runs in its own process: the stand-in declares the host's class names itself, so it
// cannot share a program with the real host's library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel_real_host {

// Blurs one picture in memory order (bottom row first) with the given Korvel arguments;
// throws when the command fails.
std::vector<uint8_t> StandInBlur(const std::vector<uint8_t>& picture, int width, int height,
                                 bool rgb32, int x, int y, const std::string& blur);

}  // namespace korvel_real_host
