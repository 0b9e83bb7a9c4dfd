// Videos, and pictures FFmpeg reads, demuxed and decoded in this process by FFmpeg's
// libraries. The video stream's packets are decoded into frames in the video's own pixel
// format; the other streams' packets are given as they are. Damage of any kind is an
// error naming the input.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media_source.h"

class VideoSource : public MediaSource {
 public:
  // `frame_limit` bounds what a message on a short video expects. Throws ToolError naming
  // `path` when it cannot be read as a video.
  VideoSource(const std::string& path, std::optional<int64_t> frame_limit);

  const InputDescription& Description() const override { return description_; }
  bool Read(SourceItem* item) override;

 private:
  void Describe();
  bool ReceiveFrame(SourceItem* item);
  void CheckComplete() const;
  void NoteDecodeOrder(const AVPacket& packet);
  void NoteStreamEnd(const AVPacket& packet);
  void CheckNoHoleAtEnd() const;
  [[noreturn]] void Fail(const char* what, int error) const;

  std::string path_;
  AvIoPtr io_;  // closed after the context that reads from it
  std::unique_ptr<AVFormatContext, AvFree<avformat_close_input>> format_;
  AVStream* stream_ = nullptr;
  AvCodecContextPtr decoder_;
  AvPacketPtr packet_ = NewPacket();
  InputDescription description_;
  std::optional<int64_t> frame_limit_;
  bool draining_ = false;
  int64_t frames_ = 0;
  int64_t packets_ = 0;                // of the video stream, all of them
  int64_t discarded_packets_ = 0;      // before a cut, decoded but never shown
  int64_t empty_packets_ = 0;          // frames a container marks as dropped (AVI)
  int64_t end_time_ = AV_NOPTS_VALUE;  // of the last frame, in the stream's time base
  int64_t segment_end_ = -1;           // where a Matroska segment declares its end
  int64_t read_end_ = -1;              // after the last packet read, for raw containers
  // Decode order against presentation order, for a cut that falls between whole frames.
  int64_t last_dts_ = AV_NOPTS_VALUE;
  int64_t latest_pts_ = AV_NOPTS_VALUE;  // of the packets read so far
  int64_t reordered_run_ = 0;            // packets in a row shown before latest_pts_
  int64_t longest_reordered_run_ = 0;
  std::deque<int64_t> last_times_;  // of the frames given, the latest last
  int64_t declared_frames_ = -1;
  double declared_seconds_ = -1;
};
