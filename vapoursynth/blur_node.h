// A korvel.Blur node: the source, what each plane gets, and the engines that average them.
#pragma once

#include <VapourSynth4.h>

#include "heap.h"
#include "plane_blurs.h"

struct BlurNode : public HeapAllocated {
  VSNode* source = nullptr;
  VSVideoInfo vi{};
  PlaneBlurs planes;

  BlurNode() = default;
  BlurNode(const BlurNode&) = delete;
  BlurNode& operator=(const BlurNode&) = delete;
};

const VSFrame* VS_CC GetBlurredFrame(int n, int activation_reason, void* instance_data,
                                     void** frame_data, VSFrameContext* frame_context, VSCore* core,
                                     const VSAPI* vsapi);
void VS_CC FreeBlurNode(void* instance_data, VSCore* core, const VSAPI* vsapi);
