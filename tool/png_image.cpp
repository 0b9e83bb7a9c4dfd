#include "png_image.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

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
  PngWriter(int descriptor, const std::string& name, const FrameLayout& layout, bool opaque)
      : descriptor_(descriptor),
        name_(name),
        layout_(layout),
        drop_alpha_(opaque && layout.format == PixelFormat::kRgb32) {}

  void WriteFrame(const Picture& given) override {
    // A fourth channel that is only padding is left out: else it would show as transparency.
    Picture without_alpha;
    if (drop_alpha_) {
      without_alpha.resize(given.size() / 4 * 3);
      for (size_t in = 0, out = 0; in < given.size(); in += 4, out += 3)
        std::memcpy(&without_alpha[out], &given[in], 3);
    }
    const Picture& picture = drop_alpha_ ? without_alpha : given;
    const FrameLayout layout{drop_alpha_ ? PixelFormat::kRgb24 : layout_.format, layout_.width,
                             layout_.height};
    if (written_) throw ToolError(name_ + " can hold only one frame; choose one with --frames 1");
    written_ = true;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(layout.width);
    image.height = png_uint_32(layout.height);
    image.format = layout.format == PixelFormat::kRgb32 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    // A stream of its own, so that closing it leaves the output's descriptor open.
    const int descriptor = dup(descriptor_);
    FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
    if (!file && descriptor >= 0) close(descriptor);
    if (!file) throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
    const int ok = png_image_write_to_stdio(&image, file, 0, picture.data(),
                                            png_int_32(layout.RowBytes()), nullptr);
    const bool closed = std::fclose(file) == 0;
    if (!ok) {
      const std::string reason = image.message;
      png_image_free(&image);
      throw ToolError("cannot write " + name_ + ": " + reason);
    }
    if (!closed) throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
  }
  void Finish() override {}

 private:
  int descriptor_;
  std::string name_;
  FrameLayout layout_;
  bool drop_alpha_;
  bool written_ = false;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Deflate packs at most 1032 bytes into one, so a file declaring more rows than its size
// can hold is refused before its picture is allocated.
constexpr uint64_t kMostDeflateRatio = 1032;

void CheckAgainstFileSize(const FrameLayout& layout, size_t row_bytes, FILE* file) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return;
  const uint64_t stored = (uint64_t(row_bytes) + 1) * uint64_t(layout.height);
  if (stored / kMostDeflateRatio > uint64_t(status.st_size))
    throw ToolError("it declares " + std::to_string(layout.width) + "x" +
                    std::to_string(layout.height) + " pixels, more than its " +
                    std::to_string(status.st_size) + " bytes can hold");
}

// Decodes the whole picture; false with libpng's reason. The samples are taken as stored:
// a gamma the file declares changes nothing, and 16-bit samples become the nearest 8-bit
// value. Everything with a destructor lives outside, as libpng leaves by a long jump.
bool DecodePng(FILE* file, StreamInfo* stream, Picture* picture, std::vector<png_bytep>* rows,
               std::string* reason) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, reason, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    *reason = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const size_t stored_row_bytes = png_get_rowbytes(png, info);
  png_set_expand(png);  // palettes and grey below 8 bits to 8 bits, transparency to alpha
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const bool alpha = png_get_channels(png, info) == 4;
  stream->layout = {alpha ? PixelFormat::kRgb32 : PixelFormat::kRgb24,
                    int(png_get_image_width(png, info)), int(png_get_image_height(png, info))};
  try {
    CheckFrameLayout(stream->layout);
    CheckAgainstFileSize(stream->layout, stored_row_bytes, file);
  } catch (const ToolError& error) {
    *reason = error.what();
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  picture->resize(size_t(stream->layout.FrameBytes()));
  rows->resize(size_t(stream->layout.height));
  for (size_t y = 0; y < rows->size(); ++y)
    (*rows)[y] = picture->data() + y * size_t(stream->layout.RowBytes());
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

std::unique_ptr<FrameReader> OpenPngReader(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
  StreamInfo info;
  info.frame_count = 1;
  Picture picture;
  std::vector<png_bytep> rows;
  std::string reason;
  const bool decoded = DecodePng(file, &info, &picture, &rows, &reason);
  std::fclose(file);
  if (!decoded) throw ToolError("cannot read " + path + ": " + reason);
  return std::make_unique<PngReader>(info, std::move(picture));
}

std::unique_ptr<FrameWriter> OpenPngWriter(int descriptor, const std::string& name,
                                           const FrameLayout& layout, bool opaque) {
  if (!layout.IsRgb())
    throw ToolError(name + ": PNG files hold rgb24 or rgb32 pictures, not " +
                    NameOf(layout.format));
  return std::make_unique<PngWriter>(descriptor, name, layout, opaque);
}
