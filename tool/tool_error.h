// An error the korvel command reports to its user: the text is printed after "korvel: ".
#pragma once

#include <stdexcept>
#include <string>

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

// A mistake on the command line: reported like any error, with a hint to --help.
class UsageError : public ToolError {
 public:
  explicit UsageError(const std::string& message) : ToolError(message) {}
};
