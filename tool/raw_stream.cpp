#include "raw_stream.h"

#include <cerrno>
#include <cstring>

#include "platform.h"
#include "tool_error.h"

RawReader::RawReader(FILE* file, bool owned, const std::string& name, const StreamInfo& info)
    : file_(file), owned_(owned), name_(name), info_(info) {
  const int64_t size = platform::RegularFileSize(file_);
  if (size < 0) return;
  if (size % info_.layout.FrameBytes() != 0) {
    if (owned_) std::fclose(file_);
    file_ = nullptr;
    ThrowPartialFrame(size);
  }
  info_.frame_count = size / info_.layout.FrameBytes();
}

RawReader::~RawReader() {
  if (owned_ && file_) std::fclose(file_);
}

void RawReader::ThrowPartialFrame(int64_t total_bytes) const {
  const int64_t frame_bytes = info_.layout.FrameBytes();
  throw ToolError(name_ + " holds " + std::to_string(total_bytes) +
                  " bytes, which is not a whole number of " + std::to_string(info_.layout.width) +
                  "x" + std::to_string(info_.layout.height) + " " + NameOf(info_.layout.format) +
                  " frames of " + std::to_string(frame_bytes) + " bytes (" +
                  std::to_string(total_bytes / frame_bytes) + " frames and " +
                  std::to_string(total_bytes % frame_bytes) + " bytes)");
}

bool RawReader::ReadFrame(Picture* picture) {
  const size_t frame_bytes = size_t(info_.layout.FrameBytes());
  picture->resize(frame_bytes);
  size_t filled = 0;
  while (filled < frame_bytes) {
    const size_t count = std::fread(picture->data() + filled, 1, frame_bytes - filled, file_);
    if (count == 0) break;
    filled += count;
  }
  bytes_read_ += int64_t(filled);
  if (std::ferror(file_)) throw ToolError("cannot read " + name_ + ": " + std::strerror(errno));
  if (filled == frame_bytes) return true;
  if (filled == 0) return false;
  // A pipe's length is known only at its end.
  ThrowPartialFrame(bytes_read_);
}

RawWriter::RawWriter(FILE* file, bool owned, const std::string& name)
    : file_(file), owned_(owned), name_(name) {}

RawWriter::~RawWriter() {
  if (owned_ && file_) std::fclose(file_);
}

void RawWriter::ThrowWriteError() const {
  throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
}

void RawWriter::WriteFrame(const Picture& picture) {
  if (std::fwrite(picture.data(), 1, picture.size(), file_) != picture.size()) ThrowWriteError();
}

void RawWriter::Finish() {
  if (std::fflush(file_) != 0) ThrowWriteError();
  if (owned_) {
    FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) ThrowWriteError();
  }
}
