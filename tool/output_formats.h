// What an output's name asks for: its container, the video encoder and its settings, and
// what becomes of each sound track. Chosen as a user of ffmpeg would expect for the name.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <climits>
#include <string>
#include <utility>
#include <vector>

struct OutputFormat {
  const AVOutputFormat* muxer = nullptr;
  const AVCodec* video_encoder = nullptr;
  std::vector<std::pair<std::string, std::string>> video_options;
  bool one_picture = false;  // a single picture file (.jpg, .bmp ...), which holds one frame
  bool frame_times = true;   // stores each frame's time; otherwise frames come at one rate
  bool keeps_display_matrix = false;  // else frames are turned upright
  bool keeps_covers = false;          // cover pictures beside the video
  int most_sound_tracks = INT_MAX;
  int sound_rate = 0;  // the one sample rate its sound takes; 0: any
};

// Throws ToolError, naming `name`, for names that say no container, or a numbered
// sequence of pictures.
OutputFormat ChooseOutputFormat(const std::string& name);

// 4:2:0 where the size allows and the encoder takes it, 4:4:4 for odd sizes, else the
// encoder's closest format to `source`.
AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, AVPixelFormat source, int width,
                                int height);

// What becomes of an input stream in the output.
enum class StreamFate { kVideo, kCopy, kEncode, kDrop };

// What becomes of a sound track in the container: copied where the container takes it as
// it is, else encoded again; `encoder` is set for kEncode.
StreamFate ChooseAudioFate(const AVOutputFormat* muxer, const AVCodecParameters* sound,
                           const AVCodec** encoder);

// The extension of a path, lower case, without the dot.
std::string LowerExtension(const std::string& path);
