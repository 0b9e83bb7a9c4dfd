// Single pictures in PNG files. RGB becomes rgb24 and RGBA rgb32; grey and palette
// pictures are expanded to RGB (with alpha when they carry transparency).
#pragma once

#include <memory>
#include <string>

#include "media_sink.h"
#include "media_source.h"
#include "pixel_format.h"

// Throws ToolError when the file cannot be read, or when this build has no PNG support.
std::unique_ptr<MediaSource> OpenPngSource(const std::string& path);

// Writes the one rgb24 or rgb32 frame it is given to `descriptor`, which stays open.
std::unique_ptr<MediaSink> OpenPngSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);
