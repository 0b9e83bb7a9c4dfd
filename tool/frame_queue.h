// A queue of a few items between two threads. Either side can stop the other: the giver
// ends it (with an error for the taker to raise), the taker closes it (with an error for
// the giver to raise).
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

template <typename T>
class FrameQueue {
 public:
  explicit FrameQueue(size_t capacity) : capacity_(capacity) {}

  // Waits for room; false when the taker has closed the queue without an error.
  bool Push(T item) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
    if (closed_) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    items_.push_back(std::move(item));
    changed_.notify_all();
    return true;
  }

  // Waits for an item; false at the end, or when closed.
  bool Pop(T* item) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || ended_ || !items_.empty(); });
    if (ended_ && error_) std::rethrow_exception(error_);
    if (closed_ || items_.empty()) return false;
    *item = std::move(items_.front());
    items_.pop_front();
    changed_.notify_all();
    return true;
  }

  // No more items; with an error, Pop raises it at once.
  void End(std::exception_ptr error = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    if (error && !error_) error_ = error;
    changed_.notify_all();
  }

  // Raises the error either side stopped with, if any.
  void RaiseError() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error_) std::rethrow_exception(error_);
  }

  // No more items are taken; with an error, Push raises it.
  void Close(std::exception_ptr error = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    if (error && !error_) error_ = error;
    items_.clear();
    changed_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<T> items_;
  std::exception_ptr error_;
  bool ended_ = false;
  bool closed_ = false;
};
