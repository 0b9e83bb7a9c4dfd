// The input's sound tracks in the output: packets copied where the container takes the
// codec, else decoded and encoded again to a codec it takes.
#pragma once

#include <memory>
#include <string>

#include "muxer.h"

class AudioTrack {
 public:
  virtual ~AudioTrack() = default;
  // A packet of the input stream, its times in the input stream's time base.
  virtual void Write(AVPacket* packet) = 0;
  // Writes what an encoder still holds.
  virtual void Finish() = 0;
};

// Adds the track's stream to the output, before its header is written: its packets copied,
// or, with an `encoder`, decoded and encoded again.
std::unique_ptr<AudioTrack> AddAudioTrack(Muxer& muxer, const StreamDescription& input,
                                          const AVCodec* encoder, const std::string& input_name);
