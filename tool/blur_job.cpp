#include "blur_job.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "frame_pipeline.h"
#include "frame_shaper.h"
#include "media_files.h"
#include "output_target.h"
#include "plane_filter.h"
#include "platform.h"
#include "plugin_filter.h"
#include "progress_line.h"
#include "script_environment.h"
#include "stream_plan.h"
#include "tool_error.h"

namespace {

// The frames that will be processed, or -1 when that is known only at the end.
int64_t ExpectedFrames(const Options& options, const VideoDescription& video) {
  if (video.frame_count < 0) return options.frames.value_or(-1);
  return std::min(video.frame_count, options.frames.value_or(video.frame_count));
}

// Workers beyond twice the processors only take memory.
int WorkerCount(const Options& options, int64_t expected) {
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

std::unique_ptr<FrameFilter> MakeFilter(const StreamPlan& plan, const Options& options,
                                        ScriptEnvironment& env) {
  switch (plan.path) {
    case VideoPath::kPlanes:
      return std::make_unique<PlaneFilter>(options, plan.frame_format, plan.width, plan.height);
    case VideoPath::kPlugin:
      return std::make_unique<PluginFilter>(env, options, plan.frame_format, plan.width,
                                            plan.height, plan.input->video.frame_rate);
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
  const std::unique_ptr<MediaSink> sink = OpenOutput(plan, options, target);
  FrameShaper shaper(plan);
  ProgressLine progress(!options.quiet && platform::IsTerminal(stderr), expected);
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
  const int64_t frames = pipeline.Finish();
  progress.Finish();
  if (frames == 0) throw ToolError(InputName(options.input) + " holds no frames");
  sink->Finish();
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
