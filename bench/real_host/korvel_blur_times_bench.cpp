// Milliseconds per frame of KorvelBlur's GetFrame through AviSynth+ on one thread, on
// 1920x1080 YV12 and YUV420P16, beside Korvel on the RGB32 of the same clip with the
// conversions a user of Korvel needs (ConvertToRGB32() ... ConvertToYV12()), and beside
// those conversions alone. The source is one frame, looped and cached, so that its making is
// not timed. Each figure is the median of seven rounds of 30 frames; process CPU time.
#include <avisynth.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

double ProcessSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

double MedianMsPerFrame(IScriptEnvironment* env, const std::string& script) {
  constexpr int kFrames = 30, kRounds = 7;
  const PClip clip = env->Invoke("Eval", AVSValue(env->SaveString(script.c_str()))).AsClip();
  clip->GetFrame(0, env);
  std::vector<double> rounds;
  for (int round = 0; round < kRounds; ++round) {
    const double start = ProcessSeconds();
    for (int n = 1; n <= kFrames; ++n) clip->GetFrame(round * kFrames + n, env);
    rounds.push_back((ProcessSeconds() - start) * 1e3 / kFrames);
  }
  std::nth_element(rounds.begin(), rounds.begin() + kRounds / 2, rounds.end());
  return rounds[kRounds / 2];
}

}  // namespace

int main() {
  IScriptEnvironment* env = CreateScriptEnvironment(AVISYNTH_INTERFACE_VERSION);
  env->Invoke("Eval", AVSValue("LoadPlugin(\"" KORVELBLUR_PLUGIN_PATH "\")"));
  env->Invoke("Eval", AVSValue("LoadPlugin(\"" KORVEL_PLUGIN_PATH "\")"));
  const std::string picture =
      "BlankClip(length=1, width=1920, height=1080, pixel_type=\"YV12\")"
      ".Expr(\"sx sx * 5 * sy sy * 3 * + sx sy * 7 * + 256 %\", "
      "\"sx 17 * sy 3 * + 256 %\", \"sx 5 * sy 19 * + 256 %\")";
  std::printf("| call | YV12 | YUV420P16 | RGB32 with conversions | conversions alone |\n");
  std::printf("| --- | --- | --- | --- | --- |\n");
  for (const char* call : {"(8, 8, \"rect\")", "(8, 3, \"line\")", "(16, 16, \"focus\")"}) {
    const std::string yv12 = picture + ".Loop(1000)";
    const std::string deep = picture + ".ConvertBits(16).Loop(1000)";
    std::printf(
        "| %s | %.2f ms | %.2f ms | %.2f ms | %.2f ms |\n", call,
        MedianMsPerFrame(env, yv12 + ".KorvelBlur" + call),
        MedianMsPerFrame(env, deep + ".KorvelBlur" + call),
        MedianMsPerFrame(env, yv12 + ".ConvertToRGB32().Korvel" + call + ".ConvertToYV12()"),
        MedianMsPerFrame(env, yv12 + ".ConvertToRGB32().ConvertToYV12()"));
  }
  env->DeleteScriptEnvironment();
}
