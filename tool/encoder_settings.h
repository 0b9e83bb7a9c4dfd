// The ffmpeg output options a user would expect for a file name: codecs by container.
#pragma once

#include <string>
#include <vector>

// Video codec options for the output's container, chosen by its extension; empty for
// containers whose ffmpeg defaults serve well.
std::vector<std::string> VideoEncoderOptions(const std::string& output_path, int width, int height);

// "copy" when the container takes the input's audio codec unchanged, else an encoder
// the container takes.
std::string AudioEncoderFor(const std::string& output_path, const std::string& input_audio_codec);

// Whether the output's container stores a time for each frame. Others (AVI, bare streams)
// play frames at a steady rate, so frames are given them at the input's rate.
bool StoresFrameTimes(const std::string& output_path);

// The extension of a path, lower case, without the dot.
std::string LowerExtension(const std::string& path);
