// GetFrame: the source frame's border strips copied, its interior averaged over the table.
#include "arithmetic.h"
#include "blur_filter.h"
#include "border_strips.h"

PVideoFrame HOST_STDCALL BlurFilter::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame src = child->GetFrame(n, env);
  PVideoFrame dst = env->NewVideoFrame(vi, 16);
  if (!src) env->ThrowError("Korvel: the source clip gave no frame");
  BYTE* const dst_start = dst->GetWritePtr();
  if (!dst_start) env->ThrowError("Korvel: the new frame is not writable");
  const BYTE* const src_start = src->GetReadPtr();
  const int src_pitch = src->GetPitch();
  const int dst_pitch = dst->GetPitch();

  // The picture is what both frames hold: a source with fewer rows, or narrower rows,
  // than the clip describes must not be read or written past its end.
  const int bytes_per_pixel = vi.BitsPerPixel() / 8;
  const int height = Min(src->GetHeight(), dst->GetHeight());
  int width = vi.width;
  if (bytes_per_pixel > 0)
    width = Min(width, Min(src->GetRowSize(), dst->GetRowSize()) / bytes_per_pixel);
  const int64_t margin_x = Magnitude(x), margin_y = Magnitude(y);

  // Top and bottom strips are Y + 2 rows of the whole width, left and right strips X + 2
  // pixels of every row; each is limited to the frame.
  const BorderStrips strips = BorderStripsOf(width, height, bytes_per_pixel, margin_x, margin_y);
  const Strip in_order[] = {strips.top, strips.bottom, strips.left, strips.right};
  for (const Strip& strip : in_order) {
    env->BitBlt(dst_start + ptrdiff_t(strip.first_row) * dst_pitch + strip.first_byte, dst_pitch,
                src_start + ptrdiff_t(strip.first_row) * src_pitch + strip.first_byte, src_pitch,
                strip.bytes, strip.rows);
  }

  // The table for the source pitch is built on the first frame of that pitch, and the
  // interior averaged over it.
  const AverageResult result =
      engine->AverageInterior(src_start, src_pitch, dst_start, dst_pitch, width, height);
  if (result == AverageResult::kOutOfMemory) env->ThrowError("Korvel: out of memory");
  if (result == AverageResult::kComputingError) env->ThrowError("computing error");
  return dst;
}
