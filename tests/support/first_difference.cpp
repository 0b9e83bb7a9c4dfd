#include "first_difference.h"

namespace korvel_test {

std::optional<std::string> FirstDifference(const std::vector<uint8_t>& expected,
                                           const std::vector<uint8_t>& actual, int row_bytes) {
  if (expected.size() != actual.size())
    return "sizes differ: " + std::to_string(expected.size()) + " and " +
           std::to_string(actual.size()) + " bytes";
  for (size_t i = 0; i < expected.size(); ++i)
    if (expected[i] != actual[i])
      return "first difference at memory row " + std::to_string(i / size_t(row_bytes)) + ", byte " +
             std::to_string(i % size_t(row_bytes)) + ": expected " + std::to_string(expected[i]) +
             ", got " + std::to_string(actual[i]);
  return std::nullopt;
}

}  // namespace korvel_test
