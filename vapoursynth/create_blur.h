// The function korvel.Blur: arguments read and checked, then a new filter node.
#pragma once

#include <VapourSynth4.h>

void VS_CC CreateBlur(const VSMap* in, VSMap* out, void* user_data, VSCore* core,
                      const VSAPI* vsapi);
