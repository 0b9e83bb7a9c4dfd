// An input as the read loop sees it: described once, then read item by item, each a
// decoded video frame or a packet of another stream, in the order the input holds them.
// Files, pictures and scripts are all read this way.
#pragma once

#include "av_support.h"
#include "input_description.h"

struct SourceItem {
  int stream = -1;     // the index among the description's streams
  AvFramePtr frame;    // a video frame, its time in the video's time base; or
  AvPacketPtr packet;  // a packet of another stream, its times in that stream's time base
};

class MediaSource {
 public:
  virtual ~MediaSource() = default;
  virtual const InputDescription& Description() const = 0;
  // The next item; false at the end of the input. Throws ToolError on damage.
  virtual bool Read(SourceItem* item) = 0;
};
