// A refused call: its message, as every host's function gives it.
#pragma once

#include <stddef.h>

struct Refusal {
  const char* format = nullptr;  // null: accepted; else the message, holding at most one %d
  int number = 0;                // what the %d shows
};

// The message with its number in place of the %d, cut to fit `size` bytes with its end.
// Written without printf, so that it is the same text in every build of every host library.
void WriteRefusal(const Refusal& refusal, char* message, size_t size);

// Why an averaging step wrote nothing (AverageResult), as every host reports it.
constexpr const char* kOutOfMemory = "Korvel: out of memory";
