// OUTPUT as a video, or a single picture, encoded and written by FFmpeg's libraries in
// this process, with the input's frame times, colours, shape and sound.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_tracks.h"
#include "muxer.h"
#include "output_formats.h"
#include "video_source.h"

struct SwsContext;

class VideoSink : public FrameSink {
 public:
  // Writes to `descriptor`; `reread_path`, when not empty, names the same file for
  // muxers that read back what they wrote (to move an index to the front). With
  // `cut_to_video`, sound past the last frame is left out. Throws ToolError naming `name`.
  VideoSink(int descriptor, const std::string& reread_path, const std::string& name,
            const FrameLayout& layout, const VideoProperties& properties,
            const std::string& input_name, bool cut_to_video);
  ~VideoSink() override;
  VideoSink(const VideoSink&) = delete;
  VideoSink& operator=(const VideoSink&) = delete;

  // The input streams whose packets the output takes, for TakePacket.
  std::vector<int> TakenStreams() const;
  // A packet of one of those streams, from any thread.
  void TakePacket(AVPacket* packet);

  void WriteFrame(const PVideoFrame& frame, int64_t time) override;
  void Finish() override;

 private:
  void Open(int descriptor, const std::string& reread_path, const FrameLayout& layout,
            const std::string& input_name);
  void AddVideoStream(const FrameLayout& layout);
  void AddOtherStreams(const std::string& input_name);
  void Encode(const AVFrame* frame);
  // Sound read up to `time` (in the video's input time base), or all of it.
  void WritePendingPackets(int64_t time, bool all);
  void Close();

  std::string name_;
  OutputFormat format_;
  VideoProperties properties_;
  bool cut_to_video_;
  AVFormatContext* context_ = nullptr;
  std::unique_ptr<Muxer> muxer_;
  AvCodecContextPtr encoder_;
  int video_index_ = 0;
  SwsContext* converter_ = nullptr;
  AVPixelFormat host_format_ = AV_PIX_FMT_NONE;
  AvPacketPtr packet_ = NewPacket();
  std::vector<std::unique_ptr<AudioTrack>> tracks_;  // by input stream index
  std::vector<std::pair<int, int>> pictures_;        // input and output index
  std::mutex pending_mutex_;
  std::deque<AvPacketPtr> pending_;
  int64_t start_ = 0;  // the input's start, in the video's input time base
  int64_t frames_ = 0;
  int64_t first_step_ = 0;  // for containers at one rate: the first frame's place
  int64_t last_pts_ = AV_NOPTS_VALUE;
  int64_t end_time_ = 0;  // after the last frame, in the video's input time base
  bool finished_ = false;
};
