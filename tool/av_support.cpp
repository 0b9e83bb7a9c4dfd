#include "av_support.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstring>
#include <new>

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

std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int Check(int result, const std::string& what) {
  if (result < 0) throw ToolError(what + ": " + AvErrorText(result));
  return result;
}

AvCodecContextPtr OpenDecoder(const AVStream* stream, const std::string& input, const char* kind) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec)
    throw ToolError("cannot decode " + input + ": no decoder for its " +
                    avcodec_get_name(stream->codecpar->codec_id) + " " + kind);
  AvCodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) throw std::bad_alloc();
  Check(avcodec_parameters_to_context(decoder.get(), stream->codecpar), "cannot decode " + input);
  decoder->pkt_timebase = stream->time_base;
  decoder->err_recognition |= AV_EF_EXPLODE;
  decoder->max_pixels = kMostPixels;
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
