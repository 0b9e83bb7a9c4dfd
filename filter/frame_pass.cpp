// GetFrame: the source frame's border strips copied, its interior averaged over the table.
#include "arithmetic.h"
#include "averaging/fast_averager.h"
#include "averaging/plain_kernel.h"
#include "blur_filter.h"

namespace {

// A strip along one edge, limited to the frame: never more than `extent`, and starting at
// 0 rather than before it when the strip is wider than the frame.
struct Span {
  int start;
  int length;
};
Span LeadingStrip(int64_t strip, int extent) { return {0, int(Min<int64_t>(strip, extent))}; }
Span TrailingStrip(int64_t strip, int extent) {
  const int start = int(Max<int64_t>(extent - strip, 0));
  return {start, extent - start};
}

}  // namespace

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
  const int row_bytes = width * bytes_per_pixel;
  const Span top = LeadingStrip(margin_y + 2, height);
  const Span bottom = TrailingStrip(margin_y + 2, height);
  const Span left = LeadingStrip(margin_x + 2, width);
  const Span right = TrailingStrip(margin_x + 2, width);
  env->BitBlt(dst_start, dst_pitch, src_start, src_pitch, row_bytes, top.length);
  env->BitBlt(dst_start + ptrdiff_t(bottom.start) * dst_pitch, dst_pitch,
              src_start + ptrdiff_t(bottom.start) * src_pitch, src_pitch, row_bytes, bottom.length);
  env->BitBlt(dst_start, dst_pitch, src_start, src_pitch, left.length * bytes_per_pixel, height);
  env->BitBlt(dst_start + ptrdiff_t(right.start) * bytes_per_pixel, dst_pitch,
              src_start + ptrdiff_t(right.start) * bytes_per_pixel, src_pitch,
              right.length * bytes_per_pixel, height);

  FillOffsets(src_pitch, bytes_per_pixel, env);

  const AveragingJob job =
      InteriorJob(src_start, src_pitch, dst_start, dst_pitch, width, height, bytes_per_pixel,
                  margin_x, margin_y, offsets.get(), offset_count);
  if (averager) {
    last_kernel = averager->Average(job);
  } else {
    AveragePlain(job);
    last_kernel = KernelChoice::kPlain;
  }
  return dst;
}
