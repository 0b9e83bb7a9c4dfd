// What blurs the frames: one object shared by every worker thread, called for any number
// of frames at once.
#pragma once

#include <memory>

#include "av_support.h"
#include "options.h"

class ScriptEnvironment;

class FrameFilter {
 public:
  virtual ~FrameFilter() = default;
  // The blurred frame, with the source's time and properties. Throws on failure.
  virtual AvFramePtr Apply(AvFramePtr frame) = 0;
};

// Frames of a plane format (frame_formats.h) and this size, blurred plane by plane by the
// filter engine with the meaning korvel.Blur has in VapourSynth: the extents divided by each
// plane's subsampling, the checks and messages of every host. Throws ToolError with the
// filter's message when the options do not suit the frame size.
std::unique_ptr<FrameFilter> MakePlaneFilter(const Options& options, AVPixelFormat format,
                                             int width, int height);

// bgr24 or bgra frames of this size and rate, blurred by the Korvel plugin loaded and called
// as a host does: one instance, asked for frames by every worker thread at once. Throws
// AvisynthError with the plugin's message when it refuses the options, ToolError when it
// cannot be loaded.
std::unique_ptr<FrameFilter> MakePluginFilter(ScriptEnvironment& env, const Options& options,
                                              AVPixelFormat format, int width, int height,
                                              AVRational rate);

// Gives frames as they come: a script's, which it has blurred itself.
class FramesAsGiven : public FrameFilter {
 public:
  AvFramePtr Apply(AvFramePtr frame) override { return frame; }
};
