// The host's reference counts: `long` (8 bytes on Linux x86-64, 4 on Windows), changed
// only atomically, since frame and clip references cross the host's threads.
#pragma once

inline long CountUp(volatile long* count) { return __atomic_add_fetch(count, 1, __ATOMIC_SEQ_CST); }
inline long CountDown(volatile long* count) {
  return __atomic_sub_fetch(count, 1, __ATOMIC_SEQ_CST);
}
inline long CountOf(const volatile long* count) { return __atomic_load_n(count, __ATOMIC_SEQ_CST); }
