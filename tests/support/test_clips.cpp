#include "test_clips.h"

#include <cstring>

namespace korvel_test {

VideoInfo RgbInfo(int width, int height, int pixel_type, int frames) {
  VideoInfo vi;
  vi.width = width;
  vi.height = height;
  vi.pixel_type = pixel_type;
  vi.num_frames = frames;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  return vi;
}

PVideoFrame RandomFrame(ScriptEnvironment& env, const VideoInfo& vi, int pitch,
                        std::mt19937& random, uint8_t padding) {
  const int row_bytes = vi.RowSize();
  PVideoFrame frame = env.NewFrame(row_bytes, vi.height, pitch, 1);
  BYTE* data = frame->GetWritePtr();
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < vi.height; ++i) {
    BYTE* row = data + ptrdiff_t(i) * frame->GetPitch();
    for (int k = 0; k < row_bytes; ++k) row[k] = uint8_t(byte(random));
    std::memset(row + row_bytes, padding, size_t(frame->GetPitch() - row_bytes));
  }
  return frame;
}

PVideoFrame UniformFrame(ScriptEnvironment& env, const VideoInfo& vi, uint8_t value, int pitch) {
  PVideoFrame frame = env.NewFrame(vi.RowSize(), vi.height, pitch, 1);
  std::memset(frame->GetWritePtr(), value, size_t(frame->GetPitch()) * size_t(vi.height));
  return frame;
}

std::vector<uint8_t> Picture(const PVideoFrame& frame, int row_bytes) {
  std::vector<uint8_t> picture;
  for (int i = 0; i < frame->GetHeight(); ++i) {
    const BYTE* row = frame->GetReadPtr() + ptrdiff_t(i) * frame->GetPitch();
    picture.insert(picture.end(), row, row + row_bytes);
  }
  return picture;
}

PClip ClipOf(const VideoInfo& vi, const std::vector<PVideoFrame>& frames) {
  VideoInfo info = vi;
  info.num_frames = int(frames.size());
  auto* clip = new MemoryClip(info);
  PClip result(clip);
  for (size_t n = 0; n < frames.size(); ++n) clip->SetFrame(int(n), frames[n]);
  return result;
}

}  // namespace korvel_test

namespace korvel_test {

void LoadKorvel(ScriptEnvironment& env) { env.LoadPlugin(KORVEL_PLUGIN_PATH); }

AVSValue CallKorvel(ScriptEnvironment& env, const PClip& clip, const KorvelArguments& arguments) {
  std::vector<NamedArgument> named;
  if (arguments.x) named.push_back({"x", *arguments.x});
  if (arguments.y) named.push_back({"y", *arguments.y});
  if (arguments.blur) named.push_back({"blur", arguments.blur->c_str()});
  return env.Call("Korvel", {clip}, named);
}

std::string CreationError(ScriptEnvironment& env, const PClip& clip,
                          const KorvelArguments& arguments) {
  try {
    CallKorvel(env, clip, arguments);
  } catch (const AvisynthError& error) {
    return error.msg;
  }
  return "(no error)";
}

}  // namespace korvel_test
