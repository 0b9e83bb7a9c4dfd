#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media_files.h"
#include "picture_frames.h"
#include "tool_error.h"

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;
int LeaveOpen(FILE*) { return 0; }  // standard input

class RawReader {
 public:
  RawReader(FILE* file, bool owned, const std::string& name, const FrameLayout& layout)
      : file_(file, owned ? std::fclose : LeaveOpen), name_(name), layout_(layout) {}

  // The file's frames when known now, else -1; throws for a length of no whole frames.
  int64_t FrameCount() const {
    struct stat status;
    if (fstat(fileno(file_.get()), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    if (status.st_size % layout_.FrameBytes() != 0) ThrowPartialFrame(status.st_size);
    return status.st_size / layout_.FrameBytes();
  }

  AvFramePtr Read() {
    AvFramePtr frame = NewVideoFrame(AvFormatOf(layout_.format), layout_.width, layout_.height);
    int64_t filled = 0;
    ForEachFileRow(layout_, frame.get(), [&](uint8_t* row, size_t bytes) {
      filled += int64_t(std::fread(row, 1, bytes, file_.get()));
    });
    bytes_read_ += filled;
    if (std::ferror(file_.get()))
      throw ToolError("cannot read " + name_ + ": " + std::strerror(errno));
    if (filled == layout_.FrameBytes()) return frame;
    if (filled == 0) return nullptr;
    // A pipe's length is known only at its end.
    ThrowPartialFrame(bytes_read_);
  }

 private:
  [[noreturn]] void ThrowPartialFrame(int64_t total_bytes) const {
    const int64_t frame_bytes = layout_.FrameBytes();
    throw ToolError(name_ + " holds " + std::to_string(total_bytes) +
                    " bytes, which is not a whole number of " + std::to_string(layout_.width) +
                    "x" + std::to_string(layout_.height) + " " + NameOf(layout_.format) +
                    " frames of " + std::to_string(frame_bytes) + " bytes (" +
                    std::to_string(total_bytes / frame_bytes) + " frames and " +
                    std::to_string(total_bytes % frame_bytes) + " bytes)");
  }

  FilePtr file_;
  std::string name_;
  FrameLayout layout_;
  int64_t bytes_read_ = 0;
};

class RawSink : public MediaSink {
 public:
  RawSink(FILE* file, const std::string& name, const FrameLayout& layout)
      : file_(file, std::fclose), name_(name), layout_(layout) {}

  void WriteFrame(AVFrame* frame) override {
    CheckFrameFits(frame, layout_);
    ForEachFileRow(layout_, frame, [&](uint8_t* row, size_t bytes) {
      if (std::fwrite(row, 1, bytes, file_.get()) != bytes) ThrowWriteError();
    });
  }
  void WritePacket(int, AVPacket*) override {}
  void Finish() override {
    if (std::fclose(file_.release()) != 0) ThrowWriteError();
  }

 private:
  [[noreturn]] void ThrowWriteError() const {
    throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
  }

  FilePtr file_;
  std::string name_;
  FrameLayout layout_;
};

}  // namespace

std::unique_ptr<MediaSource> OpenRawSource(const std::string& path, const FrameLayout& layout) {
  const bool standard = path == "-";
  FILE* file = standard ? stdin : std::fopen(path.c_str(), "rb");
  if (!file) throw ToolError("cannot open " + path + ": " + std::strerror(errno));
  auto reader =
      std::make_shared<RawReader>(file, !standard, standard ? "standard input" : path, layout);
  return PictureSource(standard ? "standard input" : path, InputKind::kRaw, layout,
                       reader->FrameCount(), [reader] { return reader->Read(); });
}

std::unique_ptr<MediaSink> OpenRawSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout) {
  return std::make_unique<RawSink>(OutputStream(descriptor, name), name, layout);
}
