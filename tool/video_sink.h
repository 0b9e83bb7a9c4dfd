// OUTPUT as a video, or a single picture, encoded and written by FFmpeg's libraries in
// this process, with the input's frame times, colours, shape and sound.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_tracks.h"
#include "muxer.h"
#include "output_formats.h"
#include "video_source.h"

class VideoSink : public FrameSink {
 public:
  // Writes to `descriptor` in place, or, when `temporary_path` is not empty, to the
  // regular file it names, which muxers may read back (to move an index to the front).
  // With `cut_to_video`, sound past the last frame is left out. Throws ToolError naming
  // `name`.
  VideoSink(int descriptor, const std::string& temporary_path, const std::string& name,
            const FrameLayout& layout, const VideoProperties& properties,
            const std::string& input_name, bool cut_to_video);

  // The input streams whose packets the output takes, for TakePacket.
  std::vector<int> TakenStreams() const;
  // A packet of one of those streams, from any thread.
  void TakePacket(AVPacket* packet);

  void WriteFrame(const PVideoFrame& frame, int64_t time) override;
  void Finish() override;

 private:
  void AddVideoStream();
  // Sound tracks, and the cover pictures to write after the header.
  std::vector<std::pair<const AVStream*, int>> AddOtherStreams(const std::string& input_name);
  // The frame's planes as sws_scale takes them, top row first.
  void HostPlanes(const PVideoFrame& frame, const uint8_t* rows[4], int strides[4]) const;
  // Sound read up to `time` (in the video's input time base), or all of it; none is read
  // without an input.
  void WritePendingPackets(int64_t time, bool all);

  std::string name_;
  OutputFormat format_;
  VideoProperties properties_;
  FrameLayout layout_;
  bool cut_to_video_;
  Muxer muxer_;
  AvCodecContextPtr encoder_;
  int video_index_ = 0;
  std::unique_ptr<SwsContext, AvFree<sws_freeContext>> converter_;
  std::vector<std::unique_ptr<AudioTrack>> tracks_;  // by input stream index
  std::mutex pending_mutex_;
  std::deque<AvPacketPtr> pending_;
  int64_t start_ = 0;  // the input's start, in the video's input time base
  int64_t frames_ = 0;
  int64_t first_step_ = 0;  // for containers at one rate: the first frame's place
  int64_t last_pts_ = AV_NOPTS_VALUE;
  int64_t end_time_ = 0;  // after the last frame, in the video's input time base
};
