#include "frame_formats.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <vector>

#include "tool_error.h"

namespace {

int SampleBytesOf(const AVPixFmtDescriptor& d) {
  const int depth = d.comp[0].depth;
  if (d.flags & AV_PIX_FMT_FLAG_FLOAT) return depth == 32 ? 4 : 0;
  return depth == 8 ? 1 : depth >= 9 && depth <= 16 ? 2 : 0;
}

bool NativeOrder(const AVPixFmtDescriptor& d) {
  const bool big_endian = d.flags & AV_PIX_FMT_FLAG_BE;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return big_endian || SampleBytesOf(d) == 1;
#else
  return !big_endian || SampleBytesOf(d) == 1;
#endif
}

// The plane's bytes a pixel: the step of a component in it.
int PixelBytes(const AVPixFmtDescriptor& d, int plane) {
  for (int c = 0; c < d.nb_components; ++c)
    if (d.comp[c].plane == plane) return d.comp[c].step;
  return 0;
}

}  // namespace

bool IsPlaneFormat(AVPixelFormat format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (!d || d->nb_components < 1 ||
      (d->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL |
                   AV_PIX_FMT_FLAG_BAYER)))
    return false;
  const int bytes = SampleBytesOf(*d);
  if (bytes == 0 || !NativeOrder(*d)) return false;
  bool plane_taken[4] = {};
  for (int c = 0; c < d->nb_components; ++c) {
    const AVComponentDescriptor& comp = d->comp[c];
    if (comp.depth != d->comp[0].depth || comp.step != bytes || comp.shift != 0 ||
        comp.offset != 0 || comp.plane < 0 || comp.plane > 3 || plane_taken[comp.plane])
      return false;
    plane_taken[comp.plane] = true;
  }
  return true;
}

SampleFormat PlaneSamples(AVPixelFormat format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (d->flags & AV_PIX_FMT_FLAG_FLOAT) return {SampleType::kFloat32, 32, 1};
  if (d->comp[0].depth == 8) return {SampleType::kUint8, 8, 1};
  return {SampleType::kUint16, d->comp[0].depth, 1};
}

AVPixelFormat PlaneFormatFor(AVPixelFormat format) {
  if (IsPlaneFormat(format)) return format;
  std::vector<AVPixelFormat> choices;
  for (const AVPixFmtDescriptor* d = av_pix_fmt_desc_next(nullptr); d;
       d = av_pix_fmt_desc_next(d)) {
    const AVPixelFormat candidate = av_pix_fmt_desc_get_id(d);
    if (IsPlaneFormat(candidate)) choices.push_back(candidate);
  }
  choices.push_back(AV_PIX_FMT_NONE);
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  const bool alpha = d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
  return avcodec_find_best_pix_fmt_of_list(choices.data(), format, alpha, nullptr);
}

AVPixelFormat TurnedFormat(AVPixelFormat format, int turn) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (turn == 180 || !d || d->log2_chroma_w == d->log2_chroma_h) return format;
  for (const AVPixFmtDescriptor* c = av_pix_fmt_desc_next(nullptr); c;
       c = av_pix_fmt_desc_next(c)) {
    if (c->log2_chroma_w == d->log2_chroma_h && c->log2_chroma_h == d->log2_chroma_w &&
        c->flags == d->flags && c->nb_components == d->nb_components &&
        std::memcmp(c->comp, d->comp, sizeof d->comp) == 0)
      return av_pix_fmt_desc_get_id(c);
  }
  return AV_PIX_FMT_NONE;
}

AvFramePtr TurnFrame(const AVFrame* frame, int turn, AVPixelFormat format) {
  const bool sideways = turn == 90 || turn == 270;
  AvFramePtr turned = NewVideoFrame(format, sideways ? frame->height : frame->width,
                                    sideways ? frame->width : frame->height);
  if (av_frame_copy_props(turned.get(), frame) < 0) throw std::bad_alloc();
  const AVPixFmtDescriptor& d = *av_pix_fmt_desc_get(AVPixelFormat(frame->format));
  for (int p = 0; p < av_pix_fmt_count_planes(AVPixelFormat(frame->format)); ++p) {
    const bool chroma = p == 1 || p == 2;
    const int width = chroma ? AV_CEIL_RSHIFT(frame->width, d.log2_chroma_w) : frame->width;
    const int height = chroma ? AV_CEIL_RSHIFT(frame->height, d.log2_chroma_h) : frame->height;
    const int bytes = PixelBytes(d, p);
    const int out_width = sideways ? height : width, out_height = sideways ? width : height;
    for (int row = 0; row < out_height; ++row) {
      uint8_t* out = turned->data[p] + ptrdiff_t(row) * turned->linesize[p];
      for (int column = 0; column < out_width; ++column) {
        const int in_row = turn == 90 ? height - 1 - column : turn == 180 ? height - 1 - row : column;
        const int in_column = turn == 90 ? row : turn == 180 ? width - 1 - column : width - 1 - row;
        std::memcpy(out + ptrdiff_t(column) * bytes,
                    frame->data[p] + ptrdiff_t(in_row) * frame->linesize[p] +
                        ptrdiff_t(in_column) * bytes,
                    size_t(bytes));
      }
    }
  }
  return turned;
}

int ExactQuarterTurn(const std::string& stored) {
  if (stored.size() < 36) return 0;
  int32_t matrix[9];
  std::memcpy(matrix, stored.data(), sizeof matrix);
  for (int turn : {90, 180, 270}) {
    int32_t expected[9];
    av_display_rotation_set(expected, double(turn));
    if (std::memcmp(matrix, expected, 2 * sizeof(int32_t)) == 0 &&
        std::memcmp(matrix + 3, expected + 3, 2 * sizeof(int32_t)) == 0)
      return turn;
  }
  return 0;
}
