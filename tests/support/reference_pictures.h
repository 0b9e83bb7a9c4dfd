// The reference model (reference_blur.h) on pictures held in std::vector.
#pragma once

#include <string>
#include <vector>

#include "reference_blur.h"

namespace korvel_test {

template <typename Sample>
std::vector<Sample> ReferenceBlur(const std::vector<Sample>& source, int width, int height,
                                  int channels, int x, int y, const std::string& blur) {
  std::vector<Sample> result(source.size());
  ModelBlur(source.data(), result.data(), width, height, channels, x, y, blur.c_str());
  return result;
}

// For floats: the exact means, NaN and infinities where the samples hold them.
inline std::vector<double> ReferenceMeans(const std::vector<float>& source, int width, int height,
                                          int channels, int x, int y, const std::string& blur) {
  std::vector<double> result(source.size());
  ModelBlur(source.data(), result.data(), width, height, channels, x, y, blur.c_str());
  return result;
}

}  // namespace korvel_test
