// What the frame pass asks of the host: the new frame, and the four border copies in
// their order with their exact arguments.
#include <gtest/gtest.h>

#include "test_clips.h"

namespace {

struct Copy {
  ptrdiff_t dst, dst_pitch, src, src_pitch, row_size, height;  // dst and src relative to the frames
  bool operator==(const Copy&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Copy& c) {
  return os << "{dst " << c.dst << " pitch " << c.dst_pitch << ", src " << c.src << " pitch "
            << c.src_pitch << ", " << c.row_size << " bytes x " << c.height << "}";
}

class RecordingEnvironment : public ScriptEnvironment {
 public:
  PVideoFrame NewVideoFrame(const VideoInfo& vi, int align) override {
    requested_info = vi;
    requested_align = align;
    PVideoFrame frame = ScriptEnvironment::NewVideoFrame(vi, align);
    dst_start = frame->GetReadPtr();
    if (share_new_frames) kept = frame;
    return frame;
  }
  void BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
              int height) override {
    copies.push_back({dst - dst_start, dst_pitch, src - src_start, src_pitch, row_size, height});
    ScriptEnvironment::BitBlt(dst, dst_pitch, src, src_pitch, row_size, height);
  }
  VideoInfo requested_info;
  int requested_align = 0;
  const BYTE* dst_start = nullptr;
  const BYTE* src_start = nullptr;
  std::vector<Copy> copies;
  bool share_new_frames = false;  // hand out frames that are not writable
  PVideoFrame kept;
};

TEST(FramePassCalls, NewFrameAndBorderCopiesInOrder) {
  RecordingEnvironment env;
  korvel_test::LoadKorvel(env);
  std::mt19937 random(7);
  const VideoInfo vi = korvel_test::RgbInfo(64, 48, CS_BGR24);
  PVideoFrame source = korvel_test::RandomFrame(env, vi, 300, random);
  env.src_start = source->GetReadPtr();
  PClip filter =
      korvel_test::CallKorvel(env, korvel_test::ClipOf(vi, {source}), {-3, 1, "line"}).AsClip();
  PVideoFrame out = filter->GetFrame(0, &env);

  EXPECT_TRUE(env.requested_info == vi);
  EXPECT_EQ(env.requested_align, 16);
  const ptrdiff_t pd = out->GetPitch();
  const std::vector<Copy> expected = {
      {0, pd, 0, 300, 64 * 3, 3},               // top: Y + 2 rows
      {45 * pd, pd, 45 * 300, 300, 64 * 3, 3},  // bottom from row H - Y - 2
      {0, pd, 0, 300, 5 * 3, 48},               // left: X + 2 pixels
      {59 * 3, pd, 59 * 3, 300, 5 * 3, 48}};    // right from pixel W - X - 2
  EXPECT_EQ(env.copies, expected);
}

TEST(FramePassCalls, UnwritableNewFrameIsAnErrorNotAWrite) {
  RecordingEnvironment env;
  korvel_test::LoadKorvel(env);
  env.share_new_frames = true;
  std::mt19937 random(7);
  const VideoInfo vi = korvel_test::RgbInfo(64, 48, CS_BGR32);
  PVideoFrame source = korvel_test::RandomFrame(env, vi, 0, random);
  PClip filter =
      korvel_test::CallKorvel(env, korvel_test::ClipOf(vi, {source}), {2, 2, "rect"}).AsClip();
  try {
    filter->GetFrame(0, &env);
    FAIL() << "no error";
  } catch (const AvisynthError& error) {
    EXPECT_STREQ(error.msg, "Korvel: the new frame is not writable");
  }
  EXPECT_TRUE(env.copies.empty());
  EXPECT_EQ(env.kept->GetRefcount(), 1);  // the filter let go of it
  EXPECT_EQ(source->GetRefcount(), 2);    // ours and the source clip's
}

}  // namespace
