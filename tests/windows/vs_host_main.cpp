// The test host of korvel_vs.dll: loads it as a 64-bit VapourSynth core on Windows does,
// calls its entry, and checks korvel.Blur through the API of vs_test_core: what it
// registers, every creation message of the one table of messages, frames of random formats,
// sizes, shapes and planes against the model plane by plane, the properties and the planes
// left alone passed on, one filter serving three threads, and every node and frame given
// back. Prints every failed check; exits with 1 if there was one.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "arguments.h"
#include "check.h"
#include "extent_messages.h"
#include "instruction_set_of_run.h"
#include "korvel_version.h"
#include "plugin_module.h"
#include "reference_blur.h"
#include "threads.h"
#include "vs_test_core.h"

namespace {

typedef void(VS_CC* Entry)(VSPlugin* plugin, const VSPLUGINAPI* vspapi);

struct Format {
  const char* name;
  int color_family, bits, sample_type, log2_w, log2_h;
};
const Format kFormats[] = {
    {"Gray8", cfGray, 8, stInteger, 0, 0},     {"RGB24", cfRGB, 8, stInteger, 0, 0},
    {"YUV444P8", cfYUV, 8, stInteger, 0, 0},   {"YUV422P8", cfYUV, 8, stInteger, 1, 0},
    {"YUV420P8", cfYUV, 8, stInteger, 1, 1},   {"YUV411P8", cfYUV, 8, stInteger, 2, 0},
    {"YUV440P8", cfYUV, 8, stInteger, 0, 1},   {"YUV410P8", cfYUV, 8, stInteger, 2, 2},
    {"Gray16", cfGray, 16, stInteger, 0, 0},   {"YUV420P10", cfYUV, 10, stInteger, 1, 1},
    {"YUV444P16", cfYUV, 16, stInteger, 0, 0}, {"RGB48", cfRGB, 16, stInteger, 0, 0},
    {"GrayS", cfGray, 32, stFloat, 0, 0},      {"YUV420PS", cfYUV, 32, stFloat, 1, 1},
    {"RGBS", cfRGB, 32, stFloat, 0, 0}};
constexpr int kFormatCount = int(sizeof kFormats / sizeof kFormats[0]);

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

// A call's arguments as the map holds them: x and y where `has_x`/`has_y`, `blur` where not
// null (its first `blur_size` bytes, or up to its zero byte where that is -1), `planes`
// where `plane_count` is not negative.
struct CallArguments {
  bool has_x;
  int64_t x;
  bool has_y;
  int64_t y;
  const char* blur;
  int blur_size;
  int plane_count;
  int64_t planes[3];
};

// korvel.Blur called as a core calls it: the result map, with a clip or an error.
VSMap* CallBlur(VSNode* source, const CallArguments& a) {
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

// One call on a clip of this format and size: the map's error must be `message` (null: a
// clip and no error), and the plugin keeps no reference to a clip it refused.
void CheckCreation(const VSVideoFormat& format, int width, int height, const CallArguments& a,
                   const char* message, const char* context) {
  VSNode* source = NewSourceNode(format, width, height, 1);
  VSMap* out = CallBlur(source, a);
  const char* error = MapError(out);
  const char* expected = message ? message : "a filter";
  CHECK(strcmp(error ? error : "a filter", expected) == 0, "%s: expected \"%s\", got \"%s\"",
        context, expected, error ? error : "a filter");
  CHECK(!error == !!MapNode(out, "clip"), "%s: a clip and an error, or neither", context);
  FreeMap(out);
  ReleaseNode(source);
  CHECK(NodesAlive() == 0, "after %s, %d nodes are still held", context, NodesAlive());
}

// What VapourSynth's function checks beyond every host's shape and extents, as it reaches
// the map: the format first, whatever the other arguments; the extents against the clip's
// size whatever its subsampling; the planes last.
struct VsCase {
  const char* clip;
  VSVideoFormat format;
  int width, height;
  CallArguments arguments;
  const char* message;
};

constexpr const char* kFormatRefused =
    "Korvel: only constant formats of 8 to 16-bit integer or 32-bit float samples are accepted";
constexpr CallArguments kNoArguments = {false, 0, false, 0, nullptr, -1, -1, {}};
constexpr CallArguments Planes(int count, int64_t a, int64_t b = 0, int64_t c = 0) {
  return {false, 0, false, 0, nullptr, -1, count, {a, b, c}};
}

void CheckCreationMessages() {
  const VSVideoFormat gray8 = VideoFormat(cfGray, 8, stInteger, 0, 0);
  const VSVideoFormat yuv420p8 = VideoFormat(cfYUV, 8, stInteger, 1, 1);
  const VsCase cases[] = {
      {"YUV444PH",
       VideoFormat(cfYUV, 16, stFloat, 0, 0),
       640,
       480,
       {true, 999, true, 999, "Blob", -1, 1, {7}},
       kFormatRefused},
      {"variable format", VSVideoFormat{}, 640, 480, kNoArguments, kFormatRefused},
      {"variable size",
       gray8,
       0,
       0,
       {true, 999, true, 999, "Blob", -1, -1, {}},
       "Korvel: only clips of constant size are accepted"},
      {"Gray16", VideoFormat(cfGray, 16, stInteger, 0, 0), 640, 480, kNoArguments, nullptr},
      {"RGBS", VideoFormat(cfRGB, 32, stFloat, 0, 0), 640, 480, kNoArguments, nullptr},
      {"Gray8",
       gray8,
       640,
       480,
       {true, 5, true, 5, "line\0", 5, -1, {}},
       "Korvel: blur can be  line rect or focus only"},
      {"Gray8",
       gray8,
       640,
       480,
       {true, int64_t(1) << 40, true, 0, "line", -1, -1, {}},
       "Korvel:x must be  between plus minus 80"},
      {"YUV411P8 160x800",
       VideoFormat(cfYUV, 8, stInteger, 2, 0),
       160,
       800,
       {true, 21, true, 5, "focus", -1, -1, {}},
       "Korvel:for focus x must be  between 2 20"},
      {"YUV420P8", yuv420p8, 640, 480, Planes(1, 3), "Korvel: planes must be between 0 and 2"},
      {"Gray8", gray8, 640, 480, Planes(1, 1), "Korvel: planes must be between 0 and 0"},
      {"Gray8",
       gray8,
       640,
       480,
       {true, 99, true, 0, "line", -1, 1, {1}},
       "Korvel:x must be  between plus minus 80"},
      {"YUV420P8", yuv420p8, 640, 480, Planes(3, 2, 0, 2), "Korvel: plane 2 is listed twice"},
      {"YUV420P8", yuv420p8, 640, 480, Planes(3, 2, 1, 0), nullptr},
  };
  for (const VsCase& c : cases)
    CheckCreation(c.format, c.width, c.height, c.arguments, c.message, c.clip);
  // The shape and extent checks every host's function makes, on Gray8 clips.
  for (int i = 0; i < kExtentCaseCount; ++i) {
    const ExtentCase& e = kExtentCases[i];
    const CallArguments arguments = {
        e.x != kLeftOut, e.x, e.y != kLeftOut, e.y, e.blur, -1, -1, {}};
    char context[64];
    snprintf(context, sizeof context, "extent case %d, Gray8 %dx%d", i, e.width, e.height);
    CheckCreation(gray8, e.width, e.height, arguments, e.message, context);
  }
}

struct Case {
  const Format* format;
  Arguments arguments;
  int planes;  // bit p: plane p is listed
  char context[160];
};

// The plane the case should make of a source plane (packed samples), into `expected`: the
// model's with the extents divided by the plane's subsampling where the plane is listed,
// else the source's. Floats are compared with the model's exact means.
template <class Sample>
void ComparePlane(const Sample* source, const uint8_t* data, ptrdiff_t stride, int width,
                  int height, int x, int y, bool averaged, const char* blur, const char* where) {
  const size_t count = size_t(width) * size_t(height);
  Sample* expected = static_cast<Sample*>(malloc(count * sizeof(Sample)));
  if (averaged)
    korvel_test::ModelBlur(source, expected, width, height, 1, x, y, blur);
  else
    memcpy(expected, source, count * sizeof(Sample));
  for (int row = 0; row < height; ++row) {
    const Sample* got = reinterpret_cast<const Sample*>(data + row * stride);
    int at = 0;
    while (at < width && got[at] == expected[size_t(row) * size_t(width) + size_t(at)]) ++at;
    if (at == width) continue;
    Fail("%s: row %d sample %d is %d, %s %d", where, row, at, int(got[at]),
         averaged ? "the model says" : "the source has",
         int(expected[size_t(row) * size_t(width) + size_t(at)]));
    break;
  }
  free(expected);
}

void CompareFloatPlane(const float* source, const uint8_t* data, ptrdiff_t stride, int width,
                       int height, int x, int y, bool averaged, const char* blur,
                       const char* where) {
  const size_t count = size_t(width) * size_t(height);
  double* exact = static_cast<double*>(malloc(count * sizeof(double)));
  double largest = 0;
  for (size_t i = 0; i < count; ++i) {
    exact[i] = source[i];
    largest = fabs(source[i]) > largest ? fabs(source[i]) : largest;
  }
  if (averaged) korvel_test::ModelBlur(source, exact, width, height, 1, x, y, blur);
  for (int row = 0; row < height; ++row) {
    const float* got = reinterpret_cast<const float*>(data + row * stride);
    int at = 0;
    while (at < width && korvel_test::FloatMeanAcceptable(
                             got[at], exact[size_t(row) * size_t(width) + size_t(at)], largest))
      ++at;
    if (at == width) continue;
    Fail("%s: row %d sample %d is %.9g, %s %.9g", where, row, at, double(got[at]),
         averaged ? "the model says" : "the source has",
         exact[size_t(row) * size_t(width) + size_t(at)]);
    break;
  }
  free(exact);
}

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
  const int bytes = c.format->bits <= 8 ? 1 : c.format->bits <= 16 ? 2 : 4;
  for (int p = 0; p < (c.format->color_family == cfGray ? 1 : 3); ++p) {
    const int width = api->getFrameWidth(frame, p), height = api->getFrameHeight(frame, p);
    uint8_t* plane = static_cast<uint8_t*>(malloc(size_t(width) * size_t(height) * size_t(bytes)));
    SourcePlane(source, n, p, plane);
    const bool listed = c.planes & (1 << p);
    if (!listed)
      CHECK(PlanesTakenFromFrames(frame) & (1 << p), "%s, frame %d: plane %d not passed on",
            c.context, n, p);
    const int x = c.arguments.x / (1 << (p > 0 ? c.format->log2_w : 0));
    const int y = c.arguments.y / (1 << (p > 0 ? c.format->log2_h : 0));
    // A line of one sample is the plane itself (and has no direction for the model).
    const bool averaged = listed && !(strcmp(c.arguments.blur, "line") == 0 && x == 0 && y == 0);
    char where[200];
    snprintf(where, sizeof where, "%s, frame %d, plane %d", c.context, n, p);
    const uint8_t* data = api->getReadPtr(frame, p);
    const ptrdiff_t stride = api->getStride(frame, p);
    if (c.format->sample_type == stFloat)
      CompareFloatPlane(reinterpret_cast<const float*>(plane), data, stride, width, height, x, y,
                        averaged, c.arguments.blur, where);
    else if (bytes == 2)
      ComparePlane(reinterpret_cast<const uint16_t*>(plane), data, stride, width, height, x, y,
                   averaged, c.arguments.blur, where);
    else
      ComparePlane(plane, data, stride, width, height, x, y, averaged, c.arguments.blur, where);
    free(plane);
  }
  api->freeFrame(frame);
}

CallArguments ArgumentsOf(const Case& c) {
  CallArguments a = {true, c.arguments.x, true, c.arguments.y, c.arguments.blur, -1, 0, {}};
  for (int p = 0; p < 3; ++p)
    if (c.planes & (1 << p)) a.planes[a.plane_count++] = p;
  return a;
}

// A filter for the case, or null; the source's node is the caller's.
VSNode* CreateFilter(VSNode* source, const Case& c) {
  VSMap* out = CallBlur(source, ArgumentsOf(c));
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
    c.format = &kFormats[random.Between(0, kFormatCount - 1)];
    const int width = random.Between(16, 200) & ~((1 << c.format->log2_w) - 1);
    const int height = random.Between(16, 120) & ~((1 << c.format->log2_h) - 1);
    c.arguments = DrawArguments(width, height, random);
    const int plane_mask = c.format->color_family == cfGray ? 1 : 7;
    c.planes = random.Between(0, 2) == 0 ? random.Between(1, 7) & plane_mask : plane_mask;
    if (c.planes == 0) c.planes = 1;
    snprintf(c.context, sizeof c.context, "%s %dx%d, %s x %d y %d, planes %d", c.format->name,
             width, height, c.arguments.blur, c.arguments.x, c.arguments.y, c.planes);
    VSNode* source =
        NewSourceNode(VideoFormat(c.format->color_family, c.format->bits, c.format->sample_type,
                                  c.format->log2_w, c.format->log2_h),
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
