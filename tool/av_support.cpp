#include "av_support.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "pixel_format.h"
#include "tool_error.h"

AvFramePtr NewFrame() {
  AvFramePtr frame(av_frame_alloc());
  if (!frame) throw std::bad_alloc();
  return frame;
}

AvPacketPtr NewPacket() {
  AvPacketPtr packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  return packet;
}

CodecParametersPtr NewCodecParameters() {
  CodecParametersPtr parameters(avcodec_parameters_alloc());
  if (!parameters) throw std::bad_alloc();
  return parameters;
}

DictionaryPtr CopyDictionary(const AVDictionary* dictionary) {
  AVDictionary* copy = nullptr;
  if (av_dict_copy(&copy, dictionary, 0) < 0) {
    av_dict_free(&copy);
    throw std::bad_alloc();
  }
  return DictionaryPtr(copy);
}

AvFramePtr NewVideoFrame(AVPixelFormat format, int width, int height) {
  AvFramePtr frame = NewFrame();
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::bad_alloc();
  return frame;
}

std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int Check(int result, const std::string& what) {
  if (result < 0) throw ToolError(what + ": " + AvErrorText(result));
  return result;
}

namespace {

// The decoders that reported damage, by address, until asked.
std::mutex damage_mutex;
std::set<const void*> damaged_decoders;

void OnLibraryMessage(void* object, int level, const char* format, va_list arguments) {
  // A decoder's threads log through copies of its context, which share its opaque value:
  // the decoder itself, as OpenDecoder sets it.
  if (level <= AV_LOG_ERROR && object &&
      *static_cast<const AVClass* const*>(object) == avcodec_get_class()) {
    const AVCodecContext* context = static_cast<const AVCodecContext*>(object);
    if (context->opaque && context->codec && av_codec_is_decoder(context->codec)) {
      std::lock_guard<std::mutex> lock(damage_mutex);
      damaged_decoders.insert(context->opaque);
    }
  }
  av_log_default_callback(object, level, format, arguments);
}

}  // namespace

void WatchLibraryMessages() {
  av_log_set_level(AV_LOG_ERROR);
  av_log_set_callback(OnLibraryMessage);
}

bool DecoderReportedDamage(const AVCodecContext* decoder) {
  std::lock_guard<std::mutex> lock(damage_mutex);
  return damaged_decoders.erase(decoder) != 0;
}

AvCodecContextPtr OpenDecoder(const AVCodecParameters* parameters, AVRational time_base,
                              const std::string& input, const char* kind) {
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (!codec)
    throw ToolError("cannot decode " + input + ": no decoder for its " +
                    avcodec_get_name(parameters->codec_id) + " " + kind);
  AvCodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) throw std::bad_alloc();
  Check(avcodec_parameters_to_context(decoder.get(), parameters), "cannot decode " + input);
  decoder->pkt_timebase = time_base;
  decoder->max_pixels = kMostPixels;
  decoder->opaque = decoder.get();
  decoder->thread_count = 0;  // as many as suit the codec and the machine
  Check(avcodec_open2(decoder.get(), codec, nullptr), "cannot decode " + input);
  return decoder;
}

const int* MatrixCoefficients(AVColorSpace colorspace) {
  const bool known = colorspace != AVCOL_SPC_RGB && colorspace != AVCOL_SPC_UNSPECIFIED;
  return sws_getCoefficients(known ? int(colorspace) : SWS_CS_DEFAULT);
}

// Stream side data moved into the codec parameters in libavformat 61.
std::string StreamDisplayMatrix(const AVStream* stream) {
#if LIBAVFORMAT_VERSION_MAJOR >= 61
  const AVPacketSideData* side_data =
      av_packet_side_data_get(stream->codecpar->coded_side_data,
                              stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
  const uint8_t* data = side_data ? side_data->data : nullptr;
  const size_t size = side_data ? side_data->size : 0;
#else
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
#endif
  return data && size >= 36 ? std::string(reinterpret_cast<const char*>(data), 36) : "";
}

void SetStreamDisplayMatrix(AVStream* stream, const std::string& matrix) {
  if (matrix.empty()) return;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
  AVPacketSideData* side_data = av_packet_side_data_new(
      &stream->codecpar->coded_side_data, &stream->codecpar->nb_coded_side_data,
      AV_PKT_DATA_DISPLAYMATRIX, matrix.size(), 0);
  uint8_t* data = side_data ? side_data->data : nullptr;
#else
  uint8_t* data = av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, matrix.size());
#endif
  if (!data) throw std::bad_alloc();
  std::memcpy(data, matrix.data(), matrix.size());
}
