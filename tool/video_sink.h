// OUTPUT as a video, or a single picture, encoded and written by FFmpeg's libraries in
// this process, as the stream plan says: the frames encoded in the plan's format with the
// input's times, colours and shape; the other streams copied or encoded again; the input's
// tags and chapters.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "audio_tracks.h"
#include "media_sink.h"
#include "muxer.h"
#include "stream_plan.h"

class VideoSink : public MediaSink {
 public:
  // Writes to `descriptor` in place, or, when `temporary_path` is not empty, to the
  // regular file it names, which muxers may read back (to move an index to the front).
  // Throws ToolError naming the output.
  VideoSink(int descriptor, const std::string& temporary_path, const StreamPlan& plan);

  void WriteFrame(AVFrame* frame) override;
  void WritePacket(int stream, AVPacket* packet) override;
  void Finish() override;

 private:
  void AddVideoStream();
  void AddOtherStreams();
  void SetUpConversion();
  // Packets read up to `time` (in the video's input time base), or all of them.
  void WritePendingPackets(int64_t time, bool all);

  const StreamPlan& plan_;
  const InputDescription& input_;
  const VideoDescription& video_;
  const OutputFormat& format_;
  Muxer muxer_;
  AvCodecContextPtr encoder_;
  int video_index_ = 0;
  std::unique_ptr<SwsContext, AvFree<sws_freeContext>> converter_;  // null: frames as they are
  std::vector<std::unique_ptr<AudioTrack>> tracks_;  // by input stream index
  std::vector<std::pair<int, int>> covers_;  // input stream, output stream
  std::deque<std::pair<int, AvPacketPtr>> pending_;
  int64_t start_ = 0;  // the input's start, in the video's input time base
  int64_t frames_ = 0;
  int64_t first_step_ = 0;  // for containers at one rate: the first frame's place
  int64_t last_pts_ = AV_NOPTS_VALUE;
  int64_t end_time_ = 0;  // after the last frame, in the video's input time base
};
