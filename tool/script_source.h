// An AviSynth+ script as the input. The host's library, loaded at run time, evaluates it
// (with the plugins it loads by itself or those the script loads), and the frames of the
// clip it ends with are written as they are: the script calls Korvel itself. Frame times
// count frames; the sound, when there is any, is a second stream of PCM packets, each
// following the frame it goes with.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media.h"

// Throws ToolError naming `path` when the host is missing, the script fails, or its clip
// has no video in a format the command writes.
std::unique_ptr<MediaSource> OpenScriptSource(const std::string& path,
                                              std::optional<int64_t> frame_limit);
