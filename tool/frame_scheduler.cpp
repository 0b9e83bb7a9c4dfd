#include "frame_scheduler.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct SharedState {
  std::mutex mutex;
  std::condition_variable changed;
  int available = 0;  // frames 0 to available - 1 have been placed in the source
  bool input_ended = false;
  bool stopping = false;
  std::exception_ptr failure;
  std::map<int, PVideoFrame> results;
};

void Work(int instance, const std::vector<PClip>& filters, SourceClip* source,
          IScriptEnvironment* env, SharedState* state) {
  const int instances = int(filters.size());
  for (int n = instance;; n += instances) {
    {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->changed.wait(
          lock, [&] { return state->stopping || n < state->available || state->input_ended; });
      if (state->stopping || n >= state->available) return;
    }
    PVideoFrame result;
    try {
      result = filters[size_t(instance)]->GetFrame(n, env);
    } catch (...) {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (!state->failure) state->failure = std::current_exception();
      state->stopping = true;
      state->changed.notify_all();
      return;
    }
    source->Drop(n);
    std::lock_guard<std::mutex> lock(state->mutex);
    state->results[n] = std::move(result);
    state->changed.notify_all();
  }
}

// Stops and joins the workers on every way out of RunFilters.
class Workers {
 public:
  explicit Workers(SharedState* state) : state_(state) {}
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->stopping = true;
    }
    state_->changed.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  void Start(std::function<void()> work) { threads_.emplace_back(std::move(work)); }

 private:
  SharedState* state_;
  std::vector<std::thread> threads_;
};

}  // namespace

int RunFilters(const std::vector<PClip>& filters, SourceClip* source, IScriptEnvironment* env,
               const ReadSourceFrame& read, const WriteFilteredFrame& write) {
  SharedState state;
  Workers workers(&state);
  for (int instance = 0; instance < int(filters.size()); ++instance)
    workers.Start([&, instance] { Work(instance, filters, source, env, &state); });

  // Two frames per instance in flight keep every instance busy while bounding memory.
  const int window = 2 * int(filters.size());
  int read_count = 0, written = 0;
  for (;;) {
    while (!state.input_ended && read_count < written + window) {
      PVideoFrame frame;
      const bool more = read(read_count, &frame);
      if (more) source->Put(read_count, frame);
      std::lock_guard<std::mutex> lock(state.mutex);
      if (more)
        state.available = ++read_count;
      else
        state.input_ended = true;
      state.changed.notify_all();
    }
    PVideoFrame result;
    {
      std::unique_lock<std::mutex> lock(state.mutex);
      state.changed.wait(lock, [&] {
        return state.failure || state.results.count(written) != 0 ||
               (state.input_ended && written >= state.available);
      });
      if (state.failure) std::rethrow_exception(state.failure);
      if (state.results.count(written) == 0) return written;
      result = std::move(state.results[written]);
      state.results.erase(written);
    }
    write(written, result);
    ++written;
  }
}
