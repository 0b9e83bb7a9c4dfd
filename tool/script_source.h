// An AviSynth+ script as the input. The host's library, loaded at run time, evaluates it
// (with the plugins it loads by itself or those the script loads), and the frames of the
// clip it ends with are written as they are: the script calls Korvel itself. Its sound
// goes to a video output as a stream of PCM packets, as if read from a file.
#pragma once

#include <optional>
#include <string>

#include "avisynth_c_interface.h"
#include "frame_stream.h"
#include "video_source.h"

class ScriptSource : public FrameSource {
 public:
  // Throws ToolError naming `path` when the host is missing, the script fails, or its clip
  // has no video in a format the command writes.
  ScriptSource(const std::string& path, std::optional<int64_t> frame_limit);
  ~ScriptSource() override;
  ScriptSource(const ScriptSource&) = delete;
  ScriptSource& operator=(const ScriptSource&) = delete;

  const StreamInfo& Info() const override { return info_; }
  // Frame times count frames; the sound, when there is any, is stream 0 of `input`.
  const VideoProperties& Properties() const { return properties_; }
  // The sound's packets, each following the frame it goes with. Set before the first frame.
  void ForwardPackets(const std::vector<int>& streams, PacketForwarder forward);

  bool ReadFrame(ScriptEnvironment& env, PVideoFrame* frame, int64_t* time) override;

 private:
  void Open(std::optional<int64_t> frame_limit);
  void Release();
  // The host's frame, rows top-down and planes back to back, as a raw file holds it.
  void CopyPicture(const avisynth_c::VideoFrame* frame);
  // Describes the clip's sound as a PCM stream of the input, when it has sound.
  void AddSoundStream(const avisynth_c::VideoInfo& vi);
  // The sound from the start of frame n to the start of frame n + 1.
  void ForwardSound(int64_t n);

  std::string name_;
  const avisynth_c::Functions avs_;
  avisynth_c::ScriptEnvironment* env_ = nullptr;
  avisynth_c::Clip* clip_ = nullptr;
  StreamInfo info_;
  VideoProperties properties_;
  AVFormatContext* sound_ = nullptr;  // holds only the description of the sound stream
  int sample_bytes_ = 0;              // of all channels together
  PacketForwarder forward_;
  int64_t next_ = 0;
  Picture picture_;
};
