// Single pictures in PNG files. RGB becomes rgb24 and RGBA rgb32; grey and palette
// pictures are expanded to RGB (with alpha when they carry transparency).
#pragma once

#include <memory>
#include <string>

#include "frame_stream.h"

// Throws ToolError when the file cannot be read, or when this build has no PNG support.
std::unique_ptr<FrameReader> OpenPngReader(const std::string& path);

// Writes the one frame it is given to `descriptor`, which stays open; only rgb24 and rgb32
// frames can be written, rgb32 as RGB without alpha where it is `opaque`.
std::unique_ptr<FrameWriter> OpenPngWriter(int descriptor, const std::string& name,
                                           const FrameLayout& layout, bool opaque);
