// The test host of korvel_vs.dll: loads it as a 64-bit VapourSynth core on Windows does,
// calls its entry, and checks korvel.Blur through the API of vs_test_core: what it
// registers, every creation message of the one table of messages, frames of random formats,
// sizes, shapes and planes against the model plane by plane, the properties and the planes
// left alone passed on, one filter serving three threads, and every node and frame given
// back. Prints every failed check; exits with 1 if there was one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "arguments.h"
#include "blur_model.h"
#include "check.h"
#include "instruction_set_of_run.h"
#include "korvel_version.h"
#include "plugin_module.h"
#include "threads.h"
#include "vs_message_cases.h"
#include "vs_test_core.h"

namespace {

typedef void(VS_CC* Entry)(VSPlugin* plugin, const VSPLUGINAPI* vspapi);

struct Format {
  const char* name;
  int color_family, log2_w, log2_h;
};
const Format kFormats[] = {{"Gray8", cfGray, 0, 0},   {"RGB24", cfRGB, 0, 0},
                           {"YUV444P8", cfYUV, 0, 0}, {"YUV422P8", cfYUV, 1, 0},
                           {"YUV420P8", cfYUV, 1, 1}, {"YUV411P8", cfYUV, 2, 0},
                           {"YUV440P8", cfYUV, 0, 1}, {"YUV410P8", cfYUV, 2, 2}};

VSVideoFormat VideoFormat(int color_family, int bits, int sample_type, int log2_w, int log2_h) {
  VSVideoFormat format = {};
  if (color_family == cfUndefined) return format;
  format.colorFamily = color_family;
  format.sampleType = sample_type;
  format.bitsPerSample = bits;
  format.bytesPerSample = bits <= 8 ? 1 : bits <= 16 ? 2 : 4;
  format.subSamplingW = log2_w;
  format.subSamplingH = log2_h;
  format.numPlanes = color_family == cfGray ? 1 : 3;
  return format;
}

// korvel.Blur called as a core calls it: the result map, with a clip or an error.
VSMap* CallBlur(VSNode* source, const korvel_test::VsArguments& a) {
  VSMap* in = NewMap();
  VSMap* out = NewMap();
  MapSetNode(in, "clip", source);
  if (a.has_x) MapAppendInt(in, "x", a.x);
  if (a.has_y) MapAppendInt(in, "y", a.y);
  if (a.blur) MapSetData(in, "blur", a.blur, a.blur_size < 0 ? int(strlen(a.blur)) : a.blur_size);
  for (int p = 0; p < a.plane_count; ++p) MapAppendInt(in, "planes", a.planes[p]);
  Registered().create(in, out, Registered().function_data, nullptr, TestApi());
  FreeMap(in);
  return out;
}

void CheckRegistration() {
  const Registration& r = Registered();
  CHECK(r.identifier && strcmp(r.identifier, "org.korvel.blur") == 0 && r.plugin_namespace &&
            strcmp(r.plugin_namespace, "korvel") == 0,
        "the entry configured %s, namespace %s", r.identifier, r.plugin_namespace);
  // R65's API version, so that every core since loads it.
  CHECK(r.api_version == VS_MAKE_VERSION(4, 0), "the plugin declares API %d.%d, not 4.0",
        r.api_version >> 16, r.api_version & 0xFFFF);
  CHECK(r.plugin_version == VS_MAKE_VERSION(KORVEL_VERSION_MAJOR, KORVEL_VERSION_MINOR),
        "the plugin's version is %x, not the project's", r.plugin_version);
  CHECK(r.functions == 1 && strcmp(r.function_name, "Blur") == 0 &&
            strcmp(r.arguments, "clip:vnode;x:int:opt;y:int:opt;blur:data:opt;planes:int[]:opt;") ==
                0 &&
            strcmp(r.return_type, "clip:vnode;") == 0,
        "the entry registered %d functions, the last %s(%s)", r.functions, r.function_name,
        r.arguments);
}

// Each refusal comes back as the map's error; the plugin keeps no reference to the clip.
void CheckCreationMessages() {
  for (const korvel_test::VsMessageCase& c : korvel_test::kVsMessageCases) {
    const korvel_test::VsClip& clip = c.clip;
    VSNode* source = NewSourceNode(
        VideoFormat(clip.color_family, clip.bits, clip.sample_type, clip.log2_w, clip.log2_h),
        clip.width, clip.height, 1);
    VSMap* out = CallBlur(source, c.arguments);
    const char* error = MapError(out);
    CHECK(strcmp(error ? error : korvel_test::kVsAccepted, c.message) == 0,
          "%s: expected \"%s\", got \"%s\"", clip.name, c.message, error ? error : "a filter");
    CHECK(!error == !!MapNode(out, "clip"), "%s: a clip and an error, or neither", clip.name);
    FreeMap(out);
    ReleaseNode(source);
    CHECK(NodesAlive() == 0, "after \"%s\" on %s, %d nodes are still held", c.message, clip.name,
          NodesAlive());
  }
}

struct Case {
  const Format* format;
  Arguments arguments;
  int planes;  // bit p: plane p is listed
  char context[160];
};

// Frame n of the filter, each plane against the model of the source's plane with the
// extents divided by the plane's subsampling, or against the source where not listed.
void CheckFrame(VSNode* filter, const VSNode* source, int n, const Case& c) {
  const char* error = nullptr;
  const VSFrame* frame = FilterFrame(filter, n, &error);
  if (!frame) {
    Fail("%s, frame %d: %s", c.context, n, error ? error : "no frame");
    return;
  }
  CHECK(PropertiesFromFrame(frame) == n, "%s, frame %d: the properties of frame %d", c.context, n,
        PropertiesFromFrame(frame));
  const VSAPI* api = TestApi();
  for (int p = 0; p < (c.format->color_family == cfGray ? 1 : 3); ++p) {
    const int width = api->getFrameWidth(frame, p), height = api->getFrameHeight(frame, p);
    const size_t size = size_t(width) * size_t(height);
    uint8_t* plane = static_cast<uint8_t*>(malloc(size));
    uint8_t* expected = static_cast<uint8_t*>(malloc(size));
    SourcePlane(source, n, p, plane);
    const bool listed = c.planes & (1 << p);
    const int x = c.arguments.x / (1 << (p > 0 ? c.format->log2_w : 0));
    const int y = c.arguments.y / (1 << (p > 0 ? c.format->log2_h : 0));
    // A line of one sample is the plane itself (and has no direction for the model).
    if (listed && !(strcmp(c.arguments.blur, "line") == 0 && x == 0 && y == 0)) {
      ModelBlur(plane, expected, width, height, 1, x, y, c.arguments.blur);
    } else if (listed) {
      memcpy(expected, plane, size);
    } else {
      memcpy(expected, plane, size);
      CHECK(PlanesTakenFromFrames(frame) & (1 << p), "%s, frame %d: plane %d not passed on",
            c.context, n, p);
    }
    const uint8_t* data = api->getReadPtr(frame, p);
    const ptrdiff_t stride = api->getStride(frame, p);
    for (int row = 0; row < height; ++row) {
      const uint8_t* want = expected + row * width;
      if (memcmp(data + row * stride, want, size_t(width)) == 0) continue;
      int at = 0;
      while (data[row * stride + at] == want[at]) ++at;
      Fail("%s, frame %d, plane %d: row %d byte %d is %d, %s %d", c.context, n, p, row, at,
           data[row * stride + at], listed ? "the model says" : "the source has", want[at]);
      break;
    }
    free(plane);
    free(expected);
  }
  api->freeFrame(frame);
}

korvel_test::VsArguments CallArguments(const Case& c) {
  korvel_test::VsArguments a = {true, c.arguments.x, true, c.arguments.y, c.arguments.blur, -1, 0,
                                {}};
  for (int p = 0; p < 3; ++p)
    if (c.planes & (1 << p)) a.planes[a.plane_count++] = p;
  return a;
}

// A filter for the case, or null; the source's node is the caller's.
VSNode* CreateFilter(VSNode* source, const Case& c) {
  VSMap* out = CallBlur(source, CallArguments(c));
  VSNode* filter = TestApi()->mapGetNode(out, "clip", 0, nullptr);
  if (const char* error = MapError(out)) Fail("%s: refused with \"%s\"", c.context, error);
  FreeMap(out);
  if (!filter) return nullptr;
  const FilterFacts facts = FactsOf(filter);
  CHECK(facts.mode == fmParallel && facts.dependency_count == 1 && facts.dependency == source &&
            facts.request_pattern == rpStrictSpatial,
        "%s: a filter of mode %d on %d sources, pattern %d", c.context, facts.mode,
        facts.dependency_count, facts.request_pattern);
  return filter;
}

void CheckRandomFrames(uint64_t seed, int cases) {
  Random random(seed);
  for (int i = 0; i < cases; ++i) {
    Case c;
    c.format = &kFormats[random.Between(0, 7)];
    const int width = random.Between(16, 200) & ~((1 << c.format->log2_w) - 1);
    const int height = random.Between(16, 120) & ~((1 << c.format->log2_h) - 1);
    c.arguments = DrawArguments(width, height, random);
    const int plane_mask = c.format->color_family == cfGray ? 1 : 7;
    c.planes = random.Between(0, 2) == 0 ? random.Between(1, 7) & plane_mask : plane_mask;
    if (c.planes == 0) c.planes = 1;
    snprintf(c.context, sizeof c.context, "%s %dx%d, %s x %d y %d, planes %d", c.format->name,
             width, height, c.arguments.blur, c.arguments.x, c.arguments.y, c.planes);
    VSNode* source = NewSourceNode(
        VideoFormat(c.format->color_family, 8, stInteger, c.format->log2_w, c.format->log2_h),
        width, height, random.Next());
    if (VSNode* filter = CreateFilter(source, c)) {
      const int frames[] = {0, 1, 2 + random.Between(0, 500)};
      for (int n : frames) CheckFrame(filter, source, n, c);
      ReleaseNode(filter);
    }
    ReleaseNode(source);
    CHECK(NodesAlive() == 0 && FramesAlive() == 0, "%s: %d nodes and %d frames still held",
          c.context, NodesAlive(), FramesAlive());
  }
}

// One filter serving three threads at once, as a core runs an fmParallel filter, for each
// shape on YUV420P8.
struct SharedCall {
  VSNode* filter;
  const VSNode* source;
  const Case* c;
  int first_frame;
};

unsigned long __stdcall FramesOfOneThread(void* parameter) {
  const SharedCall& call = *static_cast<const SharedCall*>(parameter);
  for (int n = call.first_frame; n < call.first_frame + 4; ++n)
    CheckFrame(call.filter, call.source, n * 7, *call.c);
  return 0;
}

void CheckSharedInstance() {
  // The last is one sample on the chroma planes, which come out as they went in.
  const Arguments shapes[] = {{12, 0, "focus"}, {9, 4, "line"}, {6, 5, "rect"}, {1, -1, "line"}};
  for (const Arguments& arguments : shapes) {
    Case c = {&kFormats[4], arguments, 7, {}};
    snprintf(c.context, sizeof c.context, "YUV420P8 200x120, %s on three threads", arguments.blur);
    VSNode* source = NewSourceNode(VideoFormat(cfYUV, 8, stInteger, 1, 1), 200, 120, 5);
    VSNode* filter = CreateFilter(source, c);
    if (filter) {
      SharedCall calls[3];
      for (int t = 0; t < 3; ++t) calls[t] = {filter, source, &c, 4 * t};
      RunThreads(FramesOfOneThread, calls, sizeof calls[0], 3);
      ReleaseNode(filter);
    }
    ReleaseNode(source);
  }
}

}  // namespace

extern "C" int mainCRTStartup() {
  const char* seed_text = getenv("KORVEL_SEED");
  const uint64_t seed = seed_text ? strtoull(seed_text, nullptr, 10) : 20261208;
  printf("korvel_vs.dll in a test host (x64), seed %llu, instruction set %s\n",
         (unsigned long long)seed, korvel_test::InstructionSetOfRun());
  CHECK(korvel_test::CapIsAvailable(),
        KORVEL_INSTRUCTION_SET_VARIABLE " names a set this processor lacks");

  const Entry entry =
      reinterpret_cast<Entry>(LoadCheckedPlugin("korvel_vs.dll", "VapourSynthPluginInit2"));
  if (!entry) {
    Fail("korvel_vs.dll cannot be loaded, or has no VapourSynthPluginInit2");
    exit(1);
  }
  // The plugin hands this back to the API's functions only, which need none here.
  static char plugin_handle;
  entry(reinterpret_cast<VSPlugin*>(&plugin_handle), TestPluginApi());
  CheckRegistration();
  if (!Registered().create) exit(1);

  CheckCreationMessages();
  CheckRandomFrames(seed, 150);
  CheckSharedInstance();
  CHECK(NodesAlive() == 0 && FramesAlive() == 0, "%d nodes and %d frames still held at the end",
        NodesAlive(), FramesAlive());

  printf("%s: %d failed checks\n", FailureCount() ? "FAILED" : "passed", FailureCount());
  fflush(stdout);
  exit(FailureCount() ? 1 : 0);
}
