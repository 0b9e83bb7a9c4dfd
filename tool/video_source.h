// Videos, and pictures FFmpeg reads, demuxed and decoded in this process by FFmpeg's
// libraries. The video stream's packets are decoded into frames in the video's own pixel
// format; the other streams' packets are given as they are. Damage of any kind is an
// error naming the input.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media.h"

// `frame_limit` bounds what a message on a short video expects. Throws ToolError naming
// `path` when it cannot be read as a video.
std::unique_ptr<MediaSource> OpenVideoSource(const std::string& path,
                                             std::optional<int64_t> frame_limit);
