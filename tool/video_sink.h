// OUTPUT as a video, or a single picture, encoded and written by FFmpeg's libraries in
// this process, as the stream plan says: the frames encoded in the plan's format with the
// input's times, colours and shape; the other streams copied or encoded again; the input's
// tags and chapters.
#pragma once

#include <memory>
#include <string>

#include "media.h"
#include "stream_plan.h"

// Writes to `descriptor` in place, or, when `temporary_path` is not empty, to the regular
// file it names, which muxers may read back (to move an index to the front). Throws
// ToolError naming the output.
std::unique_ptr<MediaSink> OpenVideoSink(int descriptor, const std::string& temporary_path,
                                         const StreamPlan& plan);
