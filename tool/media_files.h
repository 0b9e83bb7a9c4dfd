// Which reader or writer a file name calls for: '-' and .raw names are raw frames, .png
// names are pictures, every other name is a video for ffmpeg.
#pragma once

#include <memory>
#include <string>

#include "frame_stream.h"
#include "options.h"

enum class MediaKind { kRaw, kPng, kVideo };

MediaKind KindOfName(const std::string& name);

// How messages call a file: "standard input" or "standard output" for '-'.
std::string InputName(const std::string& name);
std::string OutputName(const std::string& name);

struct Input {
  std::unique_ptr<FrameReader> reader;
  std::string audio_codec;  // a video's first audio stream; empty when there is none
};

// Throws UsageError or ToolError when the input cannot be opened as its name says.
Input OpenInput(const Options& options);

// A writer for OUTPUT, in the input's format. It writes to `temporary_path`, or to
// standard output when OUTPUT is '-'.
std::unique_ptr<FrameWriter> OpenOutput(const Options& options, const Input& input,
                                        const std::string& temporary_path);
