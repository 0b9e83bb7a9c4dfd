// Which source or sink a file name calls for: '-' and .raw names are raw frames, .png
// names are pictures, .avs names are scripts (input only) for AviSynth+, every other name
// is a video (or a picture) for FFmpeg's libraries.
#pragma once

#include <memory>
#include <string>

#include "frame_stream.h"
#include "options.h"

class OutputTarget;
class ScriptSource;
class VideoSink;
class VideoSource;

// How messages call a file: "standard input" or "standard output" for '-'.
std::string InputName(const std::string& name);
std::string OutputName(const std::string& name);

struct Input {
  std::unique_ptr<FrameSource> source;
  VideoSource* video = nullptr;  // the source, when it is a video
  // The source, when it is a script, whose frames are written as it gives them: it calls
  // Korvel itself.
  ScriptSource* script = nullptr;
};

// Throws UsageError or ToolError when the input cannot be opened as its name says.
Input OpenInput(const Options& options);

struct Output {
  std::unique_ptr<FrameSink> sink;
  VideoSink* video = nullptr;  // the sink, when it is a video
};

// A sink for OUTPUT, in the input's format, writing to the target's descriptor.
Output OpenOutput(const Options& options, const Input& input, const OutputTarget& target);
