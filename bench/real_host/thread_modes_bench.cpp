// Frames per second of Korvel on 1920x1080 RGB32 in AviSynth+: on one thread, one instance
// shared by two threads (thread mode 1 under Prefetch(2)), and an instance per thread (mode 2
// under Prefetch(2)). Frames are asked for in order, as an encoder asks for them; each
// figure is the best of three runs, since the machine may be shared.
#include <avisynth.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int kFrames = 240;

double FramesPerSecond(const std::string& mode_line, const std::string& call, bool prefetch) {
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    IScriptEnvironment* env = CreateScriptEnvironment(AVISYNTH_INTERFACE_VERSION);
    const std::string script = mode_line + "\nLoadPlugin(\"\"\"" KORVEL_PLUGIN_PATH "\"\"\")\n" +
                               "ColorBars(width=1920, height=1080, pixel_type=\"RGB32\")." +
                               call + (prefetch ? ".Prefetch(2)" : "");
    {
      const PClip clip = env->Invoke("Eval", AVSValue(env->SaveString(script.c_str()))).AsClip();
      clip->GetFrame(0, env);
      const auto start = std::chrono::steady_clock::now();
      for (int n = 1; n <= kFrames; ++n) clip->GetFrame(n, env);
      const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
      if (kFrames / seconds.count() > best) best = kFrames / seconds.count();
    }
    env->DeleteScriptEnvironment();
  }
  return best;
}

}  // namespace

int main() {
  const char* const calls[] = {"Korvel(16, 16, \"focus\")", "Korvel(8, 8, \"rect\")",
                               "Korvel(8, 3, \"line\")"};
  std::printf("| call | one thread | mode 1, Prefetch(2) | mode 2, Prefetch(2) | mode 1 / one |\n");
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
