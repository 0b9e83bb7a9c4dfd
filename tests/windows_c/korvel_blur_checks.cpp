#include "korvel_blur_checks.h"

#include <stdio.h>
#include <string.h>

#include "../windows/check.h"
#include "../windows/random.h"
#include "korvel_blur_call.h"

namespace {

constexpr int kFrames = 2;

// The host holds no more clips, handles or frames than before the case.
void CheckNothingMoreHeld(const StandInCounts& before, const char* context) {
  const StandInCounts now = stand_in_counts();
  CHECK(now.clips == before.clips && now.handles == before.handles && now.frames == before.frames,
        "after %s the host holds %d clips, %d handles and %d frames more than before", context,
        now.clips - before.clips, now.handles - before.handles, now.frames - before.frames);
}

// Creation on a new source: the message it gives, or null and the filter.
struct Creation {
  AVS_Clip* source;
  AVS_Clip* filter;
  const char* error;
};

Creation Create(AVS_ScriptEnvironment* env, const AVS_VideoInfo& vi, const BlurCall& call,
                uint32_t seed, int failing_frame = -1) {
  Creation creation;
  creation.source = stand_in_new_source(env, &vi, seed, failing_frame);
  creation.filter = CallKorvelBlur(env, creation.source, call, &creation.error);
  return creation;
}

// Drops the filter; the source must then be held by its handle alone.
void Finish(const Creation& creation, const char* context) {
  avs_release_clip(creation.filter);
  const long references = stand_in_references(creation.source);
  CHECK(references == 1, "%s: after the filter, its source has %ld references, not 1", context,
        references);
  avs_release_clip(creation.source);
}

void CheckMessage(AVS_ScriptEnvironment* env, const AVS_VideoInfo& vi, const BlurCall& call,
                  const char* message, const char* context) {
  const StandInCounts before = stand_in_counts();
  const Creation creation = Create(env, vi, call, 1);
  const char* expected = message ? message : "a filter";
  const char* actual = creation.error ? creation.error : creation.filter ? "a filter" : "nothing";
  CHECK(strcmp(actual, expected) == 0, "%s: expected \"%s\", got \"%s\"", context, expected,
        actual);
  Finish(creation, context);
  CheckNothingMoreHeld(before, context);
}

AVS_VideoInfo ClipOfType(int pixel_type, int width, int height) {
  AVS_VideoInfo vi = ClipOf(kHostFormats[0], width, height);
  vi.pixel_type = pixel_type;
  return vi;
}

BlurCall WithPlanes(BlurCall call, const int* planes, int count) {
  for (int i = 0; i < count; ++i) call.planes[i] = planes[i];
  call.plane_count = count;
  return call;
}

void CheckFrames(AVS_ScriptEnvironment* env, const HostFormat& format, int width, int height,
                 const BlurCall& call, const int* frames, int frame_count, uint32_t seed) {
  char context[160];
  snprintf(context, sizeof context, "%s %dx%d, %s x %d y %d, %d planes listed", format.name, width,
           height, call.blur, call.x, call.y, call.plane_count);
  const StandInCounts before = stand_in_counts();
  const Creation creation = Create(env, ClipOf(format, width, height), call, seed);
  if (!creation.filter) {
    Fail("%s: refused with \"%s\"", context, creation.error);
  } else {
    CHECK(stand_in_references(creation.source) == 2,
          "%s: the filter holds %ld references to its source, not 1", context,
          stand_in_references(creation.source) - 1);
    CHECK(memcmp(stand_in_video_info(creation.filter), stand_in_video_info(creation.source),
                 sizeof(AVS_VideoInfo)) == 0,
          "%s: the filter describes another clip than its source", context);
    const int mode = stand_in_cache_hint(creation.filter, AVS_CACHE_GET_MTMODE);
    CHECK(mode == AVS_MT_NICE_FILTER, "%s: thread mode %d, not %d (one instance for every thread)",
          context, mode, AVS_MT_NICE_FILTER);
    for (int i = 0; i < frame_count; ++i)
      CheckFrame(creation.filter, creation.source, format, call, frames[i], context);
  }
  Finish(creation, context);
  CheckNothingMoreHeld(before, context);
}

// A shape whose parameters creation accepts for the size, often at the ends of their ranges.
BlurCall DrawShape(int width, int height, Random& random) {
  const int x_bound = width / 8, y_bound = height / 8;
  auto draw = [&](int low, int high) {
    const int pick = random.Between(0, 4);
    return pick == 0 ? low : pick == 1 ? high : random.Between(low, high);
  };
  BlurCall call;
  switch (random.Between(0, 2)) {
    case 0:
      call.blur = "line", call.x = draw(-x_bound, x_bound), call.y = draw(-y_bound, y_bound);
      if (call.x == 0 && call.y == 0) call.y = y_bound;
      break;
    case 1: call.blur = "rect", call.x = draw(1, x_bound), call.y = draw(1, y_bound); break;
    default: call.blur = "focus", call.x = draw(2, x_bound), call.y = random.Between(-3, 3); break;
  }
  return call;
}

}  // namespace

void CheckMessages(AVS_ScriptEnvironment* env) {
  // The format comes first, whatever the other arguments.
  const int seven[] = {7};
  const BlurCall wrong = WithPlanes({999, 999, "Blob"}, seven, 1);
  CheckMessage(env, ClipOfType(AVS_CS_YUY2, 640, 480), wrong,
               "Korvel: YUY2 is not accepted; convert it with ConvertToYV16() first", "YUY2");
  CheckMessage(env, ClipOfType(AVS_CS_UNKNOWN, 0, 0), {}, "Korvel: the clip has no video",
               "no video");
  // A depth the host does not document (sample bits code 3).
  CheckMessage(env, ClipOfType(AVS_CS_GENERIC_YUV420 | 3 << AVS_CS_SHIFT_SAMPLE_BITS, 640, 480), {},
               "Korvel: the clip's format is not one AviSynth+ documents", "unknown depth");

  // Then the shape and extents, on grey clips.
  for (int i = 0; i < kExtentCaseCount; ++i) {
    const ExtentCase& e = kExtentCases[i];
    char context[96];
    snprintf(context, sizeof context, "Y8 %dx%d, x %d y %d blur %s", e.width, e.height, e.x, e.y,
             e.blur ? e.blur : "left out");
    CheckMessage(env, ClipOf(FormatNamed("Y8"), e.width, e.height), {e.x, e.y, e.blur}, e.message,
                 context);
  }

  // The planes last: a number outside the clip's planes, or one listed twice.
  const int three[] = {3}, four[] = {4}, one[] = {1}, twice[] = {3, 3}, none[] = {0};
  const struct {
    const char* format;
    const int* planes;
    int count;
    const char* message;
  } planes_cases[] = {
      {"YV12", three, 1, "Korvel: planes must be between 0 and 2"},
      {"RGB32", four, 1, "Korvel: planes must be between 0 and 3"},
      {"Y8", one, 1, "Korvel: planes must be between 0 and 0"},
      {"YUVA444P16", twice, 2, "Korvel: plane 3 is listed twice"},
      {"YV12", none, 0, nullptr},
  };
  for (const auto& c : planes_cases)
    CheckMessage(env, ClipOf(FormatNamed(c.format), 640, 480), WithPlanes({}, c.planes, c.count),
                 c.message, c.format);
}

void CheckEveryFormat(AVS_ScriptEnvironment* env) {
  const int frames[] = {0, 1};
  for (int f = 0; f < kHostFormatCount; ++f) {
    const BlurCall calls[] = {{11, -3, "line"}, {-4, 8, "line"}, {3, 2, "rect"}, {6, 0, "focus"}};
    for (const BlurCall& call : calls)
      CheckFrames(env, kHostFormats[f], 88, 66, call, frames, kFrames, uint32_t(f + 1));
  }
  // Planes left out are the source's, in planar and packed formats alike.
  const int alpha_and_luma[] = {3, 0}, chroma[] = {2, 1}, green[] = {1}, red_and_alpha[] = {0, 3},
            blue[] = {2};
  const struct {
    const char* format;
    BlurCall call;
  } planes_cases[] = {
      {"YUVA420P8", WithPlanes({4, 3, "rect"}, alpha_and_luma, 2)},
      {"YUV420P10", WithPlanes({7, -5, "line"}, chroma, 2)},
      {"RGBAPS", WithPlanes({5, 0, "focus"}, green, 1)},
      {"RGB32", WithPlanes({7, 5, "line"}, red_and_alpha, 2)},
      {"RGB48", WithPlanes({2, 5, "rect"}, blue, 1)},
      {"YV12", WithPlanes({2, 5, "rect"}, blue, 0)},
  };
  for (const auto& c : planes_cases)
    CheckFrames(env, FormatNamed(c.format), 64, 48, c.call, frames, kFrames, 77);
}

void CheckRandomCalls(AVS_ScriptEnvironment* env, uint64_t seed, int calls) {
  Random random(seed);
  for (int i = 0; i < calls; ++i) {
    const HostFormat& format = kHostFormats[random.Between(0, kHostFormatCount - 1)];
    // Sizes the format's subsampling divides.
    const int width = random.Between(16, 200) >> format.log2_w << format.log2_w;
    const int height = random.Between(16, 120) >> format.log2_h << format.log2_h;
    BlurCall call = DrawShape(width, height, random);
    if (random.Between(0, 1)) {
      call.plane_count = 0;
      for (int p = 0; p < format.plane_count; ++p)
        if (random.Between(0, 1)) call.planes[call.plane_count++] = p;
    }
    const int frames[] = {0, random.Between(1, 999)};
    CheckFrames(env, format, width, height, call, frames, kFrames, uint32_t(random.Next()));
  }
}

void CheckErrorsInGetFrame(AVS_ScriptEnvironment* env) {
  const HostFormat& format = FormatNamed("YUV420P10");
  const BlurCall call = {3, 2, "rect"};
  const StandInCounts before = stand_in_counts();
  const Creation creation = Create(env, ClipOf(format, 96, 64), call, 7, 3);
  CHECK(creation.filter, "rect 3 2 on 96x64 refused with \"%s\"", creation.error);
  const struct {
    const char* where;
    bool refuse_new_frame;
    int frame;
    const char* message;
  } faults[] = {
      {"the source", false, 3, "Source: frame 3 cannot be read"},
      {"a new frame", true, 4, "Could not allocate video frame. Out of memory."},
  };
  for (const auto& fault : faults) {
    if (!creation.filter) break;
    if (fault.refuse_new_frame) stand_in_refuse_next_new_frame();
    const int frames_before = stand_in_counts().frames;
    AVS_VideoFrame* frame = avs_get_frame(creation.filter, fault.frame);
    const char* error = stand_in_clip_error(creation.filter);
    CHECK(!frame && error && strcmp(error, fault.message) == 0,
          "error in %s: expected \"%s\", got \"%s\"", fault.where, fault.message,
          frame ? "a frame" : error);
    avs_release_video_frame(frame);
    CHECK(stand_in_counts().frames == frames_before, "error in %s: %d frames still held",
          fault.where, stand_in_counts().frames - frames_before);
    CheckFrame(creation.filter, creation.source, format, call, fault.frame + 10, "after an error");
  }
  Finish(creation, "errors in frames");
  CheckNothingMoreHeld(before, "errors in frames");
}
