// The plugin's own memory: malloc and free, never an exception. A failed allocation is a
// null that the caller reports, the same with every host and compiler, and whatever the
// plugin allocates it also frees, with its own allocator.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

// Base of the plugin's heap objects: `new` yields null when memory is short, and the
// deleting destructor, which a host may call, frees with the same allocator.
struct HeapAllocated {
  static void* operator new(size_t size) noexcept { return malloc(size); }
  static void operator delete(void* block) noexcept { free(block); }
};

// An owned array of plain values (no constructors run), freed with its owner.
template <class T>
class HeapArray {
  static_assert(__is_trivially_copyable(T), "HeapArray holds plain values only");

 public:
  HeapArray() = default;
  ~HeapArray() { free(data_); }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;

  // Room for `count` values, uninitialised; false, and empty, when the size does not fit
  // the address space or the memory is not there.
  bool Allocate(int64_t count) {
    free(data_);
    data_ = nullptr;
    if (count < 0 || uint64_t(count) > SIZE_MAX / sizeof(T)) return false;
    data_ = static_cast<T*>(malloc(count > 0 ? size_t(count) * sizeof(T) : 1));
    return data_ != nullptr;
  }

  T* get() const { return data_; }
  T& operator[](ptrdiff_t i) const { return data_[i]; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  T* data_ = nullptr;
};
