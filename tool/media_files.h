// Which source or sink a file name calls for, and the sources and sinks there are: '-' and
// .raw names are raw frames, .png names pictures (an animated PNG is a video), .avs names
// scripts for AviSynth+ (input only), every other name a video or picture for FFmpeg's
// libraries. Each throws ToolError naming its file when that cannot be opened as named.
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

// A video, or a picture FFmpeg reads (video_source.cpp): the video stream decoded into
// frames in its own pixel format, the other streams' packets as they are; damage of any kind
// is an error. `frame_limit` bounds what a message on a short video expects.
std::unique_ptr<MediaSource> OpenVideoSource(const std::string& path,
                                             std::optional<int64_t> frame_limit);

// An AviSynth+ script, evaluated by the host's library loaded at run time (script_source.cpp):
// the frames of its clip as they are (it calls Korvel itself), times counting frames, and its
// sound as a second stream of PCM packets, each after the frame it goes with.
std::unique_ptr<MediaSource> OpenScriptSource(const std::string& path,
                                              std::optional<int64_t> frame_limit);

// Raw frames back to back, from `path` ('-': standard input), or into `descriptor`, which
// stays open (raw_frames.cpp). A regular file's length is checked at once, so that a stray
// byte count is reported before any work is done.
std::unique_ptr<MediaSource> OpenRawSource(const std::string& path, const FrameLayout& layout);
std::unique_ptr<MediaSink> OpenRawSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);

// A single PNG picture (png_image.cpp): RGB becomes rgb24, RGBA rgb32, grey and palettes RGB
// (with alpha where they carry transparency). Its sink writes one rgb24 or rgb32 frame to
// `descriptor`, which stays open. Builds without libpng refuse both.
std::unique_ptr<MediaSource> OpenPngSource(const std::string& path);
std::unique_ptr<MediaSink> OpenPngSink(int descriptor, const std::string& name,
                                       const FrameLayout& layout);

// OUTPUT as a video or a single picture (video_sink.cpp), as the plan says: the frames in the
// plan's format with the input's times, colours and shape, the other streams copied or
// encoded again, the input's tags and chapters. Written to `descriptor` in place, or to the
// regular file `temporary_path` names, which muxers may read back (to move an index ahead).
std::unique_ptr<MediaSink> OpenVideoSink(int descriptor, const std::string& temporary_path,
                                         const StreamPlan& plan);
