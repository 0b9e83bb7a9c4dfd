// GetFrame as a host sees it: the built plugin library loaded, Korvel called by name on a
// one-frame source, and that frame pulled again and again. Each pull is the whole pass:
// new frame, border strips, table fill and averaging.
#include <vector>

#include "memory_clip.h"
#include "per_frame.h"

namespace {

void GetFrame(benchmark::State& state, FrameSize size, PixelFormat format, BlurCase blur_case) {
  ScriptEnvironment env;  // declared first: the plugin's code outlives its clips and frames
  try {
    env.LoadPlugin(KORVEL_PLUGIN_PATH);
    auto* source = new MemoryClip(FrameInfo(size, format));
    const PClip source_clip(source);
    source->SetFrame(0, RandomFrame(env, size, format));

    std::vector<NamedArgument> named = {{"x", blur_case.x}};
    if (!blur_case.IsFocus()) named.push_back({"y", blur_case.y});
    named.push_back({"blur", blur_case.blur});
    const PClip filter = env.Call("Korvel", {source_clip}, named).AsClip();

    for (auto _ : state) {
      const PVideoFrame frame = filter->GetFrame(0, &env);
      benchmark::DoNotOptimize(frame->GetReadPtr());
    }
  } catch (const AvisynthError& error) {
    state.SkipWithError(error.msg);
    return;
  }
  CountFrameBytes(state, size, format);
}

const bool registered = [] {
  for (const FrameSize& size : kSizes)
    for (const PixelFormat& format : kFormats)
      for (const BlurCase& blur_case : kFilterCases)
        PerFrame(benchmark::RegisterBenchmark(RowName("korvel", size, format, blur_case).c_str(),
                                              GetFrame, size, format, blur_case));
  return true;
}();

}  // namespace
