// libFuzzer's target over the command's input side: a whole file of one container (named by
// the first byte) opened, described, planned into a video output, and a few of its frames
// decoded, shaped and blurred, as the command does before anything is written. Any
// ToolError is the command refusing the file; anything else (a crash, a sanitizer's report,
// another exception) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "frame_shaper.h"
#include "plane_filter.h"
#include "stream_plan.h"
#include "tool_error.h"
#include "video_source.h"

namespace {

const char* const kExtensions[] = {"mkv", "mp4", "avi", "y4m", "gif", "ts",  "png",
                                   "webm", "mov", "flv", "nut", "mpg", "ogv", "wav"};

void Blur(const std::string& path) {
  VideoSource source(path, 4);
  Options options;
  options.input = path;
  options.output = "out.mkv";
  options.blur = "rect";
  options.x = options.y = 1;
  const StreamPlan plan = PlanStreams(source.Description(), options);
  FrameShaper shaper(plan);
  PlaneFilter filter(options, plan.frame_format, plan.width, plan.height);
  SourceItem item;
  for (int items = 0; items < 64 && source.Read(&item); ++items)
    if (item.frame) filter.Apply(shaper.Shape(std::move(item.frame)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  WatchLibraryMessages();
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char* extension = kExtensions[data[0] % (sizeof kExtensions / sizeof *kExtensions)];
  const std::string path = "/tmp/korvel-fuzz-" + std::to_string(getpid()) + "." + extension;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  try {
    Blur(path);
  } catch (const ToolError&) {
  } catch (const std::bad_alloc&) {
  }
  std::remove(path.c_str());
  return 0;
}
