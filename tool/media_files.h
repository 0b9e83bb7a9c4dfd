// Which source or sink a file name calls for: '-' and .raw names are raw frames, .png
// names are pictures (an animated PNG is a video), .avs names are scripts (input only) for
// AviSynth+, every other name is a video (or a picture) for FFmpeg's libraries.
#pragma once

#include <memory>
#include <string>

#include "media_sink.h"
#include "media_source.h"
#include "options.h"
#include "stream_plan.h"

class OutputTarget;

// How messages call a file: "standard input" or "standard output" for '-'.
std::string InputName(const std::string& name);
std::string OutputName(const std::string& name);

// Throws UsageError or ToolError when the input cannot be opened as its name says.
std::unique_ptr<MediaSource> OpenInput(const Options& options);

// A sink for OUTPUT as the plan says, writing to the target's descriptor.
std::unique_ptr<MediaSink> OpenOutput(const StreamPlan& plan, const Options& options,
                                      const OutputTarget& target);
