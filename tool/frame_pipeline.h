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
#include "media.h"

class FramePipeline {
 public:
  using Writer = std::function<void(SourceItem& item)>;

  // `write` runs on the writer thread, for every item in order.
  FramePipeline(FrameFilter& filter, int workers, Writer write);
  // Stops every thread, dropping what is in flight.
  ~FramePipeline();

  // Waits for room; raises the first failure of a worker or the writer.
  void Put(SourceItem item);
  // Waits until everything put is written; raises the first failure.
  void Finish();

 private:
  struct Slot {
    SourceItem item;
    bool ready = false;  // a packet, or a frame the filter has given back
  };

  void Work();
  void WriteInOrder();
  // Runs `step`; a failure stops the pipeline, and Put or Finish raises it.
  bool Succeeds(const std::function<void()>& step);

  FrameFilter& filter_;
  Writer write_;
  size_t most_frames_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Slot> slots_;  // in the order put; a deque keeps their places as it changes
  std::deque<Slot*> jobs_;  // the frames no worker has taken yet
  size_t frames_in_flight_ = 0;
  bool stopping_ = false;  // a failure, or the end of the pipeline
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
  std::thread writer_;
};
