#include "check.h"

#include <stdarg.h>
#include <stdio.h>

namespace {
int failures = 0;
}

void Fail(const char* format, ...) {
  ++failures;
  va_list arguments;
  va_start(arguments, format);
  printf("FAILED: ");
  vprintf(format, arguments);
  printf("\n");
  va_end(arguments);
}

int FailureCount() { return failures; }
