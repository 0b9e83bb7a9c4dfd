// The test host: loads korvel.dll as a host built by MSVC does and checks it through its
// entry and the interface alone. Prints every failed check; exits with 1 if there was one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "extent_messages.h"
#include "instruction_set_of_run.h"
#include "plugin_calls.h"
#include "plugin_module.h"
#include "random.h"
#include "threads.h"

namespace {

#if defined(_WIN64)
const char kEntryName[] = "AvisynthPluginInit2";
#else
const char kEntryName[] = "_AvisynthPluginInit2@4";  // stdcall, 4 bytes of arguments
#endif
typedef const char*(__stdcall* Entry)(IScriptEnvironment* env);

VideoInfo Clip(int pixel_type, int width, int height) {
  VideoInfo vi = {};
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = 1000;
  vi.pixel_type = pixel_type;
  return vi;
}

Entry LoadPlugin() { return reinterpret_cast<Entry>(LoadCheckedPlugin("korvel.dll", kEntryName)); }

struct MessageCase {
  int pixel_type, width, height;
  Arguments arguments;
  const char* message;
};

// The format checks, which come first, on 80x64 clips.
const MessageCase kFormatCases[] = {
    {kPixelYuy2, 80, 64, {2, 2, "rect"}, "Korvel: RGB32, RGB24 formats only are accepted"},
    {kPixelYv12, 80, 64, {2, 2, "nothing"}, "Korvel: RGB32, RGB24 formats only are accepted"},
    {kPixelI420, 80, 64, {}, "Korvel: RGB32, RGB24 formats only are accepted"},
};

// Each refusal is thrown by the host, passes through the plugin and is caught here; the
// plugin must keep no reference to the clip it refused. Accepted calls give a filter.
void CheckCreation(TestEnvironment* env, const MessageCase& c) {
  int deletions = 0;
  PClip source(new SourceClip(env, Clip(c.pixel_type, c.width, c.height), 1, &deletions));
  Creation creation = Create(env, source.get(), c.arguments);
  const char* expected = c.message ? c.message : "a filter";
  const char* actual = creation.error ? creation.error : "a filter";
  CHECK(strcmp(actual, expected) == 0, "%dx%d: expected \"%s\", got \"%s\"", c.width, c.height,
        expected, actual);
  creation.filter.Release();
  CHECK(source->refcount == 1, "after \"%s\" the source clip has %ld references, not 1", expected,
        source->refcount);
}

// Every message creation has: the formats, then the shape and extent checks every host's
// function makes, on RGB24 clips.
void CheckCreationMessages(TestEnvironment* env) {
  for (const MessageCase& c : kFormatCases) CheckCreation(env, c);
  for (int i = 0; i < kExtentCaseCount; ++i) {
    const ExtentCase& e = kExtentCases[i];
    Arguments arguments;
    if (e.x != kLeftOut) arguments.x = e.x;
    if (e.y != kLeftOut) arguments.y = e.y;
    arguments.blur = e.blur;
    CheckCreation(env, {kPixelRgb24, e.width, e.height, arguments, e.message});
  }
}

// Random sizes, formats and shapes, each frame against the model; then the filter is
// deleted by the host, through the scalar deleting destructor.
void CheckRandomFrames(TestEnvironment* env, uint64_t seed, int cases) {
  Random random(seed);
  for (int i = 0; i < cases; ++i) {
    const int width = random.Between(16, 200), height = random.Between(16, 120);
    const int pixel_type = random.Between(0, 1) ? kPixelRgb32 : kPixelRgb24;
    const Arguments arguments = DrawArguments(width, height, random);
    char context[160];
    snprintf(context, sizeof context, "%s %dx%d, %s x %d y %d",
             pixel_type == kPixelRgb24 ? "RGB24" : "RGB32", width, height, arguments.blur,
             arguments.x, arguments.y);
    int deletions = 0;
    SourceClip* source =
        new SourceClip(env, Clip(pixel_type, width, height), random.Next(), &deletions);
    PClip held(source);
    Creation creation = Create(env, source, arguments);
    IClip* const filter = creation.filter.get();
    if (!filter) {
      Fail("%s: refused with \"%s\"", context, creation.error);
      continue;
    }
    CHECK(source->refcount == 2, "%s: the filter holds %ld references to its source, not 1",
          context, source->refcount - 1);
    CHECK(memcmp(&filter->GetVideoInfo(), &source->GetVideoInfo(), sizeof(VideoInfo)) == 0,
          "%s: the filter describes another clip than its source", context);
    filter->SetCacheHints(1, 0);
    const int frames[] = {0, 1, 2 + random.Between(0, 500)};
    for (int n : frames) CheckFrame(env, filter, *source, n, arguments, context);
    creation.filter.Release();
    CHECK(source->refcount == 1 && deletions == 0,
          "%s: after the filter's deletion the source has %ld references", context,
          source->refcount);
  }
}

// Errors raised by the host while the plugin makes a frame pass through it, and every
// frame it held on the way is released; the filter then goes on working.
void CheckErrorsInGetFrame(TestEnvironment* env) {
  int deletions = 0;
  SourceClip* source = new SourceClip(env, Clip(kPixelRgb32, 96, 64), 7, &deletions);
  PClip held(source);
  source->FailAtFrame(3);
  const Arguments arguments = {3, 2, "rect"};
  const Creation creation = Create(env, source, arguments);
  const PClip& filter = creation.filter;
  if (!filter.get()) {
    Fail("rect 3 2 on 96x64 refused with \"%s\"", creation.error);
    return;
  }

  struct Fault {
    const char* where;
    bool in_new_frame;
    int bitblt_call;  // 0: none fails
    int frame;
    const char* message;
  };
  const Fault faults[] = {
      {"the source", false, 0, 3, "Source: frame 3 cannot be read"},
      {"NewVideoFrame", true, 0, 4, "NewVideoFrame: injected failure"},
      {"the first BitBlt", false, 1, 5, "BitBlt: injected failure"},
      {"the third BitBlt", false, 3, 6, "BitBlt: injected failure"},
  };
  for (const Fault& fault : faults) {
    if (fault.in_new_frame) env->FailNextNewVideoFrame();
    env->FailBitBltCall(fault.bitblt_call);
    const char* caught = nullptr;
    try {
      filter->GetFrame(fault.frame, env);
    } catch (const AvisynthError& error) {
      caught = error.msg;
    }
    CHECK(caught && strcmp(caught, fault.message) == 0, "error in %s: expected \"%s\", got \"%s\"",
          fault.where, fault.message, caught ? caught : "a frame");
    CHECK(env->FramesInUse() == 0, "error in %s: %d frames still held", fault.where,
          env->FramesInUse());
    CheckFrame(env, filter.get(), *source, fault.frame + 10, arguments, "after an error");
  }
}

// Many frames through one filter of each shape: afterwards every count is back.
void CheckManyFrames(TestEnvironment* env, int frames) {
  const Arguments shapes[] = {{4, -3, "line"}, {2, 3, "rect"}, {3, 0, "focus"}};
  int deletions = 0;
  for (const Arguments& arguments : shapes) {
    SourceClip* source = new SourceClip(env, Clip(kPixelRgb24, 64, 48), 11, &deletions);
    PClip held(source);
    Creation creation = Create(env, source, arguments);
    PClip& filter = creation.filter;
    if (!filter.get()) {
      Fail("%s refused with \"%s\"", arguments.blur, creation.error);
      continue;
    }
    for (int n = 0; n < frames; ++n) {
      if (n % 50 == 0) {
        CheckFrame(env, filter.get(), *source, n, arguments, "many frames");
      } else {
        const PVideoFrame frame = filter->GetFrame(n, env);
      }
    }
    filter.Release();
    CHECK(source->refcount == 1, "after %d frames of %s the source has %ld references", frames,
          arguments.blur, source->refcount);
  }
  CHECK(deletions == 3, "%d of 3 source clips were deleted", deletions);
}

// One filter serving several threads at once, as a host's shared thread mode calls it: each
// thread's frames against the model.
struct SharedCall {
  TestEnvironment* env;
  IClip* filter;
  const SourceClip* source;
  Arguments arguments;
  int first_frame;
  char context[96];
};

unsigned long __stdcall FramesOfOneThread(void* parameter) {
  const SharedCall& call = *static_cast<const SharedCall*>(parameter);
  for (int n = call.first_frame; n < call.first_frame + 4; ++n)
    CheckFrame(call.env, call.filter, *call.source, n * 7, call.arguments, call.context);
  return 0;
}

void CheckSharedInstance(TestEnvironment* env) {
  constexpr int kThreads = 3;
  const struct {
    int pixel_type;
    Arguments arguments;
  } cases[] = {{kPixelRgb32, {12, 0, "focus"}},
               {kPixelRgb24, {9, 4, "line"}},
               {kPixelRgb24, {6, 5, "rect"}}};
  int deletions = 0;
  for (const auto& c : cases) {
    SourceClip* source = new SourceClip(env, Clip(c.pixel_type, 200, 120), 5, &deletions);
    PClip held(source);
    Creation creation = Create(env, source, c.arguments);
    if (!creation.filter.get()) {
      Fail("%s refused with \"%s\"", c.arguments.blur, creation.error);
      continue;
    }
    SharedCall calls[kThreads];
    for (int t = 0; t < kThreads; ++t) {
      calls[t] = {env, creation.filter.get(), source, c.arguments, 4 * t, {}};
      snprintf(calls[t].context, sizeof calls[t].context, "%s on thread %d of one instance",
               c.arguments.blur, t);
    }
    RunThreads(FramesOfOneThread, calls, sizeof calls[0], kThreads);
  }
}

}  // namespace

extern "C" int mainCRTStartup() {
  const char* seed_text = getenv("KORVEL_SEED");
  const uint64_t seed = seed_text ? strtoull(seed_text, nullptr, 10) : 20261207;
  printf("korvel.dll in a test host (%s), seed %llu, instruction set %s\n",
         sizeof(void*) == 8 ? "x64" : "x86", (unsigned long long)seed,
         korvel_test::InstructionSetOfRun());
  CHECK(korvel_test::CapIsAvailable(), KORVEL_INSTRUCTION_SET_VARIABLE
        " names a set this "
        "processor lacks");

  const Entry entry = LoadPlugin();
  if (!entry) {
    Fail("korvel.dll cannot be loaded, or has no %s", kEntryName);
    exit(1);
  }
  TestEnvironment env;
  const char* text = entry(&env);
  CHECK(text && strcmp(text, "Korvel  Plugin") == 0, "the entry returned \"%s\"", text);
  const TestEnvironment::Function& korvel = env.Registered();
  CHECK(env.AddFunctionCalls() == 1 && korvel.name && strcmp(korvel.name, "Korvel") == 0 &&
            strcmp(korvel.params, "c[x]i[y]i[blur]s") == 0,
        "the entry registered %d functions, the last %s(%s)", env.AddFunctionCalls(), korvel.name,
        korvel.params);
  if (!korvel.apply) exit(1);

  CheckCreationMessages(&env);
  CheckRandomFrames(&env, seed, 150);
  CheckErrorsInGetFrame(&env);
  CheckManyFrames(&env, 400);
  CheckSharedInstance(&env);
  CHECK(env.FramesInUse() == 0, "%d frames are still held at the end", env.FramesInUse());

  printf("%s: %d failed checks\n", FailureCount() ? "FAILED" : "passed", FailureCount());
  fflush(stdout);
  exit(FailureCount() ? 1 : 0);
}
