// Runs several filter instances side by side. A filter serves one request at a time, so
// each instance has its own thread and its own share of the frames: frame n goes to
// instance n mod N. Frames are read and written on the calling thread, strictly in order,
// so the output does not depend on N.
#pragma once

#include <functional>
#include <vector>

#include "host.h"
#include "source_clip.h"

// Gives frame n of the input; false at its end.
using ReadSourceFrame = std::function<bool(int n, PVideoFrame* frame)>;
using WriteFilteredFrame = std::function<void(int n, const PVideoFrame& frame)>;

// Returns the number of frames written. An error raised by a filter (AvisynthError) or by
// `read` or `write` stops every instance and travels on to the caller.
int RunFilters(const std::vector<PClip>& filters, SourceClip* source, IScriptEnvironment* env,
               const ReadSourceFrame& read, const WriteFilteredFrame& write);
