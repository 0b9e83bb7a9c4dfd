// Counted frames, their write permission, and the environment's frame operations.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "test_clips.h"

namespace {

TEST(Frames, WritableOnlyWhileHeldOnce) {
  ScriptEnvironment env;
  PVideoFrame frame = env.NewVideoFrame(korvel_test::RgbInfo(10, 4, CS_BGR24), 16);
  const VideoFrameBuffer* buffer = frame->GetFrameBuffer();
  EXPECT_EQ(frame->GetRefcount(), 1);
  EXPECT_EQ(buffer->GetRefcount(), 1);
  const long sequence = buffer->GetSequenceNumber();
  EXPECT_NE(frame->GetWritePtr(), nullptr);
  EXPECT_EQ(buffer->GetSequenceNumber(), sequence + 1);
  {
    PVideoFrame second = frame;
    EXPECT_EQ(frame->GetRefcount(), 2);
    EXPECT_EQ(frame->GetWritePtr(), nullptr);
    EXPECT_EQ(buffer->GetSequenceNumber(), sequence + 1);
  }
  EXPECT_EQ(buffer->GetRefcount(), 1);
  EXPECT_NE(frame->GetWritePtr(), nullptr);
  EXPECT_EQ(env.LiveFrames(), 1u);
  frame = PVideoFrame();
  EXPECT_EQ(env.LiveFrames(), 0u);
}

// Two threads dropping the last two references to one frame at once: whichever brings the
// frame's count to 0 also ends the buffer's use, so the frame is free again every round.
TEST(Frames, ConcurrentDropsFreeTheFrame) {
  ScriptEnvironment env;
  for (int round = 0; round < 20000; ++round) {
    PVideoFrame first = env.NewFrame(16, 1), second = first;
    std::atomic<int> ready{0};
    std::thread other([&] {
      ++ready;
      while (ready.load() < 2) std::this_thread::yield();
      first = PVideoFrame();
    });
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();
    second = PVideoFrame();
    other.join();
    ASSERT_EQ(env.LiveFrames(), 0u) << "round " << round;
  }
}

TEST(Frames, StartAndPitchHonourTheAlignment) {
  ScriptEnvironment env;
  for (int align : {1, 16, 32, 64}) {
    PVideoFrame frame = env.NewVideoFrame(korvel_test::RgbInfo(13, 3, CS_BGR24), align);
    EXPECT_EQ(frame->GetRowSize(), 39);
    EXPECT_EQ(frame->GetPitch() % align, 0);
    EXPECT_GE(frame->GetPitch(), 39);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(frame->GetReadPtr()) % unsigned(align), 0u);
  }
  EXPECT_EQ(env.NewFrame(39, 3, 100, 4)->GetPitch(), 100);
  EXPECT_EQ(env.NewFrame(39, 3, 101, 4)->GetPitch(), 104);
}

TEST(Frames, BitBltCopiesRowsBetweenPitches) {
  ScriptEnvironment env;
  uint8_t src[3 * 8], dst[3 * 5];
  for (int i = 0; i < 24; ++i) src[i] = uint8_t(i);
  std::memset(dst, 0xFF, sizeof dst);
  env.BitBlt(dst, 5, src, 8, 4, 3);
  const uint8_t expected[] = {0, 1, 2, 3, 0xFF, 8, 9, 10, 11, 0xFF, 16, 17, 18, 19, 0xFF};
  EXPECT_EQ(0, std::memcmp(dst, expected, sizeof dst));
  env.BitBlt(dst, 5, src, 8, 0, 3);  // nothing to copy
  env.BitBlt(dst, 5, src, 8, 4, 0);
  EXPECT_EQ(0, std::memcmp(dst, expected, sizeof dst));
}

TEST(Frames, ClipReferencesDeleteOnTheLastRelease) {
  auto* clip = new MemoryClip(korvel_test::RgbInfo(8, 8, CS_BGR32));
  PClip first(clip);
  EXPECT_EQ(clip->GetRefcount(), 1);
  {
    AVSValue value(first);
    AVSValue copy = value;
    EXPECT_EQ(clip->GetRefcount(), 3);
    EXPECT_EQ(copy.AsClip().get(), clip);
    EXPECT_EQ(AVSValue(5).AsClip().get(), nullptr);
  }
  EXPECT_EQ(clip->GetRefcount(), 1);
}

}  // namespace
