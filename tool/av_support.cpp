#include "av_support.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

constexpr int kIoBufferBytes = 1 << 16;

struct DescriptorIo {
  int descriptor;
  int error = 0;  // the first failed write, kept so that no later success hides it
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* io = static_cast<DescriptorIo*>(opaque);
  for (;;) {
    const ssize_t count = read(io->descriptor, buffer, size_t(size));
    if (count > 0) return int(count);
    if (count == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

// Write callbacks take a const buffer from libavformat 61 on.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WriteBuffer = const uint8_t*;
#else
using WriteBuffer = uint8_t*;
#endif

int WritePacket(void* opaque, WriteBuffer buffer, int size) {
  auto* io = static_cast<DescriptorIo*>(opaque);
  int done = 0;
  while (done < size) {
    const ssize_t count = write(io->descriptor, buffer + done, size_t(size - done));
    if (count > 0) {
      done += int(count);
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      if (io->error == 0) io->error = AVERROR(count < 0 ? errno : EIO);
      return io->error;
    }
  }
  return size;
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto* io = static_cast<DescriptorIo*>(opaque);
  if (whence & AVSEEK_SIZE) {
    const off_t here = lseek(io->descriptor, 0, SEEK_CUR);
    const off_t end = lseek(io->descriptor, 0, SEEK_END);
    if (here < 0 || end < 0 || lseek(io->descriptor, here, SEEK_SET) < 0) return AVERROR(errno);
    return end;
  }
  const off_t position = lseek(io->descriptor, off_t(offset), whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(errno) : position;
}

}  // namespace

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

AVIOContext* OpenDescriptorIo(int descriptor, bool writing) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  auto* opaque = new DescriptorIo{descriptor};
  const bool seekable = lseek(descriptor, 0, SEEK_CUR) >= 0;
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferBytes, writing ? 1 : 0, opaque,
                                       writing ? nullptr : ReadPacket,
                                       writing ? WritePacket : nullptr, seekable ? Seek : nullptr);
  if (!buffer || !io) {
    av_free(buffer);
    delete opaque;
    throw std::bad_alloc();
  }
  if (!seekable) io->seekable = 0;
  return io;
}

int CloseDescriptorIo(AVIOContext** io) {
  if (!*io) return 0;
  auto* opaque = static_cast<DescriptorIo*>((*io)->opaque);
  if ((*io)->write_flag) avio_flush(*io);
  int error = (*io)->error;
  if (opaque->error != 0) error = opaque->error;
  av_freep(&(*io)->buffer);
  avio_context_free(io);
  delete opaque;
  return error;
}

const int* MatrixCoefficients(AVColorSpace colorspace) {
  const bool known = colorspace != AVCOL_SPC_RGB && colorspace != AVCOL_SPC_UNSPECIFIED;
  return sws_getCoefficients(known ? int(colorspace) : SWS_CS_DEFAULT);
}

void ShowLibraryErrorsOnly() { av_log_set_level(AV_LOG_ERROR); }

// Stream side data moved into the codec parameters in libavformat 61.
std::string StreamDisplayMatrix(const AVStream* stream) {
#if LIBAVFORMAT_VERSION_MAJOR >= 61
  const AVPacketSideData* data =
      av_packet_side_data_get(stream->codecpar->coded_side_data,
                              stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
  if (!data || data->size < 36) return "";
  return std::string(reinterpret_cast<const char*>(data->data), 36);
#else
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!data || size < 36) return "";
  return std::string(reinterpret_cast<const char*>(data), 36);
#endif
}

void SetStreamDisplayMatrix(AVStream* stream, const std::string& matrix) {
  if (matrix.empty()) return;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
  AVPacketSideData* data = av_packet_side_data_new(&stream->codecpar->coded_side_data,
                                                   &stream->codecpar->nb_coded_side_data,
                                                   AV_PKT_DATA_DISPLAYMATRIX, matrix.size(), 0);
  if (!data) throw std::bad_alloc();
  std::memcpy(data->data, matrix.data(), matrix.size());
#else
  uint8_t* data = av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, matrix.size());
  if (!data) throw std::bad_alloc();
  std::memcpy(data, matrix.data(), matrix.size());
#endif
}
