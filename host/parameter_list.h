// A script function's parameter string, parsed: "c[x]i[y]i[blur]s" is a clip followed by
// the optional named integers x and y and the optional named string blur.
#pragma once

#include <string>
#include <vector>

struct Parameter {
  char type;         // 'c' clip, 'i' integer, 's' string
  std::string name;  // empty for positional-only parameters
  bool optional;     // named parameters are optional
};

// Returns false, leaving `out` unspecified, when the string is malformed.
bool ParseParameters(const char* params, std::vector<Parameter>* out);

const char* TypeName(char type);
