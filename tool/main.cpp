// korvel: blurs images, videos and raw frame streams with the Korvel plugin. One run, one
// way through: open the input and describe it, plan the streams, make the filter, open the
// output from the plan, then one read loop handing frames to the workers and the kept
// packets, in order, to the writer.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>

#include "av_support.h"
#include "frame_filter.h"
#include "frame_formats.h"
#include "frame_pipeline.h"
#include "korvel_version.h"
#include "media_files.h"
#include "output_target.h"
#include "script_environment.h"
#include "stream_plan.h"
#include "tool_error.h"

namespace {

// One line on standard error, redrawn in place: frames done, the total when known, frames
// per second and the time left. Short work finishes before the first draw, and then no line
// is drawn at all.
class ProgressLine {
 public:
  // `total` is -1 when unknown. Nothing is drawn when disabled.
  ProgressLine(bool enabled, int64_t total) : enabled_(enabled), total_(total) {}

  void Update(int64_t done) {
    done_ = done;
    const Clock::time_point now = Clock::now();
    if (!enabled_ || now - start_ < std::chrono::milliseconds(500) ||
        (drawn_ && now - last_draw_ < std::chrono::milliseconds(250)))
      return;
    last_draw_ = now;
    Draw();
  }

  // Draws the final count and ends the line, when anything was drawn.
  void Finish() {
    if (!drawn_) return;
    Draw();
    std::fputc('\n', stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Draw() {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? double(done_) / seconds : 0;
    std::fprintf(stderr, "\rkorvel: %lld", (long long)done_);
    if (total_ >= 0) std::fprintf(stderr, "/%lld", (long long)total_);
    std::fputs(" frames", stderr);
    if (seconds > 0) std::fprintf(stderr, ", %.1f fps", rate);
    if (total_ >= done_ && rate > 0) {
      const long long left = (long long)(double(total_ - done_) / rate + 0.5);
      if (left >= 3600)
        std::fprintf(stderr, ", %lld:%02lld:%02lld left", left / 3600, left / 60 % 60, left % 60);
      else
        std::fprintf(stderr, ", %lld:%02lld left", left / 60, left % 60);
    }
    // Trailing blanks wipe what a longer earlier line left behind.
    std::fputs("   ", stderr);
    std::fflush(stderr);
    drawn_ = true;
  }

  bool enabled_;
  int64_t total_;
  Clock::time_point start_ = Clock::now(), last_draw_;
  int64_t done_ = 0;
  bool drawn_ = false;
};

// The frames that will be processed, or -1 when that is known only at the end.
int64_t ExpectedFrames(const Options& options, const VideoDescription& video) {
  if (video.frame_count < 0) return options.frames.value_or(-1);
  return std::min(video.frame_count, options.frames.value_or(video.frame_count));
}

// Workers beyond twice the processors only take memory.
int WorkerCount(const Options& options, int64_t expected) {
  const int processors = int(std::max(1u, std::thread::hardware_concurrency()));
  const int most = 2 * processors;
  int count = options.threads.value_or(processors);
  if (count > most) {
    std::fprintf(stderr, "korvel: --threads %d is more than twice the %d processors; using %d\n",
                 count, processors, most);
    count = most;
  }
  if (expected > 0) count = int(std::min<int64_t>(count, expected));
  return count;
}

std::unique_ptr<FrameFilter> MakeFilter(const StreamPlan& plan, const Options& options,
                                        ScriptEnvironment& env) {
  switch (plan.path) {
    case VideoPath::kPlanes:
      return MakePlaneFilter(options, plan.frame_format, plan.width, plan.height);
    case VideoPath::kPlugin:
      return MakePluginFilter(env, options, plan.frame_format, plan.width, plan.height,
                              plan.input->video.frame_rate);
    case VideoPath::kAsGiven: break;
  }
  return std::make_unique<FramesAsGiven>();
}

void Run(const Options& options, ScriptEnvironment& env) {
  const std::unique_ptr<MediaSource> source = OpenInput(options);
  const InputDescription& input = source->Description();
  const StreamPlan plan = PlanStreams(input, options);
  if (input.video.frame_count == 0) throw ToolError(InputName(options.input) + " holds no frames");
  const std::unique_ptr<FrameFilter> filter = MakeFilter(plan, options, env);
  const int64_t expected = ExpectedFrames(options, input.video);
  const int workers = WorkerCount(options, expected);
  for (const std::string& note : plan.notes) std::fprintf(stderr, "korvel: %s\n", note.c_str());

  // Declared before the sink, so that the sink has let go of the file before an
  // unfinished one is removed.
  OutputTarget target(options.output, options.input);
  const std::unique_ptr<MediaSink> sink = OpenOutput(plan, target);
  FrameShaper shaper(plan);
  ProgressLine progress(!options.quiet && isatty(2), expected);
  int64_t written = 0;
  FramePipeline pipeline(*filter, workers, [&](SourceItem& item) {
    if (!item.frame) return sink->WritePacket(item.stream, item.packet.get());
    sink->WriteFrame(item.frame.get());
    progress.Update(++written);
  });
  int64_t read = 0;
  SourceItem item;
  while ((!options.frames || read < *options.frames) && source->Read(&item)) {
    if (item.frame) {
      item.frame = shaper.Shape(std::move(item.frame));
      ++read;
    } else {
      const StreamFate fate = plan.streams[size_t(item.stream)].fate;
      if (fate != StreamFate::kCopy && fate != StreamFate::kEncode) continue;
    }
    pipeline.Put(std::move(item));
  }
  pipeline.Finish();
  progress.Finish();
  if (written == 0) throw ToolError(InputName(options.input) + " holds no frames");
  sink->Finish();
  target.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  OutputTarget::HandleSignals();
  WatchLibraryMessages();  // the libraries' own messages: errors only
  // Outlives every clip and frame, and the texts of the errors it raises.
  ScriptEnvironment env;
  try {
    const Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help)
      std::fputs(UsageText(), stdout);
    else if (options.version)
      std::printf("korvel %s\n", KORVEL_VERSION);
    else
      Run(options, env);
    return 0;
  } catch (const UsageError& error) {
    std::fprintf(stderr, "korvel: %s\nTry 'korvel --help' for more.\n", error.what());
    return 2;
  } catch (const AvisynthError& error) {
    std::fprintf(stderr, "korvel: %s\n", error.msg);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvel: %s\n", error.what());
  }
  return 1;
}
