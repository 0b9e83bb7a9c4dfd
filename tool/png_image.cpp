#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media_files.h"
#include "picture_frames.h"
#include "tool_error.h"

namespace {

class PngSink : public MediaSink {
 public:
  PngSink(int descriptor, const std::string& name, const FrameLayout& layout)
      : descriptor_(descriptor), name_(name), layout_(layout) {}

  void WriteFrame(AVFrame* frame) override {
    CheckFrameFits(frame, layout_);
    if (written_) throw ToolError(name_ + " can hold only one frame; choose one with --frames 1");
    written_ = true;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(layout_.width);
    image.height = png_uint_32(layout_.height);
    image.format = layout_.format == PixelFormat::kRgb32 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    FILE* file = OutputStream(descriptor_, name_);
    const int ok = png_image_write_to_stdio(&image, file, 0, frame->data[0],
                                            png_int_32(frame->linesize[0]), nullptr);
    const bool closed = std::fclose(file) == 0;
    if (!ok) {
      const std::string reason = image.message;
      png_image_free(&image);
      throw ToolError("cannot write " + name_ + ": " + reason);
    }
    if (!closed) throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
  }
  void WritePacket(int, AVPacket*) override {}
  void Finish() override {}

 private:
  int descriptor_;
  std::string name_;
  FrameLayout layout_;
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
bool DecodePng(FILE* file, FrameLayout* layout, AvFramePtr* frame, std::vector<png_bytep>* rows,
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
  *layout = {alpha ? PixelFormat::kRgb32 : PixelFormat::kRgb24, int(png_get_image_width(png, info)),
             int(png_get_image_height(png, info))};
  try {
    CheckFrameLayout(*layout);
    CheckAgainstFileSize(*layout, stored_row_bytes, file);
  } catch (const ToolError& error) {
    *reason = error.what();
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  *frame = NewVideoFrame(AvFormatOf(layout->format), layout->width, layout->height);
  rows->resize(size_t(layout->height));
  for (size_t y = 0; y < rows->size(); ++y)
    (*rows)[y] = (*frame)->data[0] + ptrdiff_t(y) * (*frame)->linesize[0];
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

std::unique_ptr<MediaSource> OpenPngSource(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
  FrameLayout layout;
  auto frame = std::make_shared<AvFramePtr>();
  std::vector<png_bytep> rows;
  std::string reason;
  const bool decoded = DecodePng(file, &layout, frame.get(), &rows, &reason);
  std::fclose(file);
  if (!decoded) throw ToolError("cannot read " + path + ": " + reason);
  return PictureSource(path, InputKind::kPicture, layout, 1, [frame] { return std::move(*frame); });
}

std::unique_ptr<MediaSink> OpenPngSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout) {
  if (!layout.IsRgb())
    throw ToolError(name + ": PNG files hold rgb24 or rgb32 pictures, not " +
                    NameOf(layout.format));
  return std::make_unique<PngSink>(descriptor, name, layout);
}
