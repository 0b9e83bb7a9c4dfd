// One filter instance serving several threads at once, as a host's shared thread mode calls
// it: every frame equals the frame a single thread gets, and the instance holds no more work
// spaces than threads called it at once.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "blur_filter.h"
#include "test_clips.h"

namespace {

constexpr int kThreads = 4, kFrames = 16, kRounds = 3;

TEST(SharedInstance, ThreadsGetTheFramesOfOneThread) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  const struct {
    const char* blur;
    int x, y, type;
  } cases[] = {{"focus", 24, 24, CS_BGR32}, {"focus", 5, 5, CS_BGR24}, {"line", 9, 4, CS_BGR24},
               {"line", 60, 20, CS_BGR32},  {"rect", 8, 8, CS_BGR32},  {"line", 3, 0, CS_BGR24}};
  std::mt19937 random(15);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.blur << " " << c.x << "/" << c.y << " type " << c.type);
    const VideoInfo vi = korvel_test::RgbInfo(480, 320, c.type, kFrames);
    std::vector<PVideoFrame> sources;
    for (int n = 0; n < kFrames; ++n) sources.push_back(korvel_test::RandomFrame(env, vi, 0, random));
    const PClip source = korvel_test::ClipOf(vi, sources);

    std::vector<std::vector<uint8_t>> expected;
    {
      const PClip alone = korvel_test::CallKorvel(env, source, {c.x, c.y, c.blur}).AsClip();
      for (int n = 0; n < kFrames; ++n)
        expected.push_back(korvel_test::Picture(alone->GetFrame(n, &env), vi.RowSize()));
    }

    auto* filter = new BlurFilter(source, c.x, c.y, c.blur);
    const PClip shared(filter);
    shared->GetFrame(0, &env);
    const int64_t one_thread_bytes = filter->Engine().WorkSpaceBytes();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int round = 0; round < kRounds; ++round)
          for (int n = t; n < kFrames; n += kThreads)
            if (korvel_test::Picture(shared->GetFrame(n, &env), vi.RowSize()) != expected[n])
              ++wrong;
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0) << "of " << kFrames * kRounds << " frames";
    EXPECT_LE(filter->Engine().WorkSpaceBytes(), kThreads * one_thread_bytes);
  }
}

// More threads at once than any fixed pool would hold: every call still takes a fast kernel,
// and the pool holds no more work spaces than threads.
TEST(SharedInstance, ManyThreadsAtOnceAllTakeTheFastKernel) {
  constexpr int kManyThreads = 96;
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  std::mt19937 random(33);
  const VideoInfo vi = korvel_test::RgbInfo(320, 200, CS_BGR32, kFrames);
  std::vector<PVideoFrame> sources;
  for (int n = 0; n < kFrames; ++n) sources.push_back(korvel_test::RandomFrame(env, vi, 0, random));
  const PClip source = korvel_test::ClipOf(vi, sources);
  std::vector<std::vector<uint8_t>> expected;
  {
    const PClip alone = korvel_test::CallKorvel(env, source, {20, 20, "focus"}).AsClip();
    for (int n = 0; n < kFrames; ++n)
      expected.push_back(korvel_test::Picture(alone->GetFrame(n, &env), vi.RowSize()));
  }

  auto* filter = new BlurFilter(source, 20, 20, "focus");
  const PClip shared(filter);
  const BlurEngine& engine = filter->Engine();
  shared->GetFrame(0, &env);
  const int64_t one_thread_bytes = engine.WorkSpaceBytes();
  std::atomic<int> wrong{0};
  std::latch start(kManyThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kManyThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      const int n = t % kFrames;
      if (korvel_test::Picture(shared->GetFrame(n, &env), vi.RowSize()) != expected[n]) ++wrong;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(engine.FramesAveragedBy(KernelChoice::kPlain), 0);
  EXPECT_EQ(engine.FramesAveragedBy(engine.LastKernel()), kManyThreads + 1);
  EXPECT_LE(engine.WorkSpaceBytes(), kManyThreads * one_thread_bytes);
}

}  // namespace
