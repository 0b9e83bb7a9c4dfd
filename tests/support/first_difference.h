// Where two pictures of packed rows first differ, for frame comparisons' failure messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel_test {

// Nothing when the pictures are equal; otherwise the row and byte of the first difference
// and both values, or the sizes when they differ.
std::optional<std::string> FirstDifference(const std::vector<uint8_t>& expected,
                                           const std::vector<uint8_t>& actual, int row_bytes);

}  // namespace korvel_test
