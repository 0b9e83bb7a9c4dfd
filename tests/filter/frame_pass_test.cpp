// Whole frames through the loaded plugin: border strips, averaged interior, references.
#include <gtest/gtest.h>

#include <cstring>

#include "reference_pictures.h"
#include "test_clips.h"

namespace {

using korvel_test::Picture;
using korvel_test::RgbInfo;

class FramePass : public ::testing::Test {
 protected:
  void SetUp() override {
    korvel_test::LoadKorvel(env_);
    env_.SetFreshFrameFill(kFresh);
  }
  // Frame n of Korvel applied to a clip of these frames.
  PVideoFrame Blur(const VideoInfo& vi, const std::vector<PVideoFrame>& frames,
                   const korvel_test::KorvelArguments& arguments, int n = 0) {
    PClip filter =
        korvel_test::CallKorvel(env_, korvel_test::ClipOf(vi, frames), arguments).AsClip();
    return filter->GetFrame(n, &env_);
  }
  static constexpr uint8_t kFresh = 0xA5;
  ScriptEnvironment env_;
  std::mt19937 random_{12345};
};

TEST_F(FramePass, UniformFrameIsUnchanged) {
  for (int type : {CS_BGR24, CS_BGR32}) {
    const VideoInfo vi = RgbInfo(80, 64, type);
    for (const char* blur : {"line", "rect", "focus"}) {
      PVideoFrame out = Blur(vi, {korvel_test::UniformFrame(env_, vi, 77)}, {3, 2, blur});
      const std::vector<uint8_t> picture = Picture(out, vi.RowSize());
      EXPECT_EQ(picture, std::vector<uint8_t>(picture.size(), 77)) << blur;
    }
  }
}

TEST_F(FramePass, SingleBrightByteSpreadsOverTheBox) {
  const VideoInfo vi = RgbInfo(40, 40, CS_BGR24);
  PVideoFrame source = korvel_test::UniformFrame(env_, vi, 0);
  const int pitch = source->GetPitch();
  source->GetWritePtr()[20 * pitch + 20 * 3 + 1] = 255;
  const std::vector<uint8_t> out = Picture(Blur(vi, {source}, {1, 1, "rect"}), vi.RowSize());
  for (int i = 0; i < 40; ++i)
    for (int k = 0; k < 120; ++k) {
      const bool near = std::abs(i - 20) <= 1 && std::abs(k / 3 - 20) <= 1 && k % 3 == 1;
      ASSERT_EQ(out[size_t(i * 120 + k)], near ? 28 : 0) << "row " << i << " byte " << k;
    }
}

// Border widths, row Y + 1 and pixel X + 1 averaged, negative parameters, the fourth byte
// of RGB32, and pitches that differ between source and destination.
TEST_F(FramePass, PictureMatchesTheModel) {
  struct Case {
    int width, height, type, x, y;
    const char* blur;
    int source_pitch;
  };
  const Case cases[] = {
      {64, 48, CS_BGR24, 3, 1, "line", 0},     {64, 48, CS_BGR32, -3, 2, "line", 300},
      {61, 37, CS_BGR24, 1, -3, "line", 200},  {50, 50, CS_BGR32, 0, -4, "line", 0},
      {50, 50, CS_BGR24, -5, 0, "line", 157},  {64, 48, CS_BGR24, 2, 3, "rect", 0},
      {64, 48, CS_BGR32, 1, 1, "rect", 333},   {64, 48, CS_BGR24, 3, 99, "focus", 0},
      {72, 40, CS_BGR32, 4, -1, "focus", 1000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.blur << " " << c.x << "/" << c.y << " " << c.width << "x"
                                      << c.height << " type " << c.type);
    const VideoInfo vi = RgbInfo(c.width, c.height, c.type);
    PVideoFrame source = korvel_test::RandomFrame(env_, vi, c.source_pitch, random_);
    const std::vector<uint8_t> in = Picture(source, vi.RowSize());
    PVideoFrame out = Blur(vi, {source}, {c.x, c.y, c.blur});
    EXPECT_EQ(
        Picture(out, vi.RowSize()),
        korvel_test::ReferenceBlur(in, c.width, c.height, vi.BitsPerPixel() / 8, c.x, c.y, c.blur));
    // Bytes of a row beyond the picture are not written.
    for (int i = 0; i < c.height; ++i)
      for (int k = vi.RowSize(); k < out->GetPitch(); ++k)
        ASSERT_EQ(out->GetReadPtr()[i * out->GetPitch() + k], kFresh);
  }
}

TEST_F(FramePass, UnblurredBorderIsOneNarrowerAtTopAndLeft) {
  const VideoInfo vi = RgbInfo(48, 40, CS_BGR24);
  PVideoFrame source = korvel_test::RandomFrame(env_, vi, 0, random_);
  const std::vector<uint8_t> in = Picture(source, vi.RowSize());
  const std::vector<uint8_t> out = Picture(Blur(vi, {source}, {3, 3, "focus"}), vi.RowSize());
  auto pixel_differs = [&](int i, int j) {
    return std::memcmp(&in[size_t(i * 144 + j * 3)], &out[size_t(i * 144 + j * 3)], 3) != 0;
  };
  int first_row = 40, last_row = -1, first_column = 48, last_column = -1;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 48; ++j)
      if (pixel_differs(i, j)) {
        first_row = std::min(first_row, i), last_row = std::max(last_row, i);
        first_column = std::min(first_column, j), last_column = std::max(last_column, j);
      }
  EXPECT_EQ(first_row, 4);  // rows 0-3 copied
  EXPECT_EQ(last_row, 40 - 6);
  EXPECT_EQ(first_column, 4);
  EXPECT_EQ(last_column, 48 - 6);
}

// Frames too small for an averaged area, or even for the strips, come out as copies.
TEST_F(FramePass, SmallFramesAreCopies) {
  struct Case {
    int width, height, x, y;
    const char* blur;
  };
  const Case cases[] = {{40, 3, 5, 0, "line"},  {3, 40, 0, -5, "line"}, {1, 40, 0, 5, "line"},
                        {40, 1, -5, 0, "line"}, {40, 2, 5, 0, "line"},  {640, 64, 70, 0, "focus"},
                        {64, 3, 8, 0, "focus"}, {16, 2, 2, 0, "focus"}};
  for (const Case& c : cases) {
    for (int type : {CS_BGR24, CS_BGR32}) {
      SCOPED_TRACE(::testing::Message() << c.blur << " " << c.width << "x" << c.height);
      const VideoInfo vi = RgbInfo(c.width, c.height, type);
      PVideoFrame source = korvel_test::RandomFrame(env_, vi, 0, random_);
      EXPECT_EQ(Picture(Blur(vi, {source}, {c.x, c.y, c.blur}), vi.RowSize()),
                Picture(source, vi.RowSize()));
    }
  }
}

TEST_F(FramePass, SourceWithFewerRowsThanTheClip) {
  const VideoInfo vi = RgbInfo(64, 64, CS_BGR32);
  VideoInfo shorter = vi;
  shorter.height = 20;
  PVideoFrame source = korvel_test::RandomFrame(env_, shorter, 0, random_);
  const std::vector<uint8_t> in = Picture(source, vi.RowSize());
  PVideoFrame out = Blur(vi, {source}, {2, 2, "rect"});
  std::vector<uint8_t> rows = Picture(out, vi.RowSize());
  rows.resize(in.size());
  EXPECT_EQ(rows, korvel_test::ReferenceBlur(in, 64, 20, 4, 2, 2, "rect"));
}

TEST_F(FramePass, AsksTheSourceForTheRequestedFrameAndReleasesEverything) {
  const VideoInfo vi = RgbInfo(32, 32, CS_BGR24, 3);
  auto* source = new MemoryClip(vi);
  PClip clip(source);
  for (int n = 0; n < 3; ++n) source->SetFrame(n, korvel_test::RandomFrame(env_, vi, 0, random_));
  const size_t held = env_.LiveFrames();
  {
    PClip filter = korvel_test::CallKorvel(env_, clip, {2, 1, "line"}).AsClip();
    PVideoFrame a = filter->GetFrame(2, &env_);
    PVideoFrame b = filter->GetFrame(0, &env_);
    EXPECT_EQ(a->GetRefcount(), 1);
    EXPECT_EQ(source->FrameRequests(), (std::vector<int>{2, 0}));
    EXPECT_EQ(env_.LiveFrames(), held + 2);
  }
  EXPECT_EQ(env_.LiveFrames(), held);
  EXPECT_EQ(source->GetRefcount(), 1);
}

// A source that cannot give a frame: the error passes through with nothing held.
TEST_F(FramePass, ErrorsInTheSourceLeaveNothingHeld) {
  const VideoInfo vi = RgbInfo(32, 32, CS_BGR24, 2);
  auto* source = new MemoryClip(vi);
  PClip clip(source);
  source->SetFrame(0, korvel_test::RandomFrame(env_, vi, 0, random_));
  PClip filter = korvel_test::CallKorvel(env_, clip, {2, 2, "line"}).AsClip();
  const size_t held = env_.LiveFrames();
  EXPECT_THROW(filter->GetFrame(1, &env_), AvisynthError);
  EXPECT_EQ(env_.LiveFrames(), held);
}

}  // namespace
