#include "korvel_blur_call.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../windows/check.h"
#include "plane_extents.h"
#include "reference_blur.h"

namespace {

AVS_Value IntValue(int value) { return value == kLeftOut ? avs_void : avs_new_value_int(value); }

struct StoredPlane {
  const BYTE* data;
  int pitch, row_size, height;
};

StoredPlane PlaneOf(const AVS_VideoFrame* frame, int host_plane) {
  return {avs_get_read_ptr_p(frame, host_plane), avs_get_pitch_p(frame, host_plane),
          avs_get_row_size_p(frame, host_plane), avs_get_height_p(frame, host_plane)};
}

// The rows back to back from the picture's top; packed RGB is stored from its bottom.
uint8_t* PictureOf(const StoredPlane& plane, bool bottom_up) {
  uint8_t* picture = static_cast<uint8_t*>(malloc(size_t(plane.row_size) * size_t(plane.height)));
  for (int row = 0; row < plane.height; ++row)
    memcpy(picture + ptrdiff_t(row) * plane.row_size,
           plane.data + ptrdiff_t(bottom_up ? plane.height - 1 - row : row) * plane.pitch,
           size_t(plane.row_size));
  return picture;
}

template <typename Sample>
void Model(const uint8_t* source, uint8_t* result, int width, int height, int channels, int x,
           int y, const char* blur) {
  korvel_test::ModelBlur(reinterpret_cast<const Sample*>(source), reinterpret_cast<Sample*>(result),
                         width, height, channels, x, y, blur);
}

bool Listed(const BlurCall& call, int p) {
  for (int i = 0; i < call.plane_count; ++i)
    if (call.planes[i] == p) return true;
  return call.plane_count < 0;
}

// One plane's expected picture, integer samples. Packed RGB is averaged in every channel
// by the model, and the channels left out of `planes` are the source's.
void ExpectedIntegers(const uint8_t* source, uint8_t* expected, const HostFormat& format,
                      const BlurCall& call, int p, int width, int height) {
  const int sample_bytes = format.bits == 8 ? 1 : 2;
  const int channels = format.packed ? format.plane_count : 1;
  const size_t size = size_t(width) * size_t(channels * sample_bytes) * size_t(height);
  const bool chroma = !format.rgb && (p == 1 || p == 2);
  int x = 0, y = 0;
  const bool averaged =
      (format.packed || Listed(call, p)) &&
      korvel_test::PlaneExtents(call.blur, call.x, call.y, chroma ? format.log2_w : 0,
                                chroma ? format.log2_h : 0, &x, &y);
  if (!averaged)
    memcpy(expected, source, size);
  else if (sample_bytes == 1)
    Model<uint8_t>(source, expected, width, height, channels, x, y, call.blur);
  else
    Model<uint16_t>(source, expected, width, height, channels, x, y, call.blur);
  if (!format.packed) return;
  const int memory_channel[] = {2, 1, 0, 3};  // of R, G, B, A
  for (int c = 0; c < format.plane_count; ++c) {
    if (Listed(call, c)) continue;
    for (size_t at = size_t(memory_channel[c] * sample_bytes); at < size;
         at += size_t(channels * sample_bytes))
      memcpy(expected + at, source + at, size_t(sample_bytes));
  }
}

void CompareIntegers(const uint8_t* expected, const uint8_t* actual, int row_size, int height,
                     int sample_bytes, const char* where) {
  for (int row = 0; row < height; ++row) {
    const uint8_t* want = expected + ptrdiff_t(row) * row_size;
    const uint8_t* got = actual + ptrdiff_t(row) * row_size;
    if (memcmp(want, got, size_t(row_size)) == 0) continue;
    int at = 0;
    while (want[at] == got[at]) ++at;
    at -= at % sample_bytes;
    unsigned want_sample = 0, got_sample = 0;
    memcpy(&want_sample, want + at, size_t(sample_bytes));
    memcpy(&got_sample, got + at, size_t(sample_bytes));
    Fail("%s: row %d, sample %d is %u, the model says %u", where, row, at / sample_bytes,
         got_sample, want_sample);
    return;
  }
}

// Floats: each sample within the model's bound of the exact mean over the shape.
void CompareFloats(const uint8_t* source, const uint8_t* actual, const BlurCall& call, int p,
                   const HostFormat& format, int width, int height, const char* where) {
  const bool chroma = !format.rgb && (p == 1 || p == 2);
  int x = 0, y = 0;
  if (!Listed(call, p) ||
      !korvel_test::PlaneExtents(call.blur, call.x, call.y, chroma ? format.log2_w : 0,
                                 chroma ? format.log2_h : 0, &x, &y)) {
    CompareIntegers(source, actual, width * 4, height, 4, where);
    return;
  }
  const int count = width * height;
  const float* samples = reinterpret_cast<const float*>(source);
  const float* got = reinterpret_cast<const float*>(actual);
  double* exact = static_cast<double*>(malloc(sizeof(double) * size_t(count)));
  korvel_test::ModelBlur(samples, exact, width, height, 1, x, y, call.blur);
  double largest = 0;
  for (int k = 0; k < count; ++k)
    if (!__builtin_isnan(samples[k]) && !__builtin_isinf(samples[k]) &&
        __builtin_fabs(samples[k]) > largest)
      largest = __builtin_fabs(samples[k]);
  for (int k = 0; k < count; ++k)
    if (!korvel_test::FloatMeanAcceptable(got[k], exact[k], largest)) {
      Fail("%s: row %d, sample %d is %g, the mean is %g", where, k / width, k % width,
           double(got[k]), exact[k]);
      break;
    }
  free(exact);
}

// Every byte between a row's end and the next row's start as the host left it.
void CheckFiller(const StoredPlane& plane, const char* where) {
  for (int row = 0; row < plane.height; ++row)
    for (int at = plane.row_size; at < plane.pitch; ++at)
      if (plane.data[ptrdiff_t(row) * plane.pitch + at] != kStandInFiller) {
        Fail("%s: byte %d of row %d, beyond the row's %d, was written", where, at, row,
             plane.row_size);
        return;
      }
}

}  // namespace

AVS_Clip* CallKorvelBlur(AVS_ScriptEnvironment* env, AVS_Clip* source, const BlurCall& call,
                         const char** error) {
  const StandInFunction* function = stand_in_function(env, 0);
  AVS_Value planes[4];
  for (int i = 0; i < call.plane_count; ++i) planes[i] = avs_new_value_int(call.planes[i]);
  AVS_Value arguments[5] = {
      avs_void,
      IntValue(call.x),
      IntValue(call.y),
      call.blur ? avs_new_value_string(call.blur) : avs_void,
      call.plane_count < 0 ? avs_void : avs_new_value_array(planes, call.plane_count),
  };
  avs_set_to_clip(&arguments[0], source);
  return stand_in_call(env, function, arguments, 5, error);
}

void CheckFrame(AVS_Clip* filter, AVS_Clip* source, const HostFormat& format, const BlurCall& call,
                int n, const char* context) {
  AVS_VideoFrame* src = avs_get_frame(source, n);
  AVS_VideoFrame* dst = avs_get_frame(filter, n);
  if (!src || !dst) {
    Fail("%s, frame %d: no frame (\"%s\")", context, n,
         src ? stand_in_clip_error(filter) : stand_in_clip_error(source));
  } else {
    CHECK(stand_in_frame_properties(dst) == stand_in_frame_properties(src),
          "%s, frame %d: the frame's properties are not its source frame's", context, n);
    const int planes = format.packed ? 1 : format.plane_count;
    for (int p = 0; p < planes; ++p) {
      char where[200];
      snprintf(where, sizeof where, "%s, frame %d, plane %d", context, n, p);
      const StoredPlane from = PlaneOf(src, HostPlane(format, p));
      const StoredPlane to = PlaneOf(dst, HostPlane(format, p));
      if (to.row_size != from.row_size || to.height != from.height || !to.data) {
        Fail("%s: %d rows of %d bytes, not %d of %d", where, to.height, to.row_size, from.height,
             from.row_size);
        continue;
      }
      CheckFiller(to, where);
      const int sample_bytes = format.bits == 8 ? 1 : format.bits == 32 ? 4 : 2;
      const int width = from.row_size / sample_bytes / (format.packed ? format.plane_count : 1);
      uint8_t* source_picture = PictureOf(from, format.packed);
      uint8_t* actual = PictureOf(to, format.packed);
      if (sample_bytes == 4) {
        CompareFloats(source_picture, actual, call, p, format, width, from.height, where);
      } else {
        uint8_t* expected =
            static_cast<uint8_t*>(malloc(size_t(from.row_size) * size_t(from.height)));
        ExpectedIntegers(source_picture, expected, format, call, p, width, from.height);
        CompareIntegers(expected, actual, from.row_size, from.height, sample_bytes, where);
        free(expected);
      }
      free(source_picture);
      free(actual);
    }
  }
  avs_release_video_frame(src);
  avs_release_video_frame(dst);
}
