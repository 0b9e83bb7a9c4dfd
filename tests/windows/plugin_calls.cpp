#include "plugin_calls.h"

#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "reference_blur.h"

Creation Create(TestEnvironment* env, IClip* source, const Arguments& arguments) {
  const TestEnvironment::Function& korvel = env->Registered();
  // The host's own copy of the arguments, one element per parameter, holding a reference
  // to the clip. It is released after the call, whether creation succeeds or throws: the
  // plugin destroys its by-value array without touching the elements.
  const AVSValue elements[4] = {
      AVSValue(source),
      arguments.x == kOmitted ? AVSValue() : AVSValue(arguments.x),
      arguments.y == kOmitted ? AVSValue() : AVSValue(arguments.y),
      arguments.blur ? AVSValue(env->SaveString(arguments.blur)) : AVSValue(),
  };
  Creation creation;
  try {
    const AVSValue result = korvel.apply(AVSValue(elements, 4), korvel.user_data, env);
    creation.filter = PClip(result.clip());
    if (!result.clip()) Fail("creation returned a value of type '%c', not a clip", result.type());
  } catch (const AvisynthError& error) {
    creation.error = error.msg;
  }
  return creation;
}

void CheckFrame(TestEnvironment* env, IClip* filter, const SourceClip& source, int n,
                const Arguments& arguments, const char* context) {
  const VideoInfo& vi = filter->GetVideoInfo();
  const int bytes = vi.pixel_type == kPixelRgb24 ? 3 : 4, row_size = vi.width * bytes;
  const size_t size = size_t(row_size) * size_t(vi.height);
  uint8_t* picture = static_cast<uint8_t*>(malloc(size));
  uint8_t* expected = static_cast<uint8_t*>(malloc(size));
  source.Picture(n, picture);
  korvel_test::ModelBlur(picture, expected, vi.width, vi.height, bytes, arguments.x, arguments.y,
                         arguments.blur);

  const PVideoFrame frame = filter->GetFrame(n, env);
  const VideoFrame* f = frame.get();
  if (!f || f->row_size != row_size || f->height != vi.height) {
    Fail("%s, frame %d: no frame, or not %d rows of %d bytes", context, n, vi.height, row_size);
  } else {
    const BYTE* data = f->vfb->data + f->offset;
    for (int row = 0; row < vi.height; ++row) {
      const uint8_t* want = expected + row * row_size;
      if (memcmp(data + row * f->pitch, want, size_t(row_size)) == 0) continue;
      int at = 0;
      while (data[row * f->pitch + at] == want[at]) ++at;
      Fail("%s, frame %d: row %d byte %d is %d, the model says %d", context, n, row, at,
           data[row * f->pitch + at], want[at]);
      break;
    }
  }
  free(picture);
  free(expected);
}
