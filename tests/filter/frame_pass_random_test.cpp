// Random frames, pitches and parameters across the whole accepted range: the picture
// matches the model, nothing outside the frames changes, every reference is returned.
// Under the sanitizer build this also proves that nothing reads outside either frame.
#include <gtest/gtest.h>

#include "accepted_arguments.h"
#include "reference_pictures.h"
#include "test_clips.h"

namespace {

struct RandomCall {
  int width, height, type, x, y, pitch_padding;
  std::string blur;
};

// Parameters that creation accepts, on clips from 1x1 upwards.
RandomCall Draw(std::mt19937& random) {
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  RandomCall call;
  call.type = uniform(0, 1) ? CS_BGR24 : CS_BGR32;
  call.pitch_padding = uniform(0, 2) == 0 ? 0 : uniform(1, 70);
  for (;;) {
    call.width = uniform(0, 4) == 0 ? uniform(1, 3) : uniform(1, 90);
    call.height = uniform(0, 4) == 0 ? uniform(1, 3) : uniform(1, 90);
    if (auto arguments = korvel_test::DrawAcceptedArguments(call.width, call.height, random)) {
      call.blur = arguments->blur;
      call.x = arguments->x;
      call.y = arguments->y;
      return call;
    }
  }
}

TEST(FramePassRandom, MatchesTheModelAndStaysInsideTheFrames) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  constexpr uint8_t kFresh = 0x5A, kPadding = 0xEE;
  env.SetFreshFrameFill(kFresh);
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    const RandomCall c = Draw(random);
    SCOPED_TRACE(::testing::Message() << "round " << round << ": " << c.blur << " " << c.x << "/"
                                      << c.y << " on " << c.width << "x" << c.height << " type "
                                      << c.type << " padding " << c.pitch_padding);
    const VideoInfo vi = korvel_test::RgbInfo(c.width, c.height, c.type, 2);
    const int bytes_per_pixel = vi.BitsPerPixel() / 8;
    // Two source frames of different pitch, so that the table is rebuilt for each.
    PVideoFrame first =
        korvel_test::RandomFrame(env, vi, vi.RowSize() + c.pitch_padding, random, kPadding);
    PVideoFrame second = korvel_test::RandomFrame(env, vi, vi.RowSize() + 3, random, kPadding);
    const size_t held = env.LiveFrames();
    {
      PClip filter =
          korvel_test::CallKorvel(env, korvel_test::ClipOf(vi, {first, second}), {c.x, c.y, c.blur})
              .AsClip();
      for (const PVideoFrame& source : {first, second}) {
        const int n = source.get() == first.get() ? 0 : 1;
        PVideoFrame out = filter->GetFrame(n, &env);
        const std::vector<uint8_t> in = korvel_test::Picture(source, vi.RowSize());
        ASSERT_EQ(
            korvel_test::Picture(out, vi.RowSize()),
            korvel_test::ReferenceBlur(in, c.width, c.height, bytes_per_pixel, c.x, c.y, c.blur));
        for (int i = 0; i < c.height; ++i) {
          const BYTE* out_row = out->GetReadPtr() + i * out->GetPitch();
          const BYTE* in_row = source->GetReadPtr() + i * source->GetPitch();
          for (int k = vi.RowSize(); k < out->GetPitch(); ++k) ASSERT_EQ(out_row[k], kFresh);
          for (int k = vi.RowSize(); k < source->GetPitch(); ++k) ASSERT_EQ(in_row[k], kPadding);
        }
      }
    }
    EXPECT_EQ(env.LiveFrames(), held);
    EXPECT_EQ(first->GetRefcount(), 1);
  }
}

}  // namespace
