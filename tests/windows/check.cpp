#include "check.h"

#include <stdarg.h>
#include <stdio.h>

namespace {
int failures = 0;
}

void Fail(const char* format, ...) {
  __atomic_add_fetch(&failures, 1, __ATOMIC_RELAXED);
  va_list arguments;
  va_start(arguments, format);
  printf("FAILED: ");
  vprintf(format, arguments);
  printf("\n");
  va_end(arguments);
}

int FailureCount() { return failures; }
