// Small pieces shared by the code that uses FFmpeg's libraries: owners that free what the
// libraries allocate, their error texts, and decoders opened alike for every stream.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>
#include <type_traits>

// Frees with the library's own function, whether it takes the pointer or its address.
template <auto free_function>
struct AvFree {
  template <typename T>
  void operator()(T* pointer) const {
    if constexpr (std::is_invocable_v<decltype(free_function), T**>)
      free_function(&pointer);
    else
      free_function(pointer);
  }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFree<av_frame_free>>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvFree<av_packet_free>>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvFree<avcodec_free_context>>;
using AvIoPtr = std::unique_ptr<AVIOContext, AvFree<avio_closep>>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, AvFree<avcodec_parameters_free>>;
using DictionaryPtr = std::unique_ptr<AVDictionary, AvFree<av_dict_free>>;

AvFramePtr NewFrame();
AvPacketPtr NewPacket();
CodecParametersPtr NewCodecParameters();
DictionaryPtr CopyDictionary(const AVDictionary* dictionary);
// A frame of this format and size with its own buffers.
AvFramePtr NewVideoFrame(AVPixelFormat format, int width, int height);

// The libraries' text for an error code, such as "Invalid data found when processing input".
std::string AvErrorText(int error);
// Throws ToolError "`what`: the libraries' text" for an error code; returns other values.
int Check(int result, const std::string& what);

// A decoder for a stream of these parameters and time base, on as many threads as suit it,
// that takes no larger pictures than korvel does; `kind` ("video", "sound") names what has
// no decoder. Damage is found from what it reports (DecoderReportedDamage), not by letting it
// fail at the first error, which some decoders then assert on. Throws ToolError naming
// `input`.
AvCodecContextPtr OpenDecoder(const AVCodecParameters* parameters, AVRational time_base,
                              const std::string& input, const char* kind);

// Whether a decoder opened by OpenDecoder has reported an error of the data since the last
// call (the libraries' messages at the error level, which would otherwise only be printed).
bool DecoderReportedDamage(const AVCodecContext* decoder);
// Sends the libraries' messages to the error reports of the decoders, printing only errors.
void WatchLibraryMessages();

// libswscale's coefficients for a colour matrix; unknown and RGB matrices take its
// default, BT.601, as players do.
const int* MatrixCoefficients(AVColorSpace colorspace);

// A stream's display matrix (nine 32-bit numbers) exactly as stored; empty when it has none.
std::string StreamDisplayMatrix(const AVStream* stream);
// Stores `matrix` on a stream being set up for writing.
void SetStreamDisplayMatrix(AVStream* stream, const std::string& matrix);
