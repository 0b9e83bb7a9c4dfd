// An error the korvel command reports to its user: the text is printed after "korvel: ".
#pragma once

#include <stdexcept>

struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A mistake on the command line: reported like any error, with a hint to --help.
struct UsageError : ToolError {
  using ToolError::ToolError;
};
