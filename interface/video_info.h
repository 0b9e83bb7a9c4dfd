// The clip description: frame size, pixel format, timing and audio.
#pragma once

#include <stdint.h>

enum : int {
  CS_BGR = 1 << 28,  // set on every RGB type, the planar and 16-bit ones too
  CS_YUV = 1 << 29,
  CS_INTERLEAVED = 1 << 30,
  CS_PLANAR = 1 << 31,

  CS_UNKNOWN = 0,
  CS_BGR24 = 1 | CS_BGR | CS_INTERLEAVED,  // 0x50000001
  CS_BGR32 = 2 | CS_BGR | CS_INTERLEAVED,  // 0x50000002
  CS_YUY2 = 4 | CS_YUV | CS_INTERLEAVED,   // 0x60000004
  CS_YV12 = 8 | CS_YUV | CS_PLANAR,        // 0xA0000008
  CS_I420 = 16 | CS_YUV | CS_PLANAR,       // 0xA0000010
};

enum : int {
  SAMPLE_INT8 = 1 << 0,
  SAMPLE_INT16 = 1 << 1,
  SAMPLE_INT24 = 1 << 2,
  SAMPLE_INT32 = 1 << 3,
  SAMPLE_FLOAT = 1 << 4,
};

struct VideoInfo {
  int width = 0;
  int height = 0;
  unsigned fps_numerator = 0;
  unsigned fps_denominator = 1;
  int num_frames = 0;
  int pixel_type = CS_UNKNOWN;
  int audio_samples_per_second = 0;
  int sample_type = 0;
  int64_t num_audio_samples = 0;
  int nchannels = 0;
  int image_type = 0;

  bool HasVideo() const { return width != 0; }
  bool HasAudio() const { return audio_samples_per_second != 0; }
  bool IsRGB() const { return (pixel_type & CS_BGR) != 0; }
  bool IsRGB24() const { return pixel_type == CS_BGR24; }
  bool IsRGB32() const { return pixel_type == CS_BGR32; }
  bool IsYUY2() const { return pixel_type == CS_YUY2; }
  bool IsPlanar() const { return (pixel_type & CS_PLANAR) != 0; }

  // Bits of one pixel; for the 4:2:0 planar types, the average over all three planes.
  int BitsPerPixel() const {
    switch (pixel_type) {
      case CS_BGR24: return 24;
      case CS_BGR32: return 32;
      case CS_YUY2: return 16;
      case CS_YV12:
      case CS_I420: return 12;
      default: return 0;
    }
  }
  int BytesFromPixels(int pixels) const { return pixels * (BitsPerPixel() >> 3); }
  // Bytes of one row of the first plane.
  int RowSize() const { return IsPlanar() ? width : BytesFromPixels(width); }

  int BytesPerChannelSample() const {
    switch (sample_type) {
      case SAMPLE_INT8: return 1;
      case SAMPLE_INT16: return 2;
      case SAMPLE_INT24: return 3;
      case SAMPLE_INT32:
      case SAMPLE_FLOAT: return 4;
      default: return 0;
    }
  }
  int BytesPerAudioSample() const { return nchannels * BytesPerChannelSample(); }
};

inline bool operator==(const VideoInfo& a, const VideoInfo& b) {
  return a.width == b.width && a.height == b.height && a.fps_numerator == b.fps_numerator &&
         a.fps_denominator == b.fps_denominator && a.num_frames == b.num_frames &&
         a.pixel_type == b.pixel_type && a.audio_samples_per_second == b.audio_samples_per_second &&
         a.sample_type == b.sample_type && a.num_audio_samples == b.num_audio_samples &&
         a.nchannels == b.nchannels && a.image_type == b.image_type;
}
