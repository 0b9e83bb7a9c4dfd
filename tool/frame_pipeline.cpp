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

bool FramePipeline::Succeeds(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_) failure_ = std::current_exception();
    stopping_ = true;
    changed_.notify_all();
    return false;
  }
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
  slots_.push_back({std::move(item), !frame});
  if (frame) {
    jobs_.push_back(&slots_.back());
    ++frames_in_flight_;
  }
  changed_.notify_all();
}

void FramePipeline::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || slots_.empty(); });
  if (failure_) std::rethrow_exception(failure_);
}

void FramePipeline::Work() {
  for (;;) {
    Slot* slot = nullptr;
    AvFramePtr frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      slot = jobs_.front();
      jobs_.pop_front();
      frame = std::move(slot->item.frame);
    }
    if (!Succeeds([&] { frame = filter_.Apply(std::move(frame)); })) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    slot->item.frame = std::move(frame);
    slot->ready = true;
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
    if (!Succeeds([&] { write_(item); })) return;
    const bool frame = item.frame != nullptr;
    item = SourceItem{};  // frames are let go before the next is waited for
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.pop_front();
    if (frame) --frames_in_flight_;
    changed_.notify_all();
  }
}
