#include "blur_job.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <deque>
#include <memory>
#include <thread>

#include "frame_queue.h"
#include "frame_scheduler.h"
#include "media_files.h"
#include "output_target.h"
#include "platform.h"
#include "progress_line.h"
#include "script_environment.h"
#include "source_clip.h"
#include "tool_error.h"
#include "video_sink.h"
#include "video_source.h"

namespace {

// Frames waiting between decoding and the filters, and between the filters and encoding:
// enough to ride out an uneven frame, few enough to bound memory.
constexpr size_t kQueuedFrames = 4;

std::string DefaultPluginPath() {
  const std::string folder = platform::ExecutableDirectory();
  return folder.empty() ? KORVEL_PLUGIN_FILE_NAME : folder + "/" + KORVEL_PLUGIN_FILE_NAME;
}

VideoInfo ClipDescription(const StreamInfo& info, bool exact_count) {
  VideoInfo vi;
  vi.width = info.layout.width;
  vi.height = info.layout.height;
  vi.pixel_type = HostPixelType(info.layout.format);
  vi.fps_numerator = info.rate_numerator;
  vi.fps_denominator = info.rate_denominator;
  // A stream of unknown length (or a video, whose declared count may be short) is
  // described as long as a clip can be; it ends when the input does.
  vi.num_frames =
      int(exact_count && info.frame_count >= 0 ? std::min<int64_t>(info.frame_count, INT_MAX)
                                               : INT_MAX);
  return vi;
}

// The frames that will be processed, or -1 when that is known only at the end.
int64_t ExpectedFrames(const Options& options, const StreamInfo& info) {
  if (info.frame_count < 0) return options.frames.value_or(-1);
  return std::min(info.frame_count, options.frames.value_or(info.frame_count));
}

// Filters beyond twice the processors only take memory.
int FilterCount(const Options& options, int64_t expected) {
  const int most = 2 * platform::ProcessorCount();
  int count = options.threads.value_or(platform::ProcessorCount());
  if (count > most) {
    std::fprintf(stderr, "korvel: --threads %d is more than twice the %d processors; using %d\n",
                 count, platform::ProcessorCount(), most);
    count = most;
  }
  if (expected > 0) count = int(std::min<int64_t>(count, expected));
  return count;
}

std::vector<PClip> MakeFilters(ScriptEnvironment& env, const PClip& source, const Options& options,
                               int count) {
  std::vector<NamedArgument> named;
  if (options.x) named.push_back({"x", *options.x});
  if (options.y) named.push_back({"y", *options.y});
  if (options.blur) named.push_back({"blur", options.blur->c_str()});
  std::vector<PClip> filters;
  for (int i = 0; i < count; ++i) filters.push_back(env.Call("Korvel", {source}, named).AsClip());
  if (!filters.front()) throw ToolError("Korvel gave no clip");
  return filters;
}

struct TimedFrame {
  PVideoFrame frame;
  int64_t time = 0;
};

// Decoding and encoding run on threads of their own, beside the filters; on any way out
// both are stopped and joined.
class Pipeline {
 public:
  Pipeline() = default;
  ~Pipeline() {
    decoded.Close();
    filtered.Close();
    if (reader.joinable()) reader.join();
    if (writer.joinable()) writer.join();
  }
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  FrameQueue<TimedFrame> decoded{kQueuedFrames};
  FrameQueue<TimedFrame> filtered{kQueuedFrames};
  std::thread reader;
  std::thread writer;
};

void Run(const Options& options, ScriptEnvironment& env) {
  Input input = OpenInput(options);
  FrameSource& source = *input.source;
  const int64_t expected = ExpectedFrames(options, source.Info());

  env.LoadPlugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
  auto* clip = new SourceClip(ClipDescription(source.Info(), !input.video));
  const PClip source_clip(clip);
  const std::vector<PClip> filters =
      MakeFilters(env, source_clip, options, FilterCount(options, expected));

  // Declared before the sink, so that the sink has let go of the file before an
  // unfinished one is removed.
  OutputTarget target(options.output, options.input);
  Output output = OpenOutput(options, input, target);
  FrameSink& sink = *output.sink;
  if (input.video && output.video) {
    VideoSink* video = output.video;
    input.video->ForwardPackets(video->TakenStreams(),
                                [video](AVPacket* packet) { video->TakePacket(packet); });
  }

  ProgressLine progress(!options.quiet && platform::IsTerminal(stderr), expected);
  Pipeline pipeline;
  pipeline.reader = std::thread([&] {
    try {
      for (int64_t n = 0; !options.frames || n < *options.frames; ++n) {
        TimedFrame item;
        if (!source.ReadFrame(env, &item.frame, &item.time)) break;
        if (!pipeline.decoded.Push(std::move(item))) return;
      }
      pipeline.decoded.End();
    } catch (...) {
      pipeline.decoded.End(std::current_exception());
    }
  });
  pipeline.writer = std::thread([&] {
    try {
      TimedFrame item;
      int64_t done = 0;
      while (pipeline.filtered.Pop(&item)) {
        sink.WriteFrame(item.frame, item.time);
        item.frame = nullptr;
        progress.Update(++done);
      }
    } catch (...) {
      pipeline.filtered.Close(std::current_exception());
    }
  });

  std::deque<int64_t> times;  // of the frames handed to the filters, in order
  const int written = RunFilters(
      filters, clip, &env,
      [&](int, PVideoFrame* frame) {
        TimedFrame item;
        if (!pipeline.decoded.Pop(&item)) return false;
        *frame = std::move(item.frame);
        times.push_back(item.time);
        return true;
      },
      [&](int, const PVideoFrame& frame) {
        const int64_t time = times.front();
        times.pop_front();
        if (!pipeline.filtered.Push({frame, time})) throw ToolError("the output stopped");
      });
  pipeline.filtered.End();
  pipeline.writer.join();
  pipeline.filtered.RaiseError();
  progress.Finish();
  if (written == 0) throw ToolError(InputName(options.input) + " holds no frames");
  sink.Finish();
  target.Commit();
}

}  // namespace

void RunBlurJob(const Options& options) {
  // Outlives every clip and frame, and the texts of the errors it raises.
  ScriptEnvironment env;
  try {
    Run(options, env);
  } catch (const AvisynthError& error) {
    throw ToolError(error.msg);
  }
}
