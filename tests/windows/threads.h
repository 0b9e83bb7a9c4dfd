// Threads of the test hosts, on the system's own calls (no C++ standard library here).
#pragma once

#include <stddef.h>

typedef unsigned long(__stdcall* ThreadStart)(void* parameter);

// Runs `start` on `count` threads at once, thread t with the parameter at `parameters` +
// t · `stride` bytes, and waits for all of them; a thread that cannot start is a failure.
void RunThreads(ThreadStart start, void* parameters, size_t stride, int count);
