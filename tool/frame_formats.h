// Which pixel formats the filter engine blurs plane by plane, and the formats frames take
// on their way: the planar format a decoded frame becomes, and the format of a frame turned
// a quarter turn.
#pragma once

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "av_support.h"
#include "sample_format.h"

// Every component in a plane of its own, of 8-bit bytes, 9- to 16-bit words in this
// machine's order, or 32-bit floats: grey, planar YUV and planar RGB, with or without alpha.
bool IsPlaneFormat(AVPixelFormat format);
// The samples of one plane of such a format.
SampleFormat PlaneSamples(AVPixelFormat format);
// The format itself where it is one, else the plane format nearest to it (nv12 becomes
// yuv420p, p010 yuv420p10, rgb24 gbrp, pal8 gbrp or gbrap).
AVPixelFormat PlaneFormatFor(AVPixelFormat format);
// The format of a frame of `format` turned by `turn` degrees: the same, or, where its chroma
// is subsampled unequally across and down (4:2:2), the format with the factors swapped;
// AV_PIX_FMT_NONE where there is none.
AVPixelFormat TurnedFormat(AVPixelFormat format, int turn);
// A copy of the frame turned clockwise by 90, 180 or 270 degrees, into `format` (TurnedFormat
// of the frame's). Samples are moved, never changed. Takes formats whose every component
// is a whole number of bytes in a plane of its own or interleaved with same-sized ones.
AvFramePtr TurnFrame(const AVFrame* frame, int turn, AVPixelFormat format);
// The clockwise turn in degrees (90, 180 or 270) that shows a frame upright, when the stored
// display matrix is exactly such a turn; 0 otherwise, a flip or an angle in between included.
int ExactQuarterTurn(const std::string& display_matrix);
