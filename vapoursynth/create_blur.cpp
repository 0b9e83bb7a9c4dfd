#include "create_blur.h"

#include <string.h>

#include "blur_node.h"
#include "extent_checks.h"
#include "plane_list.h"
#include "refusal.h"

namespace {

constexpr int kDefaultExtent = 5;
constexpr const char* kDefaultBlur = "line";

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
Refusal ReadPlanes(const VSMap* in, const VSAPI* vsapi, PlaneList& listed) {
  const int count = vsapi->mapNumElements(in, "planes");
  if (count < 0) {
    listed.ListAll();
    return {};
  }
  for (int i = 0; i < count; ++i) {
    const Refusal refusal = listed.Add(vsapi->mapGetInt(in, "planes", i, nullptr));
    if (refusal.format) return refusal;
  }
  return {};
}

// The second and third planes are subsampled by the format's factors; each averaged plane
// gets an engine, the widest plane, the first, bounding every row.
bool DescribePlanes(BlurNode& node, Shape shape, int x, int y, const PlaneList& listed) {
  const VSVideoFormat& format = node.vi.format;
  PlaneSubsampling subsampling[kMostPlanes] = {};
  for (int p = 1; p < format.numPlanes; ++p)
    subsampling[p] = {format.subSamplingW, format.subSamplingH};
  return node.planes.Make(shape, x, y, node.vi.width, node.vi.height, listed, subsampling,
                          SamplesOf(format));
}

void Refuse(VSMap* out, const Refusal& refusal, const VSAPI* vsapi) {
  char message[160];
  WriteRefusal(refusal, message, sizeof(message));
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
  PlaneList listed(vi.format.numPlanes);
  if (!refusal.format) refusal = ReadPlanes(in, vsapi, listed);
  if (refusal.format) {
    Refuse(out, refusal, vsapi);
    vsapi->freeNode(source);
    return;
  }

  // Allocated by the plugin's own allocator, which yields null rather than throwing.
  BlurNode* node = new BlurNode;
  if (!node) {
    Refuse(out, {kOutOfMemory}, vsapi);
    vsapi->freeNode(source);
    return;
  }
  node->source = source;
  node->vi = vi;
  if (!DescribePlanes(*node, ShapeOf(keyword), x, y, listed)) {
    Refuse(out, {kOutOfMemory}, vsapi);
    FreeBlurNode(node, core, vsapi);
    return;
  }
  const VSFilterDependency dependency = {source, rpStrictSpatial};
  vsapi->createVideoFilter(out, "Blur", &node->vi, GetBlurredFrame, FreeBlurNode, fmParallel,
                           &dependency, 1, node, core);
}
