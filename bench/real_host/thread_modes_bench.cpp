// Frames per second of Korvel on 1920x1080 RGB32 in AviSynth+: on one thread, one instance
// shared by two threads (thread mode 1 under Prefetch(2)), and an instance per thread (mode 2
// under Prefetch(2)). Frames are asked for in order, as an encoder asks for them; each
// figure is the best of three runs, since the machine may be shared. Then one instance under
// Prefetch(8) and Prefetch(96): more threads than any fixed pool of work spaces would hold,
// whose time per frame must not fall off a cliff. An argument names another build of the
// plugin to load instead, to compare; a second, "burst", skips the first table.
#include <avisynth.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int kFrames = 240;

std::string plugin = KORVEL_PLUGIN_PATH;

// Frames 1 to `frames` of the script's clip a second, the best of `runs` runs.
double FramesPerSecond(const std::string& script, int frames, int runs) {
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    IScriptEnvironment* env = CreateScriptEnvironment(AVISYNTH_INTERFACE_VERSION);
    {
      const PClip clip = env->Invoke("Eval", AVSValue(env->SaveString(script.c_str()))).AsClip();
      clip->GetFrame(0, env);
      const auto start = std::chrono::steady_clock::now();
      for (int n = 1; n <= frames; ++n) clip->GetFrame(n, env);
      const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
      if (frames / seconds.count() > best) best = frames / seconds.count();
    }
    env->DeleteScriptEnvironment();
  }
  return best;
}

double FramesPerSecond(const std::string& mode_line, const std::string& call, bool prefetch) {
  const std::string script = mode_line + "\nLoadPlugin(\"\"\"" + plugin + "\"\"\")\n" +
                             "ColorBars(width=1920, height=1080, pixel_type=\"RGB32\")." + call +
                             (prefetch ? ".Prefetch(2)" : "");
  return FramesPerSecond(script, kFrames, 3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) plugin = argv[1];
  const bool burst_only = argc > 2 && std::string(argv[2]) == "burst";
  if (!burst_only) {
    const char* const calls[] = {"Korvel(16, 16, \"focus\")", "Korvel(8, 8, \"rect\")",
                                 "Korvel(8, 3, \"line\")"};
    std::printf(
        "| call | one thread | mode 1, Prefetch(2) | mode 2, Prefetch(2) | mode 1 / one |\n");
    std::printf("| --- | --- | --- | --- | --- |\n");
    for (const char* call : calls) {
      const double one = FramesPerSecond("", call, false);
      const double shared = FramesPerSecond("SetFilterMTMode(\"Korvel\", 1)", call, true);
      const double per_thread = FramesPerSecond("SetFilterMTMode(\"Korvel\", 2)", call, true);
      std::printf("| `%s` | %.0f fps | %.0f fps | %.0f fps | %.2f× |\n", call, one, shared,
                  per_thread, shared / one);
      std::fflush(stdout);
    }
  }

  // A burst of threads on one instance.
  std::printf("\n| call, one instance | Prefetch(8) | Prefetch(96) | ms a frame, 96 / 8 |\n");
  std::printf("| --- | --- | --- | --- |\n");
  const char* burst = "Korvel(160, 90, \"focus\")";
  double fps[2];
  for (int i = 0; i < 2; ++i) {
    const std::string script = "SetFilterMTMode(\"Korvel\", 1)\nLoadPlugin(\"\"\"" + plugin +
                               "\"\"\")\nColorBars(width=1280, height=720, pixel_type=\"RGB32\")." +
                               burst + ".Prefetch(" + (i == 0 ? "8" : "96") + ")";
    fps[i] = FramesPerSecond(script, 100, 1);
  }
  std::printf("| `%s` on 1280x720 RGB32 | %.1f ms | %.1f ms | %.2f |\n", burst, 1000 / fps[0],
              1000 / fps[1], fps[0] / fps[1]);
}
