// Small pieces shared by the code that uses FFmpeg's libraries: owners that free what the
// libraries allocate, their error texts, and file access through descriptors we opened.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

struct AvFrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct AvPacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct AvCodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;

AvFramePtr NewFrame();
AvPacketPtr NewPacket();

// The libraries' text for an error code, such as "Invalid data found when processing input".
std::string AvErrorText(int error);

// An I/O context over an open descriptor, which stays ours to close. Reading contexts
// serve demuxers, writing ones muxers; seeking works where the descriptor can seek. No
// name is ever opened through a protocol, so a file name means that file and nothing else.
AVIOContext* OpenDescriptorIo(int descriptor, bool writing);
// Flushes a writing context; returns its first error, or 0.
int CloseDescriptorIo(AVIOContext** io);

// libswscale's coefficients for a colour matrix; unknown and RGB matrices take its
// default, BT.601, as players do.
const int* MatrixCoefficients(AVColorSpace colorspace);

// Library messages of this level and above are printed on our error output.
void ShowLibraryErrorsOnly();

// A stream's display matrix (nine 32-bit numbers) exactly as stored; empty when it has none.
std::string StreamDisplayMatrix(const AVStream* stream);
// Stores `matrix` on a stream being set up for writing.
void SetStreamDisplayMatrix(AVStream* stream, const std::string& matrix);
