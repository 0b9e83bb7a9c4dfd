// Failed checks are printed when they happen and counted; the count decides the exit status.
#pragma once

void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
int FailureCount();

#define CHECK(condition, ...)            \
  do {                                   \
    if (!(condition)) Fail(__VA_ARGS__); \
  } while (0)
