// korvel.Blur against std.BoxBlur (radius 8) in one VapourSynth core of one thread, on
// 1920x1080 and 3840x2160 frames of planar RGB24, YUV420P8, YUV420P16 and RGBS: milliseconds
// of process CPU time per frame (the median of several runs), how many times faster each call
// is than the box, and how many times a copy of the frame's planes (memcpy, row by row) it
// takes. Run by hand:
//
//   build/release/bench/korvel_vapoursynth_bench [runs] [frames per run] [largest width] [format]
#include <VapourSynth4.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// The process's CPU time in milliseconds: the core runs one thread, and CPU time moves less
// than the clock on a machine that other work shares.
double CpuMs() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Milliseconds per frame over frames distinct frames, so that no frame comes from a cache.
double MsPerFrame(VSNode* node, int frames) {
  const double start = CpuMs();
  for (int n = 0; n < frames; ++n) {
    char error[256];
    const VSFrame* frame = api->getFrame(n, node, error, sizeof(error));
    if (!frame) {
      std::fprintf(stderr, "frame %d: %s\n", n, error);
      std::exit(1);
    }
    api->freeFrame(frame);
  }
  return (CpuMs() - start) / frames;
}

// Milliseconds to copy a frame of the clip's format plane by plane, row by row: the floor any
// filter that writes a new frame stands on. The median of `runs` copies of `frames` frames.
double CopyMsPerFrame(VSCore* core, VSNode* source, int runs, int frames) {
  const VSFrame* frame = api->getFrame(0, source, nullptr, 0);
  const VSVideoFormat* format = api->getVideoFrameFormat(frame);
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const double start = CpuMs();
    for (int n = 0; n < frames; ++n) {
      VSFrame* copy = api->newVideoFrame(format, api->getFrameWidth(frame, 0),
                                         api->getFrameHeight(frame, 0), nullptr, core);
      for (int p = 0; p < format->numPlanes; ++p) {
        const uint8_t* in = api->getReadPtr(frame, p);
        uint8_t* out = api->getWritePtr(copy, p);
        const ptrdiff_t in_stride = api->getStride(frame, p), out_stride = api->getStride(copy, p);
        const size_t row = size_t(api->getFrameWidth(frame, p)) * format->bytesPerSample;
        for (int y = 0; y < api->getFrameHeight(frame, p); ++y)
          std::memcpy(out + y * out_stride, in + y * in_stride, row);
      }
      api->freeFrame(copy);
    }
    times.push_back((CpuMs() - start) / frames);
  }
  api->freeFrame(frame);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
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
  const int largest_width = argc > 3 ? std::atoi(argv[3]) : 3840;
  const std::string only_format = argc > 4 ? argv[4] : "";
  const char* cap = std::getenv("KORVEL_INSTRUCTION_SET");
  std::printf("KORVEL_INSTRUCTION_SET: %s; medians of %d runs of %d frames\n\n",
              cap ? cap : "(unset)", runs, frames);
  std::printf("| call | size | format | ms per frame | × faster than std.BoxBlur | × the copy |\n"
              "|---|---|---|---|---|---|\n");
  const std::pair<int, int> sizes[] = {{1920, 1080}, {3840, 2160}};
  const std::pair<const char*, int> formats[] = {{"RGB24", pfRGB24},
                                                 {"YUV420P8", pfYUV420P8},
                                                 {"YUV420P16", pfYUV420P16},
                                                 {"RGBS", pfRGBS}};
  for (const auto& [width, height] : sizes) {
    if (width > largest_width) continue;
    for (const auto& [format_name, format_id] : formats) {
      if (!only_format.empty() && only_format != format_name) continue;
      VSMap* blank = api->createMap();
      api->mapSetInt(blank, "width", width, maReplace);
      api->mapSetInt(blank, "height", height, maReplace);
      api->mapSetInt(blank, "format", format_id, maReplace);
      api->mapSetInt(blank, "length", 1000000, maReplace);
      api->mapSetInt(blank, "keep", 1, maReplace);
      VSNode* source = Invoke(core, "std", "BlankClip", blank);
      api->freeMap(blank);
      const double copy_ms = CopyMsPerFrame(core, source, runs, frames);
      std::vector<VSNode*> nodes;
      for (const Call& call : calls) {
        VSMap* args = api->createMap();
        api->mapSetNode(args, "clip", source, maReplace);
        call.arguments(args);
        nodes.push_back(Invoke(core, call.plugin_namespace, call.function, args));
        api->freeMap(args);
      }
      // The calls take turns within each run, so that a change in the machine's load falls
      // on all of them alike.
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
        std::printf("| %s | %dx%d | %s | %.2f | %.1f | %.2f |\n", calls[c].name, width, height,
                    format_name, ms, box_ms / ms, ms / copy_ms);
      }
      std::printf("| copy | %dx%d | %s | %.2f | | 1 |\n", width, height, format_name, copy_ms);
      api->freeNode(source);
    }
  }
  api->freeCore(core);
}
