// Loading the plugin library and making filters through the registered function.
#include <gtest/gtest.h>

#include "test_clips.h"

namespace {

using korvel_test::CallKorvel;
using korvel_test::RgbInfo;

// Registers a function the way a plugin entry must, for checking what the entry passes.
class RecordingEnvironment : public ScriptEnvironment {
 public:
  void AddFunction(const char* name, const char* params, ApplyFunc apply,
                   void* user_data) override {
    calls.push_back({name, params, apply, user_data});
    ScriptEnvironment::AddFunction(name, params, apply, user_data);
  }
  struct Call {
    std::string name, params;
    ApplyFunc apply;
    void* user_data;
  };
  std::vector<Call> calls;
};

TEST(PluginEntry, RegistersKorvelOnceAndDescribesItself) {
  RecordingEnvironment env;
  EXPECT_STREQ(env.LoadPlugin(KORVEL_PLUGIN_PATH), "Korvel  Plugin");
  ASSERT_EQ(env.calls.size(), 1u);
  EXPECT_EQ(env.calls[0].name, "Korvel");
  EXPECT_EQ(env.calls[0].params, "c[x]i[y]i[blur]s");
  EXPECT_NE(env.calls[0].apply, nullptr);
  EXPECT_EQ(env.calls[0].user_data, nullptr);
  EXPECT_TRUE(env.FunctionExists("Korvel"));
}

TEST(PluginEntry, MissingLibraryIsAClearError) {
  ScriptEnvironment env;
  try {
    env.LoadPlugin("/nonexistent/libkorvel.so");
    FAIL();
  } catch (const AvisynthError& error) {
    EXPECT_NE(std::string(error.msg).find("cannot load plugin /nonexistent/libkorvel.so"),
              std::string::npos);
  }
}

TEST(PluginEntry, FilterDescribesItselfAsItsSource) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  VideoInfo vi = RgbInfo(640, 480, CS_BGR24, 250);
  vi.fps_numerator = 30000;
  vi.fps_denominator = 1001;
  vi.audio_samples_per_second = 48000;
  vi.sample_type = SAMPLE_INT16;
  vi.num_audio_samples = 480480;
  vi.nchannels = 2;
  vi.image_type = 3;
  auto* source = new MemoryClip(vi);
  PClip clip(source);
  for (auto blur : {"line", "rect", "focus"}) {
    AVSValue filter = CallKorvel(env, clip, {3, 1, blur});
    ASSERT_TRUE(filter.IsClip());
    EXPECT_TRUE(filter.AsClip()->GetVideoInfo() == vi);
    EXPECT_EQ(filter.AsClip()->GetVersion(), 2);
  }
  EXPECT_EQ(source->GetRefcount(), 1);
}

TEST(PluginEntry, ParityAndAudioPassThroughCacheHintsDoNot) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  VideoInfo vi = RgbInfo(64, 48, CS_BGR32, 10);
  vi.audio_samples_per_second = 44100;
  vi.sample_type = SAMPLE_INT16;
  vi.nchannels = 2;
  vi.num_audio_samples = 100000;
  auto* source = new MemoryClip(vi);
  PClip clip(source);
  PClip filter = CallKorvel(env, clip, {}).AsClip();

  EXPECT_FALSE(filter->GetParity(4));
  EXPECT_TRUE(filter->GetParity(7));
  EXPECT_EQ(source->ParityRequests(), (std::vector<int>{4, 7}));

  std::vector<uint8_t> through(40), direct(40);
  filter->GetAudio(through.data(), 1000, 10, &env);
  source->GetAudio(direct.data(), 1000, 10, &env);
  EXPECT_EQ(through, direct);
  ASSERT_EQ(source->AudioRequests().size(), 2u);
  EXPECT_EQ(source->AudioRequests()[0].start, 1000);
  EXPECT_EQ(source->AudioRequests()[0].count, 10);

  filter->SetCacheHints(1, 100);
  EXPECT_EQ(source->CacheHintCalls(), 0);
}

TEST(PluginEntry, SourceReferencesAreBalanced) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  auto* source = new MemoryClip(RgbInfo(640, 480, CS_BGR24));
  PClip clip(source);
  {
    AVSValue filter = CallKorvel(env, clip, {});
    EXPECT_EQ(source->GetRefcount(), 2);  // ours and the filter's
  }
  EXPECT_EQ(source->GetRefcount(), 1);
  EXPECT_NE(korvel_test::CreationError(env, clip, {81, {}, {}}), "(no error)");
  EXPECT_NE(korvel_test::CreationError(env, clip, {{}, {}, "blob"}), "(no error)");
  EXPECT_EQ(source->GetRefcount(), 1);
}

// Tables whose size a 32-bit count cannot hold, or memory cannot, are refused up front.
TEST(PluginEntry, ImpossibleTableIsOutOfMemory) {
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  auto* source = new MemoryClip(RgbInfo(1 << 30, 1 << 20, CS_BGR32));
  PClip clip(source);
  EXPECT_EQ(korvel_test::CreationError(env, clip, {1 << 26, {}, "focus"}), "Korvel: out of memory");
  EXPECT_EQ(korvel_test::CreationError(env, clip, {1 << 26, 1 << 16, "rect"}),
            "Korvel: out of memory");
  EXPECT_EQ(source->GetRefcount(), 1);
}

// In a 32-bit process a table that a 32-bit count can hold may still not fit in the address
// space. The array allocation must then fail quietly, not throw from inside the plugin,
// where no host could catch it.
TEST(PluginEntry, TableBeyondTheAddressSpaceIsOutOfMemory) {
  if (sizeof(size_t) > 4) GTEST_SKIP() << "only a 32-bit address space is too small";
  ScriptEnvironment env;
  korvel_test::LoadKorvel(env);
  auto* source = new MemoryClip(RgbInfo(1 << 18, 1 << 18, CS_BGR24));
  PClip clip(source);
  // 32769 x 32769 entries: under 2^31, but four bytes each is over 2^32.
  EXPECT_EQ(korvel_test::CreationError(env, clip, {16384, 16384, "rect"}), "Korvel: out of memory");
  EXPECT_EQ(korvel_test::CreationError(env, clip, {16384, {}, "focus"}), "Korvel: out of memory");
  EXPECT_EQ(source->GetRefcount(), 1);
}

}  // namespace

namespace {

// Stands in for the frame server on Linux: its 2.5 face answers the family key with 1, and
// after a creation returns it releases each clip argument once more than it took.
class OverReleasingEnvironment : public ScriptEnvironment {
 public:
  void* ManageCache(int key, void* data) override {
    return key == kManageCacheAskForClassicFace ? reinterpret_cast<void*>(1)
                                                : ScriptEnvironment::ManageCache(key, data);
  }
};

TEST(PluginEntry, TheFrameServersExtraReleaseIsCancelled) {
  OverReleasingEnvironment env;
  korvel_test::LoadKorvel(env);
  auto* source = new MemoryClip(RgbInfo(640, 480, CS_BGR24));
  PClip clip(source);
  {
    AVSValue filter = CallKorvel(env, clip, {3, 1, "rect"});
    source->Release();                    // the host's extra release
    EXPECT_EQ(source->GetRefcount(), 2);  // ours and the filter's
    EXPECT_NE(korvel_test::CreationError(env, clip, {0, {}, "rect"}), "(no error)");
    EXPECT_EQ(source->GetRefcount(), 2);  // a failed creation takes nothing extra
  }
  EXPECT_EQ(source->GetRefcount(), 1);
}

}  // namespace
