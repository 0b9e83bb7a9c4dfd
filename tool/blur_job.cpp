#include "blur_job.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "frame_scheduler.h"
#include "host_frames.h"
#include "media_files.h"
#include "output_file.h"
#include "platform.h"
#include "plugin_location.h"
#include "progress_line.h"
#include "script_environment.h"
#include "source_clip.h"
#include "tool_error.h"

namespace {

VideoInfo ClipDescription(const StreamInfo& info) {
  VideoInfo vi;
  vi.width = info.layout.width;
  vi.height = info.layout.height;
  vi.pixel_type = HostPixelType(info.layout.format);
  vi.fps_numerator = info.rate_numerator;
  vi.fps_denominator = info.rate_denominator;
  // A stream of unknown length is described as long as a clip can be; it ends when the
  // input does.
  vi.num_frames =
      int(info.frame_count >= 0 ? std::min<int64_t>(info.frame_count, INT_MAX) : INT_MAX);
  return vi;
}

// The frames that will be processed, or -1 when that is known only at the end.
int64_t ExpectedFrames(const Options& options, const StreamInfo& info) {
  if (info.frame_count < 0) return options.frames.value_or(-1);
  return std::min(info.frame_count, options.frames.value_or(info.frame_count));
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

void Run(const Options& options, ScriptEnvironment& env) {
  Input input = OpenInput(options);
  FrameReader& reader = *input.reader;
  const FrameLayout layout = reader.Info().layout;
  const int64_t expected = ExpectedFrames(options, reader.Info());

  env.LoadPlugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
  auto* source = new SourceClip(ClipDescription(reader.Info()));
  const PClip source_clip(source);
  int instances = options.threads.value_or(platform::ProcessorCount());
  if (expected > 0) instances = int(std::min<int64_t>(instances, expected));
  const std::vector<PClip> filters = MakeFilters(env, source_clip, options, instances);

  // Declared before the writer, so that the writer has closed the file before an
  // unfinished one is removed.
  std::unique_ptr<OutputFile> file;
  if (options.output != "-") file = std::make_unique<OutputFile>(options.output);
  std::unique_ptr<FrameWriter> writer =
      OpenOutput(options, input, file ? file->TemporaryPath() : "");

  ProgressLine progress(!options.quiet && platform::IsTerminal(stderr), expected);
  Picture in_picture, out_picture;
  const int written = RunFilters(
      filters, source, &env,
      [&](int n, PVideoFrame* frame) {
        if ((options.frames && n >= *options.frames) || !reader.ReadFrame(&in_picture))
          return false;
        *frame = HostFrameFromPicture(env, layout, in_picture);
        return true;
      },
      [&](int n, const PVideoFrame& frame) {
        PictureFromHostFrame(frame, layout, &out_picture);
        writer->WriteFrame(out_picture);
        progress.Update(n + 1);
      });
  progress.Finish();
  if (written == 0) throw ToolError(InputName(options.input) + " holds no frames");
  writer->Finish();
  if (file) file->Commit();
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
