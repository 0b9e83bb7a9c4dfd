// An AviSynth+ script as the input. The host's library, loaded at run time, evaluates it
// (with the plugins it loads by itself or those the script loads), and the frames of the
// clip it ends with are written as they are: the script calls Korvel itself. Its sound is
// a second stream, of PCM packets, each following the frame it goes with.
#pragma once

#include <optional>
#include <string>

#include "avisynth_c_interface.h"
#include "frame_stream.h"
#include "media_source.h"

class ScriptSource : public MediaSource {
 public:
  // Throws ToolError naming `path` when the host is missing, the script fails, or its clip
  // has no video in a format the command writes.
  ScriptSource(const std::string& path, std::optional<int64_t> frame_limit);
  ~ScriptSource() override;
  ScriptSource(const ScriptSource&) = delete;
  ScriptSource& operator=(const ScriptSource&) = delete;

  // Frame times count frames; the sound, when there is any, is stream 1.
  const InputDescription& Description() const override { return description_; }
  bool Read(SourceItem* item) override;

 private:
  void Open(std::optional<int64_t> frame_limit);
  void Release();
  // The host's frame as a frame of the same format, rows top-down.
  AvFramePtr CopyFrame(const avisynth_c::VideoFrame* frame);
  // Describes the clip's sound as a PCM stream, when it has sound.
  void AddSoundStream(const avisynth_c::VideoInfo& vi);
  // The sound from the start of frame n to the start of frame n + 1; null when none.
  AvPacketPtr Sound(int64_t n);

  std::string name_;
  const avisynth_c::Functions avs_;
  avisynth_c::ScriptEnvironment* env_ = nullptr;
  avisynth_c::Clip* clip_ = nullptr;
  FrameLayout layout_;
  int64_t frame_count_ = 0;
  InputDescription description_;
  int sample_bytes_ = 0;  // of all channels together; 0 without sound
  int64_t next_ = 0;
  AvPacketPtr pending_sound_;
};
