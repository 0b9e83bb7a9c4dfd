// The blur of RGB24 and RGB32 frames by the Korvel plugin, loaded and called as a host
// does: one instance, asked for frames by every worker thread at once. The host keeps RGB
// rows bottom-up, so frames are turned over on the way in and out.
#pragma once

#include <atomic>

#include "frame_filter.h"
#include "options.h"
#include "script_environment.h"
#include "source_clip.h"

class PluginFilter : public FrameFilter {
 public:
  // For frames of bgr24 or bgra at this size and rate. Throws AvisynthError with the
  // plugin's message when it refuses the options, ToolError when it cannot be loaded.
  PluginFilter(ScriptEnvironment& env, const Options& options, AVPixelFormat format, int width,
               int height, AVRational rate);

  AvFramePtr Apply(AvFramePtr frame) override;

 private:
  ScriptEnvironment& env_;
  AVPixelFormat format_;
  int width_, height_, pixel_bytes_;
  SourceClip* source_;  // owned by source_clip_
  PClip source_clip_;
  PClip filter_;
  std::atomic<int> next_{0};  // the number the source clip gives the next frame
};
