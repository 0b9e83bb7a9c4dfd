// The frames' way from the read loop to the output: each frame is blurred by one of a pool
// of worker threads sharing one filter, and one writer thread gives frames and packets to
// the output strictly in the order they were put, so the output does not depend on the
// number of workers. Frames in flight are bounded, which bounds memory.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "frame_filter.h"
#include "media_source.h"

class FramePipeline {
 public:
  using Writer = std::function<void(SourceItem& item)>;

  // `write` runs on the writer thread, for every item in order.
  FramePipeline(FrameFilter& filter, int workers, Writer write);
  // Stops every thread, dropping what is in flight.
  ~FramePipeline();
  FramePipeline(const FramePipeline&) = delete;
  FramePipeline& operator=(const FramePipeline&) = delete;

  // Waits for room; raises the first failure of a worker or the writer.
  void Put(SourceItem item);
  // Waits until everything put is written; raises the first failure. Returns the frames
  // written.
  int64_t Finish();

 private:
  struct Slot {
    SourceItem item;
    bool ready = false;  // a packet, or a frame the filter has given back
  };

  void Work();
  void WriteInOrder();
  void Fail(std::exception_ptr failure);

  FrameFilter& filter_;
  Writer write_;
  size_t most_frames_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Slot> slots_;   // slot i holds item first_ + i
  int64_t first_ = 0;        // the number of the oldest item not yet written
  std::deque<int64_t> jobs_;  // numbers of the frames no worker has taken yet
  size_t frames_in_flight_ = 0;
  int64_t frames_written_ = 0;
  bool ended_ = false;     // no more items will be put
  bool stopping_ = false;  // a failure, or the end of the pipeline
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
  std::thread writer_;
};
