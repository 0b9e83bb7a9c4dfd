#include "png_image.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tool_error.h"

namespace {

class PngReader : public FrameReader {
 public:
  PngReader(const StreamInfo& info, Picture picture) : info_(info), picture_(std::move(picture)) {}
  const StreamInfo& Info() const override { return info_; }
  bool ReadFrame(Picture* picture) override {
    if (delivered_) return false;
    delivered_ = true;
    *picture = std::move(picture_);
    return true;
  }

 private:
  StreamInfo info_;
  Picture picture_;
  bool delivered_ = false;
};

class PngWriter : public FrameWriter {
 public:
  PngWriter(const std::string& path, const std::string& name, const FrameLayout& layout)
      : path_(path), name_(name), layout_(layout) {}

  void WriteFrame(const Picture& picture) override {
    if (written_) throw ToolError(name_ + " can hold only one frame; choose one with --frames 1");
    written_ = true;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(layout_.width);
    image.height = png_uint_32(layout_.height);
    image.format = layout_.format == PixelFormat::kRgb32 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    const int ok = png_image_write_to_file(&image, path_.c_str(), 0, picture.data(),
                                           png_int_32(layout_.RowBytes()), nullptr);
    if (!ok) {
      const std::string reason = image.message;
      png_image_free(&image);
      throw ToolError("cannot write " + name_ + ": " + reason);
    }
  }
  void Finish() override {}

 private:
  std::string path_;
  std::string name_;
  FrameLayout layout_;
  bool written_ = false;
};

}  // namespace

std::unique_ptr<FrameReader> OpenPngReader(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  auto fail = [&](const std::string& reason) {
    png_image_free(&image);
    return ToolError("cannot read " + path + ": " + reason);
  };
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
  const int began = png_image_begin_read_from_stdio(&image, file);
  if (!began) {
    std::fclose(file);
    throw fail(image.message);
  }

  StreamInfo info;
  info.frame_count = 1;
  info.layout.width = int(image.width);
  info.layout.height = int(image.height);
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  info.layout.format = alpha ? PixelFormat::kRgb32 : PixelFormat::kRgb24;
  image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  try {
    CheckFrameLayout(info.layout);
  } catch (const ToolError& error) {
    std::fclose(file);
    throw fail(error.what());
  }

  Picture picture(size_t(info.layout.FrameBytes()));
  const int finished = png_image_finish_read(&image, nullptr, picture.data(),
                                             png_int_32(info.layout.RowBytes()), nullptr);
  std::fclose(file);
  if (!finished) throw fail(image.message);
  return std::make_unique<PngReader>(info, std::move(picture));
}

std::unique_ptr<FrameWriter> OpenPngWriter(const std::string& path, const std::string& name,
                                           const FrameLayout& layout) {
  if (!layout.IsRgb())
    throw ToolError(name + ": PNG files hold rgb24 or rgb32 pictures, not " +
                    NameOf(layout.format));
  return std::make_unique<PngWriter>(path, name, layout);
}
