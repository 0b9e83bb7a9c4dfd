// korvel.Blur against std.BoxBlur (radius 8) in one VapourSynth core of one thread, on
// 1920x1080 planar RGB24 and YUV420P8: milliseconds per frame (the median of several runs)
// and how many times faster each call is than the box. Run by hand:
//
//   build/release/bench/korvel_vapoursynth_bench [runs] [frames per run]
#include <VapourSynth4.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const VSAPI* api = nullptr;

struct Call {
  const char* name;
  const char* plugin_namespace;
  const char* function;
  void (*arguments)(VSMap*);
};

void Rect8(VSMap* args) {
  api->mapSetInt(args, "x", 8, maReplace);
  api->mapSetInt(args, "y", 8, maReplace);
  api->mapSetData(args, "blur", "rect", -1, dtUtf8, maReplace);
}
void Focus16(VSMap* args) {
  api->mapSetInt(args, "x", 16, maReplace);
  api->mapSetData(args, "blur", "focus", -1, dtUtf8, maReplace);
}
void Line8By3(VSMap* args) {
  api->mapSetInt(args, "x", 8, maReplace);
  api->mapSetInt(args, "y", 3, maReplace);
  api->mapSetData(args, "blur", "line", -1, dtUtf8, maReplace);
}
void Box8(VSMap* args) {
  api->mapSetInt(args, "hradius", 8, maReplace);
  api->mapSetInt(args, "vradius", 8, maReplace);
}

VSNode* Invoke(VSCore* core, const char* plugin_namespace, const char* function, VSMap* args) {
  VSMap* result = api->invoke(api->getPluginByNamespace(plugin_namespace, core), function, args);
  if (const char* error = api->mapGetError(result)) {
    std::fprintf(stderr, "%s.%s: %s\n", plugin_namespace, function, error);
    std::exit(1);
  }
  VSNode* node = api->mapGetNode(result, "clip", 0, nullptr);
  api->freeMap(result);
  return node;
}

// Milliseconds per frame over frames distinct frames, so that no frame comes from a cache.
double MsPerFrame(VSNode* node, int frames) {
  const auto start = std::chrono::steady_clock::now();
  for (int n = 0; n < frames; ++n) {
    char error[256];
    const VSFrame* frame = api->getFrame(n, node, error, sizeof(error));
    if (!frame) {
      std::fprintf(stderr, "frame %d: %s\n", n, error);
      std::exit(1);
    }
    api->freeFrame(frame);
  }
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  return elapsed.count() / frames;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const int frames = argc > 2 ? std::atoi(argv[2]) : 20;
  api = getVapourSynthAPI(VAPOURSYNTH_API_VERSION);
  VSCore* core = api->createCore(ccfDisableAutoLoading);
  api->setThreadCount(1, core);
  VSMap* load = api->createMap();
  api->mapSetData(load, "path", KORVEL_VS_PLUGIN_PATH, -1, dtUtf8, maReplace);
  api->freeMap(api->invoke(api->getPluginByID("com.vapoursynth.std", core), "LoadPlugin", load));
  api->freeMap(load);

  // The box first: the others are compared with it.
  const Call calls[] = {{"std.BoxBlur radius 8", "std", "BoxBlur", Box8},
                        {"korvel.Blur rect 8/8", "korvel", "Blur", Rect8},
                        {"korvel.Blur focus 16", "korvel", "Blur", Focus16},
                        {"korvel.Blur line 8/3", "korvel", "Blur", Line8By3}};
  const char* cap = std::getenv("KORVEL_INSTRUCTION_SET");
  std::printf("KORVEL_INSTRUCTION_SET: %s; medians of %d runs of %d frames\n\n",
              cap ? cap : "(unset)", runs, frames);
  std::printf("| call | format | ms per frame | × faster than std.BoxBlur |\n|---|---|---|---|\n");
  for (const auto& [format_name, format_id] :
       {std::pair{"RGB24", int(pfRGB24)}, std::pair{"YUV420P8", int(pfYUV420P8)}}) {
    VSMap* blank = api->createMap();
    api->mapSetInt(blank, "width", 1920, maReplace);
    api->mapSetInt(blank, "height", 1080, maReplace);
    api->mapSetInt(blank, "format", format_id, maReplace);
    api->mapSetInt(blank, "length", 1000000, maReplace);
    VSNode* source = Invoke(core, "std", "BlankClip", blank);
    api->freeMap(blank);
    std::vector<VSNode*> nodes;
    for (const Call& call : calls) {
      VSMap* args = api->createMap();
      api->mapSetNode(args, "clip", source, maReplace);
      call.arguments(args);
      nodes.push_back(Invoke(core, call.plugin_namespace, call.function, args));
      api->freeMap(args);
    }
    // The calls take turns within each run, so that a change in the machine's load falls on
    // all of them alike.
    std::vector<std::vector<double>> times(nodes.size());
    int first_frame = 0;
    for (int run = 0; run < runs; ++run, first_frame += frames) {
      for (size_t c = 0; c < nodes.size(); ++c) {
        // Frames not asked for before, in this node's cache or any other.
        VSMap* trim_args = api->createMap();
        api->mapSetNode(trim_args, "clip", nodes[c], maReplace);
        api->mapSetInt(trim_args, "first", first_frame, maReplace);
        VSNode* fresh = Invoke(core, "std", "Trim", trim_args);
        api->freeMap(trim_args);
        times[c].push_back(MsPerFrame(fresh, frames));
        api->freeNode(fresh);
      }
    }
    double box_ms = 0;
    for (size_t c = 0; c < nodes.size(); ++c) {
      api->freeNode(nodes[c]);
      std::sort(times[c].begin(), times[c].end());
      const double ms = times[c][times[c].size() / 2];
      if (c == 0) box_ms = ms;
      std::printf("| %s | %s | %.2f | %.1f |\n", calls[c].name, format_name, ms, box_ms / ms);
    }
    api->freeNode(source);
  }
  api->freeCore(core);
}
