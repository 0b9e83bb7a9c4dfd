#include "korvel_blur_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "first_difference.h"
#include "plane_extents.h"
#include "reference_pictures.h"

namespace korvel_real_host {

const HostFormat kHostFormats[] = {
    {"Y8", 1, 0, 0, 8, false, false},          {"Y10", 1, 0, 0, 10, false, false},
    {"Y16", 1, 0, 0, 16, false, false},        {"Y32", 1, 0, 0, 32, false, false},
    {"YV12", 3, 1, 1, 8, false, false},        {"YUV420P10", 3, 1, 1, 10, false, false},
    {"YUV420P16", 3, 1, 1, 16, false, false},  {"YUV420PS", 3, 1, 1, 32, false, false},
    {"YV16", 3, 1, 0, 8, false, false},        {"YUV422P12", 3, 1, 0, 12, false, false},
    {"YV24", 3, 0, 0, 8, false, false},        {"YUV444P14", 3, 0, 0, 14, false, false},
    {"YUV444PS", 3, 0, 0, 32, false, false},   {"YV411", 3, 2, 0, 8, false, false},
    {"YUVA420P8", 4, 1, 1, 8, false, false},   {"YUVA422P10", 4, 1, 0, 10, false, false},
    {"YUVA444P16", 4, 0, 0, 16, false, false}, {"YUVA420PS", 4, 1, 1, 32, false, false},
    {"RGBP8", 3, 0, 0, 8, false, true},        {"RGBP10", 3, 0, 0, 10, false, true},
    {"RGBAP8", 4, 0, 0, 8, false, true},       {"RGBAP16", 4, 0, 0, 16, false, true},
    {"RGBPS", 3, 0, 0, 32, false, true},       {"RGBAPS", 4, 0, 0, 32, false, true},
    {"RGB24", 3, 0, 0, 8, true, true},         {"RGB32", 4, 0, 0, 8, true, true},
    {"RGB48", 3, 0, 0, 16, true, true},        {"RGB64", 4, 0, 0, 16, true, true},
};
const int kHostFormatCount = int(std::size(kHostFormats));

const HostFormat& HostFormatNamed(const std::string& pixel_type) {
  for (const HostFormat& format : kHostFormats)
    if (pixel_type == format.pixel_type) return format;
  throw std::runtime_error("no format " + pixel_type);
}

void PrintTo(const KorvelBlurCase& c, std::ostream* os) {
  *os << c.width << "x" << c.height << " " << c.format->pixel_type << " " << c.blur << " x=" << c.x
      << " y=" << c.y;
  if (!c.planes.empty()) {
    *os << " planes=[";
    for (size_t i = 0; i < c.planes.size(); ++i) *os << (i ? "," : "") << c.planes[i];
    *os << "]";
  }
}

std::string DetailedSourceOf(const HostFormat& format, int width, int height, int frames) {
  // As DetailedSource's planes, modulo the format's range; floats from 0 to 1.
  const char* planes[] = {
      "sx sx * 5 * sy sy * 3 * + sx sy * 7 * + sx 11 * + sy 13 * + frameno 29 * +",
      "sx sx * 3 * sy sy * 7 * + sx sy * 5 * + sx 17 * + sy 3 * + frameno 41 * + 37 +",
      "sx sx * 7 * sy sy * 5 * + sx sy * 3 * + sx 5 * + sy 19 * + frameno 23 * + 101 +",
      "sx sx * 11 * sy sy * 13 * + sx sy * 2 * + sx 7 * + sy 11 * + frameno 31 * + 211 +"};
  const std::string range =
      format.bits == 32 ? " 1000 % 1000 /" : " " + std::to_string(1 << format.bits) + " %";
  std::string pixel_type = format.pixel_type;
  std::string conversion;
  if (format.packed) {
    // Made planar, then packed by the host.
    const bool alpha = format.plane_count == 4;
    pixel_type = std::string(alpha ? "RGBAP" : "RGBP") + std::to_string(format.bits);
    conversion = format.bits == 8 ? (alpha ? ".ConvertToRGB32()" : ".ConvertToRGB24()")
                                  : (alpha ? ".ConvertToRGB64()" : ".ConvertToRGB48()");
  }
  std::string script = "BlankClip(length=" + std::to_string(frames) +
                       ", width=" + std::to_string(width) + ", height=" + std::to_string(height) +
                       ", pixel_type=\"" + pixel_type + "\").Expr(";
  for (int p = 0; p < format.plane_count; ++p)
    script += std::string(p ? ", " : "") + "\"" + planes[p] + range + "\"";
  return script + ")" + conversion;
}

std::string KorvelBlurScript(const std::string& clip, const KorvelBlurCase& c) {
  std::string script = clip + ".KorvelBlur(x=" + std::to_string(c.x) +
                       ", y=" + std::to_string(c.y) + ", blur=\"" + c.blur + "\"";
  if (!c.planes.empty()) {
    script += ", planes=[";
    for (size_t i = 0; i < c.planes.size(); ++i)
      script += (i ? ", " : "") + std::to_string(c.planes[i]);
    script += "]";
  }
  return script + ")";
}

namespace {

using korvel_test::FirstDifference;

// The rows in the other order: a packed picture's rows from its top.
std::vector<uint8_t> Flipped(const std::vector<uint8_t>& bytes, int row_bytes) {
  std::vector<uint8_t> flipped(bytes.size());
  const size_t rows = bytes.size() / size_t(row_bytes);
  for (size_t row = 0; row < rows; ++row)
    std::memcpy(&flipped[row * size_t(row_bytes)], &bytes[(rows - 1 - row) * size_t(row_bytes)],
                size_t(row_bytes));
  return flipped;
}

template <typename Sample>
std::vector<Sample> SamplesOf(const std::vector<uint8_t>& bytes) {
  std::vector<Sample> samples(bytes.size() / sizeof(Sample));
  std::memcpy(samples.data(), bytes.data(), bytes.size());
  return samples;
}

// The model of an integer plane, in the plane's own row order.
template <typename Sample>
std::vector<uint8_t> ModelBytes(const StoredPlane& source, bool bottom_up, int x, int y,
                                const std::string& blur) {
  const std::vector<uint8_t> picture =
      bottom_up ? Flipped(source.bytes, source.RowBytes()) : source.bytes;
  const std::vector<Sample> blurred = korvel_test::ReferenceBlur(
      SamplesOf<Sample>(picture), source.width, source.height, source.channels, x, y, blur);
  std::vector<uint8_t> bytes(picture.size());
  std::memcpy(bytes.data(), blurred.data(), bytes.size());
  return bottom_up ? Flipped(bytes, source.RowBytes()) : bytes;
}

// Floats: every sample within the model's bound of the exact mean.
void ExpectFloatPlaneNearModel(const StoredPlane& source, const StoredPlane& actual, int x, int y,
                               const std::string& blur, const std::string& where) {
  const std::vector<float> samples = SamplesOf<float>(source.bytes);
  const std::vector<double> exact = korvel_test::ReferenceMeans(
      samples, source.width, source.height, source.channels, x, y, blur);
  double largest = 0;
  for (const float s : samples)
    if (std::isfinite(s)) largest = std::max(largest, double(std::fabs(s)));
  const std::vector<float> got = SamplesOf<float>(actual.bytes);
  for (size_t i = 0; i < got.size(); ++i)
    if (!korvel_test::FloatMeanAcceptable(got[i], exact[i], largest)) {
      ADD_FAILURE() << where << ": sample " << i << " is " << got[i] << ", the mean " << exact[i];
      return;
    }
}

bool Listed(const KorvelBlurCase& c, int p) {
  return c.planes.empty() || std::find(c.planes.begin(), c.planes.end(), p) != c.planes.end();
}

// One channel of a packed picture as the source has it.
void RestoreChannel(const StoredPlane& source, int channel, std::vector<uint8_t>& bytes) {
  const size_t pixel_bytes = size_t(source.channels * source.sample_bytes);
  for (size_t pixel = 0; pixel < bytes.size() / pixel_bytes; ++pixel) {
    const size_t at = pixel * pixel_bytes + size_t(channel * source.sample_bytes);
    std::memcpy(&bytes[at], &source.bytes[at], size_t(source.sample_bytes));
  }
}

// Whether the call blurs plane p of the case, and with which extents.
bool PlaneExtents(const KorvelBlurCase& c, int p, int* x, int* y) {
  const bool chroma = !c.format->rgb && (p == 1 || p == 2);
  return Listed(c, p) &&
         korvel_test::PlaneExtents(c.blur.c_str(), c.x, c.y, chroma ? c.format->log2_w : 0,
                                   chroma ? c.format->log2_h : 0, x, y);
}

}  // namespace

void ExpectPlaneAsModel(const KorvelBlurCase& c, int p, const StoredPlane& source,
                        const StoredPlane& actual, const std::string& where) {
  int x = 0, y = 0;
  if (c.format->packed) {
    // One plane in memory (B, G, R, A): the model blurs every channel, and those left
    // out of `planes` keep the source's samples.
    std::vector<uint8_t> expected = source.sample_bytes == 1
                                        ? ModelBytes<uint8_t>(source, true, c.x, c.y, c.blur)
                                        : ModelBytes<uint16_t>(source, true, c.x, c.y, c.blur);
    const int memory_channel[] = {2, 1, 0, 3};
    for (int channel = 0; channel < c.format->plane_count; ++channel)
      if (!Listed(c, channel)) RestoreChannel(source, memory_channel[channel], expected);
    const auto difference = FirstDifference(expected, actual.bytes, source.RowBytes());
    EXPECT_FALSE(difference) << where << ": " << *difference;
    return;
  }
  if (!PlaneExtents(c, p, &x, &y)) {
    const auto difference = FirstDifference(source.bytes, actual.bytes, source.RowBytes());
    EXPECT_FALSE(difference) << where << " (left as it was): " << *difference;
    return;
  }
  if (source.sample_bytes == 4) {
    ExpectFloatPlaneNearModel(source, actual, x, y, c.blur, where);
    return;
  }
  const std::vector<uint8_t> expected = source.sample_bytes == 1
                                            ? ModelBytes<uint8_t>(source, false, x, y, c.blur)
                                            : ModelBytes<uint16_t>(source, false, x, y, c.blur);
  const auto difference = FirstDifference(expected, actual.bytes, source.RowBytes());
  EXPECT_FALSE(difference) << where << ": " << *difference;
}

}  // namespace korvel_real_host
