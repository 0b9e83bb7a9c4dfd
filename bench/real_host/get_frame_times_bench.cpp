// Process CPU time per frame of Korvel's GetFrame through AviSynth+, beside OpenCV's box
// filter on one thread and a frame copy timed in the same run: "rect" at 1920x1080 and
// 3840x2160 in RGB24 and RGB32. With the argument `chain`, Korvel alone and followed by a
// filter that reads its frame (Invert), to weigh stores that bypass the cache. Each figure is
// the median of seven rounds, since the machine may be shared; a round asks for kFrames new
// frames in order.
#include <avisynth.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 20;
constexpr int kRounds = 7;

double ProcessSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// Median milliseconds per call of `step` over kRounds rounds of kFrames calls.
template <typename Step>
double MedianMs(Step step) {
  std::vector<double> rounds;
  for (int round = 0; round < kRounds; ++round) {
    const double start = ProcessSeconds();
    for (int n = 0; n < kFrames; ++n) step(round * kFrames + n);
    rounds.push_back((ProcessSeconds() - start) * 1e3 / kFrames);
  }
  std::nth_element(rounds.begin(), rounds.begin() + kRounds / 2, rounds.end());
  return rounds[kRounds / 2];
}

struct Row {
  double korvel_ms, blur_ms, copy_ms;
};

std::string Source(int width, int height, bool rgb32) {
  return "LoadPlugin(\"\"\"" KORVEL_PLUGIN_PATH "\"\"\")\nColorBars(width=" +
         std::to_string(width) + ", height=" + std::to_string(height) + ", pixel_type=\"" +
         (rgb32 ? "RGB32" : "RGB24") + "\")";
}

// Median ms per new frame of the clip the script makes.
double ScriptMs(const std::string& script) {
  IScriptEnvironment* env = CreateScriptEnvironment(AVISYNTH_INTERFACE_VERSION);
  double ms = 0;
  {
    const PClip clip = env->Invoke("Eval", AVSValue(env->SaveString(script.c_str()))).AsClip();
    clip->GetFrame(0, env);
    ms = MedianMs([&](int n) { clip->GetFrame(1 + n, env); });
  }
  env->DeleteScriptEnvironment();
  return ms;
}

void Chain() {
  std::printf("| frame | format | rect 8/8 ms | then Invert ms | Invert alone ms |\n");
  std::printf("| --- | --- | --- | --- | --- |\n");
  for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
    for (bool rgb32 : {false, true}) {
      const std::string source = Source(width, height, rgb32);
      std::printf("| %dx%d | %s | %.2f | %.2f | %.2f |\n", width, height, rgb32 ? "RGB32" : "RGB24",
                  ScriptMs(source + ".Korvel(8, 8, \"rect\")"),
                  ScriptMs(source + ".Korvel(8, 8, \"rect\").Invert()"),
                  ScriptMs(source + ".Invert()"));
      std::fflush(stdout);
    }
}

Row Measure(int width, int height, bool rgb32, int x, int y) {
  const size_t bytes = size_t(width) * height * (rgb32 ? 4 : 3);
  std::vector<unsigned char> from(bytes, 77), to(bytes);
  const double copy_ms = MedianMs([&](int n) {
    from[size_t(n) % bytes] = (unsigned char)n;
    std::memcpy(to.data(), from.data(), bytes);
  });

  cv::setNumThreads(1);
  cv::Mat src(height, width, rgb32 ? CV_8UC4 : CV_8UC3), dst(height, width, src.type());
  cv::randu(src, 0, 256);
  const double blur_ms =
      MedianMs([&](int) { cv::blur(src, dst, cv::Size(2 * x + 1, 2 * y + 1)); });

  const double korvel_ms = ScriptMs(Source(width, height, rgb32) + ".Korvel(" +
                                    std::to_string(x) + ", " + std::to_string(y) + ", \"rect\")");
  return {korvel_ms, blur_ms, copy_ms};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "chain") == 0) {
    Chain();
    return 0;
  }
  std::printf("| rect | frame | format | GetFrame ms | cv::blur ms | copy ms | × faster than "
              "cv::blur | × copy | × 3840x2160 copy |\n");
  std::printf("| --- | --- | --- | --- | --- | --- | --- | --- | --- |\n");
  const int extents[][2] = {{8, 8}, {240, 135}};
  for (const auto& extent : extents)
    for (bool rgb32 : {false, true}) {
      const Row large = Measure(3840, 2160, rgb32, extent[0], extent[1]);
      const Row small = Measure(1920, 1080, rgb32, extent[0], extent[1]);
      for (const auto& [row, size] : {std::pair{small, "1920x1080"}, std::pair{large, "3840x2160"}})
        std::printf("| %d/%d | %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n", extent[0],
                    extent[1], size, rgb32 ? "RGB32" : "RGB24", row.korvel_ms, row.blur_ms,
                    row.copy_ms, row.blur_ms / row.korvel_ms, row.korvel_ms / row.copy_ms,
                    row.korvel_ms / large.copy_ms);
      std::fflush(stdout);
    }
}
