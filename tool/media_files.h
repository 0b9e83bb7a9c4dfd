// Which source or sink a file name calls for, and the sources and sinks there are: '-' and
// .raw names are raw frames, .png names are pictures (an animated PNG is a video), .avs names
// are scripts (input only) for AviSynth+, every other name is a video (or a picture) for
// FFmpeg's libraries. Each throws ToolError naming its file when that cannot be opened as
// its name says.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media.h"
#include "options.h"
#include "stream_plan.h"

class OutputTarget;

// How messages call a file: "standard input" or "standard output" for '-'.
std::string InputName(const std::string& name);
std::string OutputName(const std::string& name);

// Throws UsageError or ToolError when the input cannot be opened as its name says.
std::unique_ptr<MediaSource> OpenInput(const Options& options);

// A sink for OUTPUT as the plan says, writing to the target's descriptor.
std::unique_ptr<MediaSink> OpenOutput(const StreamPlan& plan, const OutputTarget& target);

// Videos, and pictures FFmpeg reads, demuxed and decoded by FFmpeg's libraries
// (video_source.cpp): the video stream's packets decoded into frames in the video's own
// pixel format, the other streams' packets given as they are, and damage of any kind an
// error. `frame_limit` bounds what a message on a short video expects.
std::unique_ptr<MediaSource> OpenVideoSource(const std::string& path,
                                             std::optional<int64_t> frame_limit);

// An AviSynth+ script (script_source.cpp), evaluated by the host's library, loaded at run
// time, with the plugins it loads by itself or those the script loads: the frames of the
// clip it ends with, as they are (the script calls Korvel itself), their times counting
// frames; its sound, when there is any, a second stream of PCM packets, each following the
// frame it goes with. Refused when the host is missing, the script fails, or its clip has no
// video in a format the command writes.
std::unique_ptr<MediaSource> OpenScriptSource(const std::string& path,
                                              std::optional<int64_t> frame_limit);

// Raw frames of `layout` back to back (raw_frames.cpp), from `path` ('-': standard input). A
// regular file's length is checked at once, so that a stray byte count is reported before any work
// is done.
std::unique_ptr<MediaSource> OpenRawSource(const std::string& path, const FrameLayout& layout);
// Raw frames of `layout` written to `descriptor`, which stays open.
std::unique_ptr<MediaSink> OpenRawSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);

// A single picture in a PNG file (png_image.cpp): RGB becomes rgb24 and RGBA rgb32; grey and
// palette pictures are expanded to RGB (with alpha when they carry transparency). Throws ToolError
// when the file cannot be read, or when this build has no PNG support.
std::unique_ptr<MediaSource> OpenPngSource(const std::string& path);
// Writes the one rgb24 or rgb32 frame it is given to `descriptor`, which stays open.
std::unique_ptr<MediaSink> OpenPngSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);

// OUTPUT as a video, or a single picture, encoded and written by FFmpeg's libraries as the
// plan says (video_sink.cpp): the frames in the plan's format with the input's times,
// colours and shape, the other streams copied or encoded again, the input's tags and
// chapters. Writes to `descriptor` in place, or, when `temporary_path` is not empty, to the
// regular file it names, which muxers may read back (to move an index to the front).
std::unique_ptr<MediaSink> OpenVideoSink(int descriptor, const std::string& temporary_path,
                                         const StreamPlan& plan);
