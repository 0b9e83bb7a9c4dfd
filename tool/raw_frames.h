// Raw frames back to back, from a file or a pipe, and into one.
#pragma once

#include <memory>
#include <string>

#include "media_sink.h"
#include "media_source.h"
#include "pixel_format.h"

// Frames of `layout` from `path` ('-': standard input). A regular file's length is checked
// at once, so that a stray byte count is reported before any work is done.
std::unique_ptr<MediaSource> OpenRawSource(const std::string& path, const FrameLayout& layout);

// Frames of `layout` written to `descriptor`, which stays open, named `name` in messages.
std::unique_ptr<MediaSink> OpenRawSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);
