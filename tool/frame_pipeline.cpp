#include "frame_pipeline.h"

namespace {

// Packets are small, but a stream of them with no frame between must not grow unbounded.
constexpr size_t kMostItems = 4096;

}  // namespace

FramePipeline::FramePipeline(FrameFilter& filter, int workers, Writer write)
    : filter_(filter),
      write_(std::move(write)),
      // Two frames a worker keep each busy while the writer takes one.
      most_frames_(size_t(2 * workers + 1)) {
  writer_ = std::thread([this] { WriteInOrder(); });
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

FramePipeline::~FramePipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  writer_.join();
}

void FramePipeline::Fail(std::exception_ptr failure) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_) failure_ = failure;
  stopping_ = true;
  changed_.notify_all();
}

void FramePipeline::Put(SourceItem item) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool frame = item.frame != nullptr;
  changed_.wait(lock, [&] {
    return stopping_ ||
           (slots_.size() < kMostItems && (!frame || frames_in_flight_ < most_frames_));
  });
  if (failure_) std::rethrow_exception(failure_);
  if (stopping_) return;
  if (frame) {
    jobs_.push_back(first_ + int64_t(slots_.size()));
    ++frames_in_flight_;
  }
  slots_.push_back({std::move(item), !frame});
  changed_.notify_all();
}

int64_t FramePipeline::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] { return stopping_ || slots_.empty(); });
  if (failure_) std::rethrow_exception(failure_);
  return frames_written_;
}

void FramePipeline::Work() {
  for (;;) {
    int64_t number = 0;
    AvFramePtr frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      number = jobs_.front();
      jobs_.pop_front();
      frame = std::move(slots_[size_t(number - first_)].item.frame);
    }
    try {
      frame = filter_.Apply(std::move(frame));
    } catch (...) {
      Fail(std::current_exception());
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    Slot& slot = slots_[size_t(number - first_)];
    slot.item.frame = std::move(frame);
    slot.ready = true;
    changed_.notify_all();
  }
}

void FramePipeline::WriteInOrder() {
  for (;;) {
    SourceItem item;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || (!slots_.empty() && slots_.front().ready); });
      if (stopping_) return;
      item = std::move(slots_.front().item);
      // The slot stays until written, so that Finish waits for it.
      slots_.front().item = SourceItem{};
    }
    try {
      write_(item);
    } catch (...) {
      Fail(std::current_exception());
      return;
    }
    const bool frame = item.frame != nullptr;
    item = SourceItem{};  // frames are let go before the next is waited for
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.pop_front();
    ++first_;
    if (frame) {
      --frames_in_flight_;
      ++frames_written_;
    }
    changed_.notify_all();
  }
}
