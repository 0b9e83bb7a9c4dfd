#include "blur_node.h"

#include "refusal.h"

namespace {

const char* FailureMessage(AverageResult result) {
  return result == AverageResult::kOutOfMemory ? kOutOfMemory : "computing error";
}

}  // namespace

const VSFrame* VS_CC GetBlurredFrame(int n, int activation_reason, void* instance_data, void**,
                                     VSFrameContext* frame_context, VSCore* core,
                                     const VSAPI* vsapi) {
  const BlurNode& node = *static_cast<const BlurNode*>(instance_data);
  if (activation_reason == arInitial) {
    vsapi->requestFrameFilter(n, node.source, frame_context);
    return nullptr;
  }
  if (activation_reason != arAllFramesReady) return nullptr;

  const VSFrame* src = vsapi->getFrameFilter(n, node.source, frame_context);
  const int plane_count = node.vi.format.numPlanes;
  // The planes left as they are share the source's memory; the others are written below.
  const VSFrame* plane_sources[3] = {};
  const int plane_numbers[3] = {0, 1, 2};
  for (int p = 0; p < plane_count; ++p)
    if (!node.planes[p].averaged) plane_sources[p] = src;
  VSFrame* dst = vsapi->newVideoFrame2(&node.vi.format, node.vi.width, node.vi.height,
                                       plane_sources, plane_numbers, src, core);

  for (int p = 0; p < plane_count; ++p) {
    if (!node.planes[p].averaged) continue;
    const AverageResult result =
        BlurPlane(node.planes[p], vsapi->getReadPtr(src, p), vsapi->getStride(src, p),
                  vsapi->getWritePtr(dst, p), vsapi->getStride(dst, p),
                  vsapi->getFrameWidth(dst, p), vsapi->getFrameHeight(dst, p));
    if (result != AverageResult::kDone) {
      vsapi->setFilterError(FailureMessage(result), frame_context);
      vsapi->freeFrame(dst);
      vsapi->freeFrame(src);
      return nullptr;
    }
  }
  vsapi->freeFrame(src);
  return dst;
}

void VS_CC FreeBlurNode(void* instance_data, VSCore*, const VSAPI* vsapi) {
  BlurNode* node = static_cast<BlurNode*>(instance_data);
  vsapi->freeNode(node->source);
  delete node;
}
