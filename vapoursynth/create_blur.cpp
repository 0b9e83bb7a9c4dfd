#include "create_blur.h"

#include <stdio.h>
#include <string.h>

#include "blur_node.h"
#include "extent_checks.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

// A refusal: the message and the number its %d shows, if any.
struct Refusal {
  const char* format = nullptr;
  int number = 0;
};

// The keyword as a C string; a keyword too long to be one of the three, or holding a zero
// byte, becomes one that the checks refuse.
void ReadKeyword(const VSMap* in, const VSAPI* vsapi, char (&keyword)[8]) {
  int error = 0;
  const char* data = vsapi->mapGetData(in, "blur", 0, &error);
  if (error) {
    strcpy(keyword, kDefaultBlur);
    return;
  }
  const int size = vsapi->mapGetDataSize(in, "blur", 0, &error);
  if (size < 0 || size >= int(sizeof(keyword)) || memchr(data, 0, size_t(size))) {
    strcpy(keyword, "?");
    return;
  }
  memcpy(keyword, data, size_t(size));
  keyword[size] = 0;
}

int ReadExtent(const VSMap* in, const char* key, const VSAPI* vsapi) {
  int error = 0;
  // Beyond the range of int, a value is refused as its nearest int would be.
  const int value = vsapi->mapGetIntSaturated(in, key, 0, &error);
  return error ? kDefaultExtent : value;
}

// The samples of the format as the engine takes them: integers of 8 bits in bytes or of 9 to
// 16 bits in words, or 32-bit floats; anything else (half floats) is not valid.
SampleFormat SamplesOf(const VSVideoFormat& format) {
  if (format.sampleType == stFloat)
    return {SampleType::kFloat32,
            format.bitsPerSample == 32 && format.bytesPerSample == 4 ? 32 : 0};
  if (format.bytesPerSample == 1) return {SampleType::kUint8, format.bitsPerSample};
  if (format.bytesPerSample == 2) return {SampleType::kUint16, format.bitsPerSample};
  return {SampleType::kUint8, 0};
}

// Only formats whose samples the engine takes, in one format and one size for the whole clip.
Refusal FormatRefusal(const VSVideoInfo& vi) {
  if (vi.format.colorFamily == cfUndefined || !SamplesOf(vi.format).IsValid())
    return {
        "Korvel: only constant formats of 8 to 16-bit integer or 32-bit float samples are "
        "accepted"};
  if (vi.width <= 0 || vi.height <= 0) return {"Korvel: only clips of constant size are accepted"};
  return {};
}

// Marks the planes listed; all of them when the list is absent.
Refusal ReadPlanes(const VSMap* in, const VSAPI* vsapi, int plane_count, bool (&listed)[3]) {
  const int count = vsapi->mapNumElements(in, "planes");
  if (count < 0) {
    for (bool& plane : listed) plane = true;
    return {};
  }
  for (int i = 0; i < count; ++i) {
    const int64_t plane = vsapi->mapGetInt(in, "planes", i, nullptr);
    if (plane < 0 || plane >= plane_count)
      return {"Korvel: planes must be between 0 and %d", plane_count - 1};
    if (listed[plane]) return {"Korvel: plane %d is listed twice", int(plane)};
    listed[plane] = true;
  }
  return {};
}

// The second and third planes are subsampled, by the format's factors; a plane is averaged
// where it is listed and the blur changes it.
void DescribePlanes(BlurNode& node, Shape shape, int x, int y, const bool (&listed)[3]) {
  const VSVideoFormat& format = node.vi.format;
  for (int p = 0; p < format.numPlanes; ++p) {
    const int log2_w = p > 0 ? format.subSamplingW : 0, log2_h = p > 0 ? format.subSamplingH : 0;
    PlaneBlur& plane = node.planes[p];
    plane = PlaneBlurOf(shape, x, y, log2_w, log2_h);
    plane.averaged = listed[p] && AveragingChangesPlane(plane, shape, node.vi.width >> log2_w,
                                                        node.vi.height >> log2_h);
  }
}

// Each averaged plane gets an engine: the first one made for its extents.
bool GiveEngines(BlurNode& node, Shape shape) {
  for (int p = 0; p < node.vi.format.numPlanes; ++p) {
    PlaneBlur& plane = node.planes[p];
    if (!plane.averaged) continue;
    for (int q = 0; q < p && !plane.engine; ++q)
      if (node.planes[q].averaged && node.planes[q].x == plane.x && node.planes[q].y == plane.y)
        plane.engine = node.planes[q].engine;
    if (plane.engine) continue;
    // The widest plane, the first, bounds every row.
    const SampleFormat samples = SamplesOf(node.vi.format);
    plane.engine = BlurEngine::Create(shape, plane.x, plane.y, samples,
                                      int64_t(node.vi.width) * samples.SampleBytes());
    if (!plane.engine) return false;
    node.engines[node.engine_count++] = plane.engine;
  }
  return true;
}

void Refuse(VSMap* out, const Refusal& refusal, const VSAPI* vsapi) {
  char message[160];
  snprintf(message, sizeof(message), refusal.format, refusal.number);
  vsapi->mapSetError(out, message);
}

}  // namespace

void VS_CC CreateBlur(const VSMap* in, VSMap* out, void*, VSCore* core, const VSAPI* vsapi) {
  VSNode* source = vsapi->mapGetNode(in, "clip", 0, nullptr);
  const VSVideoInfo vi = *vsapi->getVideoInfo(source);
  Refusal refusal = FormatRefusal(vi);
  char keyword[8];
  ReadKeyword(in, vsapi, keyword);
  const int x = ReadExtent(in, "x", vsapi);
  const int y = ReadExtent(in, "y", vsapi);
  if (!refusal.format)
    refusal.format = ExtentRefusal(keyword, x, y, vi.width, vi.height, &refusal.number);
  bool listed[3] = {};
  if (!refusal.format) refusal = ReadPlanes(in, vsapi, vi.format.numPlanes, listed);
  if (refusal.format) {
    Refuse(out, refusal, vsapi);
    vsapi->freeNode(source);
    return;
  }

  // Allocated by the plugin's own allocator, which yields null rather than throwing.
  BlurNode* node = new BlurNode;
  if (!node) {
    Refuse(out, {"Korvel: out of memory"}, vsapi);
    vsapi->freeNode(source);
    return;
  }
  node->source = source;
  node->vi = vi;
  const Shape shape = ShapeOf(keyword);
  DescribePlanes(*node, shape, x, y, listed);
  if (!GiveEngines(*node, shape)) {
    Refuse(out, {"Korvel: out of memory"}, vsapi);
    FreeBlurNode(node, core, vsapi);
    return;
  }
  const VSFilterDependency dependency = {source, rpStrictSpatial};
  vsapi->createVideoFilter(out, "Blur", &node->vi, GetBlurredFrame, FreeBlurNode, fmParallel,
                           &dependency, 1, node, core);
}
