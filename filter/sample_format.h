// What one sample of a picture is: a byte, a 16-bit word holding 9 to 16 significant bits, or
// a 32-bit float; and how many samples, interleaved, make a pixel.
#pragma once

#include <stdint.h>

enum class SampleType { kUint8, kUint16, kFloat32 };

struct SampleFormat {
  SampleType type = SampleType::kUint8;
  int bits = 8;      // of an integer sample's range: 8, or 9 to 16 in a word; 32 for floats
  int channels = 1;  // samples a pixel, interleaved

  int SampleBytes() const {
    return type == SampleType::kUint8 ? 1 : type == SampleType::kUint16 ? 2 : 4;
  }
  int PixelBytes() const { return SampleBytes() * channels; }
  // True for the types and ranges the engine averages.
  bool IsValid() const {
    if (channels < 1 || channels > 4) return false;
    switch (type) {
      case SampleType::kUint8: return bits == 8;
      case SampleType::kUint16: return bits >= 9 && bits <= 16;
      case SampleType::kFloat32: return bits == 32;
    }
    return false;
  }
};

constexpr SampleFormat BytePixels(int channels) { return {SampleType::kUint8, 8, channels}; }
