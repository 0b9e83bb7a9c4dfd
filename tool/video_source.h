// Videos read in this process: demuxed and decoded by FFmpeg's libraries, converted by
// libswscale straight into host frames (bottom-up rows included).
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "av_support.h"
#include "decoded_frames.h"
#include "frame_stream.h"

// What an encoder needs to know of the video it re-creates.
struct VideoProperties {
  AVRational time_base{1, 25};   // of the frame times
  AVRational frame_rate{25, 1};  // the usual rate, for containers without frame times
  // The input's earliest time over all its streams, in AV_TIME_BASE units: it becomes 0,
  // so that streams keep their offsets to each other.
  int64_t start_time = 0;
  AVRational sample_aspect_ratio{0, 1};
  std::string display_matrix;  // as stored; empty when none, or when frames were turned
  // The input's streams: its video's colours, and the others (sound, pictures) for an
  // output to take; null for raw and PNG input. Only their parameters may be read, and
  // only before frames flow.
  const AVFormatContext* input = nullptr;
  int video_stream = -1;  // none for a script's frames
};

// Takes a packet of another stream, with its reference.
using PacketForwarder = std::function<void(AVPacket* packet)>;

class VideoSource : public FrameSource {
 public:
  // Throws ToolError naming `path` when it cannot be read as a video. `upright` turns
  // frames stored a quarter turn (or two) from how they are shown, where the display
  // matrix is exactly such a turn: for outputs that cannot store the matrix.
  VideoSource(const std::string& path, PixelFormat format, std::optional<int64_t> frame_limit,
              bool upright);

  const StreamInfo& Info() const override { return info_; }
  const VideoProperties& Properties() const { return properties_; }
  // Packets of the streams `forward` is given for; the rest are skipped. Set before the
  // first frame is read; called on the thread that reads frames.
  void ForwardPackets(const std::vector<int>& streams, PacketForwarder forward);

  bool ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) override;

 private:
  bool ReceiveFrame();
  void CheckComplete() const;
  void NoteDecodeOrder(const AVPacket& packet);
  void CheckNoHoleAtEnd() const;
  [[noreturn]] void Fail(const char* what, int error) const;

  std::string path_;
  AvIoPtr io_;  // closed after the context that reads from it
  std::unique_ptr<AVFormatContext, AvFree<avformat_close_input>> format_;
  AVStream* stream_ = nullptr;
  AvCodecContextPtr decoder_;
  AvFramePtr frame_ = NewFrame();
  AvPacketPtr packet_ = NewPacket();
  std::unique_ptr<DecodedFrameConverter> converter_;
  StreamInfo info_;
  VideoProperties properties_;
  std::optional<int64_t> frame_limit_;
  std::vector<bool> forwarded_;
  PacketForwarder forward_;
  int64_t frames_ = 0;
  int64_t packets_ = 0;                // of the video stream, all of them
  int64_t discarded_packets_ = 0;      // before a cut, decoded but never shown
  int64_t end_time_ = AV_NOPTS_VALUE;  // of the last frame, in the stream's time base
  // Decode order against presentation order, for a cut that falls between whole frames.
  int64_t last_dts_ = AV_NOPTS_VALUE;
  int64_t latest_pts_ = AV_NOPTS_VALUE;  // of the packets read so far
  int64_t reordered_run_ = 0;            // packets in a row shown before latest_pts_
  int64_t longest_reordered_run_ = 0;
  std::deque<int64_t> last_times_;  // of the frames given, the latest last
  int64_t declared_frames_ = -1;
  double declared_seconds_ = -1;
};
