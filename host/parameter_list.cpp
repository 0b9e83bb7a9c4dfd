#include "parameter_list.h"

#include <cstring>

bool ParseParameters(const char* params, std::vector<Parameter>* out) {
  out->clear();
  for (const char* p = params; *p;) {
    Parameter parameter{0, "", false};
    if (*p == '[') {
      const char* close = std::strchr(p, ']');
      if (!close || close == p + 1) return false;
      parameter.name.assign(p + 1, close);
      parameter.optional = true;
      p = close + 1;
    }
    if (!std::strchr("cis", *p) || *p == 0) return false;
    parameter.type = *p++;
    out->push_back(parameter);
  }
  return true;
}

const char* TypeName(char type) {
  switch (type) {
    case 'c': return "a clip";
    case 'i': return "an integer";
    case 's': return "a string";
    default: return "a value";
  }
}
