// The node registers as fully parallel: the core's thread pool, asked for every frame at
// once, gives the frames of one thread. Each frame carries its source frame's properties.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "blur_case.h"
#include "detail_source.h"

namespace korvel_vs_test {
namespace {

// Every frame of the clip, asked for all at once, in reverse order.
std::vector<std::vector<Plane>> AllFramesAtOnce(VSNode* clip, int frames) {
  struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::vector<Plane>> frames;
    std::vector<std::string> errors;
    int left;
  } pending;
  pending.frames.resize(size_t(frames));
  pending.left = frames;
  for (int n = frames - 1; n >= 0; --n)
    Api()->getFrameAsync(
        n, clip,
        [](void* user_data, const VSFrame* frame, int n, VSNode*, const char* error) {
          auto& pending = *static_cast<Pending*>(user_data);
          std::vector<Plane> planes;
          if (frame) planes = Planes(frame);
          Api()->freeFrame(frame);
          const std::lock_guard lock(pending.mutex);
          if (!frame) pending.errors.push_back(error ? error : "no frame");
          pending.frames[size_t(n)] = std::move(planes);
          if (--pending.left == 0) pending.done.notify_one();
        },
        &pending);
  std::unique_lock lock(pending.mutex);
  pending.done.wait(lock, [&] { return pending.left == 0; });
  if (!pending.errors.empty()) throw std::runtime_error(pending.errors.front());
  return std::move(pending.frames);
}

TEST(ThreadPool, GivesTheFramesOfOneThread) {
  constexpr int kFrames = 12;
  for (const BlurCase& c : {BlurCase{kYuv420, 640, 360, "focus", 9, 0, {}},
                            BlurCase{kRgb24, 320, 240, "line", 13, -7, {}},
                            BlurCase{kGray8, 322, 241, "rect", 6, 4, {}},
                            BlurCase{kYuv420P10, 640, 360, "focus", 9, 0, {}},
                            BlurCase{kRgbS, 322, 241, "line", 13, -7, {}}}) {
    SCOPED_TRACE(::testing::PrintToString(c));
    std::vector<std::vector<Plane>> by_thread_count[2];
    for (const int threads : {1, 4}) {
      const Core core(threads);
      const VSVideoFormat format =
          core.Format(c.format.color_family, c.format.bits, c.format.sample_type, c.format.log2_w,
                      c.format.log2_h);
      const Node source = DetailedSource(core, format, c.width, c.height, kFrames);
      const Node blurred = core.Blur(source.get(), c.Arguments());
      by_thread_count[threads == 4] = AllFramesAtOnce(blurred.get(), kFrames);
    }
    for (int n = 0; n < kFrames; ++n)
      for (size_t p = 0; p < by_thread_count[0][size_t(n)].size(); ++p) {
        const auto difference =
            FirstDifference(by_thread_count[0][size_t(n)][p], by_thread_count[1][size_t(n)][p]);
        EXPECT_FALSE(difference) << "frame " << n << ", plane " << p << ": " << *difference;
      }
  }
}

// Blurred planes, and planes left as they are, alike.
TEST(FrameProperties, ArePassedOn) {
  const Core core;
  const Node source = DetailedSource(core, core.Format(cfYUV, 8, stInteger, 1, 1), 64, 48, 3);
  for (const BlurArguments& arguments :
       {BlurArguments{3, 2, "rect", {}}, BlurArguments{3, 2, "rect", {{1, 2}}}}) {
    const Node blurred = core.Blur(source.get(), arguments);
    for (int n = 0; n < 3; ++n) {
      const Frame frame = GetFrame(blurred.get(), n);
      const VSMap* properties = Api()->getFramePropertiesRO(frame.get());
      int error = 0;
      EXPECT_EQ(Api()->mapGetInt(properties, kFrameNumberProperty, 0, &error), n);
      EXPECT_EQ(Api()->mapGetInt(properties, "_Matrix", 0, &error), 1);
      const char* note = Api()->mapGetData(properties, kNoteProperty, 0, &error);
      EXPECT_EQ(error, 0);
      EXPECT_STREQ(note, kNote);
    }
  }
}

}  // namespace
}  // namespace korvel_vs_test
