#include "threads.h"

#include "check.h"

extern "C" __declspec(dllimport) void* __stdcall CreateThread(void* attributes, size_t stack_size,
                                                              ThreadStart start, void* parameter,
                                                              unsigned long flags,
                                                              unsigned long* thread_id);
extern "C" __declspec(dllimport) unsigned long __stdcall WaitForSingleObject(void* handle,
                                                                             unsigned long ms);
extern "C" __declspec(dllimport) int __stdcall CloseHandle(void* handle);

void RunThreads(ThreadStart start, void* parameters, size_t stride, int count) {
  void* threads[16] = {};
  for (int t = 0; t < count && t < 16; ++t) {
    threads[t] = CreateThread(nullptr, 0, start,
                              static_cast<char*>(parameters) + size_t(t) * stride, 0, nullptr);
    CHECK(threads[t] != nullptr, "thread %d could not be started", t);
  }
  for (void* thread : threads) {
    if (!thread) continue;
    WaitForSingleObject(thread, 0xFFFFFFFF);
    CloseHandle(thread);
  }
}
