// KorvelBlur in a host that the program loaded with RTLD_LOCAL, as FFmpeg's AviSynth demuxer
// and the korvel command load it: the host's functions are in no namespace a plugin can bind
// to by name. This program links no host; it takes the host's C functions by dlsym, and has a
// stand-in for an older host linked in, whose avs_add_function is the only one in the global
// namespace.
#define AVSC_NO_DECLSPEC
#include <avisynth_c.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "korvel_blur_model.h"

extern "C" const char* KorvelBlurErrorInOlderHost(const char* plugin_path);

namespace korvel_real_host {
namespace {

// clang-format off
#define LOCAL_HOST_FUNCTIONS(X)                                                     \
  X(avs_create_script_environment) X(avs_delete_script_environment) X(avs_invoke)   \
  X(avs_release_value) X(avs_take_clip) X(avs_release_clip) X(avs_get_frame)        \
  X(avs_clip_get_error) X(avs_release_video_frame) X(avs_get_read_ptr_p)            \
  X(avs_get_pitch_p) X(avs_get_row_size_p) X(avs_get_height_p)
// clang-format on

// The host's library loaded with RTLD_LOCAL, once for the program, and one environment of it
// for each test.
class LocalHost {
 public:
  LocalHost() {
    static void* const library = dlopen(KORVEL_HOST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(dlerror());
#define FIND_FUNCTION(name)                                    \
  name = reinterpret_cast<name##_func>(dlsym(library, #name)); \
  if (!name) throw std::runtime_error("the host lacks " #name);
    LOCAL_HOST_FUNCTIONS(FIND_FUNCTION)
#undef FIND_FUNCTION
    env_ = avs_create_script_environment(AVISYNTH_INTERFACE_VERSION);
    if (!env_) throw std::runtime_error("no script environment");
  }
  ~LocalHost() {
    for (AVS_Clip* clip : clips_) avs_release_clip(clip);
    avs_delete_script_environment(env_);
  }
  LocalHost(const LocalHost&) = delete;
  LocalHost& operator=(const LocalHost&) = delete;

  // The script's clip, held until the host goes; the host's error as std::runtime_error.
  AVS_Clip* Clip(const std::string& script) {
    const AVS_Value result = Evaluate(script);
    AVS_Clip* clip = avs_is_clip(result) ? avs_take_clip(result, env_) : nullptr;
    avs_release_value(result);
    if (!clip) throw std::runtime_error("no clip from " + script);
    clips_.push_back(clip);
    return clip;
  }

  void LoadKorvelBlur() {
    avs_release_value(Evaluate("LoadPlugin(\"\"\"" KORVELBLUR_PLUGIN_PATH "\"\"\")"));
  }

  // Plane p of frame n as the model reads it.
  StoredPlane Plane(AVS_Clip* clip, int n, const HostFormat& format, int p) {
    AVS_VideoFrame* frame = avs_get_frame(clip, n);
    if (!frame) throw std::runtime_error(avs_clip_get_error(clip));
    const int host_plane = HostPlaneOf(format, p);
    StoredPlane plane;
    plane.sample_bytes = format.bits == 8 ? 1 : format.bits == 32 ? 4 : 2;
    plane.channels = format.packed ? format.plane_count : 1;
    const int row_bytes = avs_get_row_size_p(frame, host_plane);
    plane.width = row_bytes / (plane.channels * plane.sample_bytes);
    plane.height = avs_get_height_p(frame, host_plane);
    const uint8_t* data = avs_get_read_ptr_p(frame, host_plane);
    for (int row = 0; row < plane.height; ++row, data += avs_get_pitch_p(frame, host_plane))
      plane.bytes.insert(plane.bytes.end(), data, data + row_bytes);
    avs_release_video_frame(frame);
    return plane;
  }

 private:
  AVS_Value Evaluate(const std::string& script) {
    const AVS_Value result =
        avs_invoke(env_, "Eval", avs_new_value_string(script.c_str()), nullptr);
    if (avs_is_error(result)) throw std::runtime_error(avs_as_error(result));
    return result;
  }

  static int HostPlaneOf(const HostFormat& format, int p) {
    const int yuv[] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V, AVS_PLANAR_A};
    const int rgb[] = {AVS_PLANAR_R, AVS_PLANAR_G, AVS_PLANAR_B, AVS_PLANAR_A};
    return format.packed ? AVS_DEFAULT_PLANE : format.rgb ? rgb[p] : yuv[p];
  }

#define DECLARE_FUNCTION(name) name##_func name = nullptr;
  LOCAL_HOST_FUNCTIONS(DECLARE_FUNCTION)
#undef DECLARE_FUNCTION
  AVS_ScriptEnvironment* env_ = nullptr;
  std::vector<AVS_Clip*> clips_;
};

// The premise: nothing of the host is in the global namespace but the older host's one
// function, which KorvelBlur must not take for the host that loads it.
TEST(KorvelBlurLocalHost, HostFunctionsAreNotGlobal) {
  LocalHost host;
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "avs_create_script_environment"), nullptr);
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "avs_new_video_frame_p"), nullptr);
  EXPECT_NE(dlsym(RTLD_DEFAULT, "avs_add_function"), nullptr);
}

TEST(KorvelBlurLocalHost, RendersAsTheModel) {
  constexpr int kFrames = 2;
  LocalHost host;
  host.LoadKorvelBlur();
  for (const KorvelBlurCase& c :
       {KorvelBlurCase{&HostFormatNamed("YV12"), 64, 48, "rect", 4, 3, {}},
        KorvelBlurCase{&HostFormatNamed("YUVA422P10"), 64, 48, "line", 7, -5, {0, 3}},
        KorvelBlurCase{&HostFormatNamed("RGB32"), 64, 48, "focus", 5, 0, {}},
        KorvelBlurCase{&HostFormatNamed("RGBPS"), 64, 48, "line", -3, 6, {}}}) {
    SCOPED_TRACE(::testing::PrintToString(c));
    const std::string source_script = DetailedSourceOf(*c.format, c.width, c.height, kFrames);
    AVS_Clip* source = host.Clip(source_script);
    AVS_Clip* blurred = host.Clip(KorvelBlurScript(source_script, c));
    const int planes = c.format->packed ? 1 : c.format->plane_count;
    for (int n = 0; n < kFrames; ++n)
      for (int p = 0; p < planes; ++p)
        ExpectPlaneAsModel(c, p, host.Plane(source, n, *c.format, p),
                           host.Plane(blurred, n, *c.format, p),
                           "frame " + std::to_string(n) + ", plane " + std::to_string(p));
  }
}

// A host that lacks a function KorvelBlur calls gets KorvelBlur all the same, and the script
// that calls it a message naming the function and the version needed.
TEST(KorvelBlurOlderHost, ScriptErrorNamesWhatIsMissing) {
  EXPECT_STREQ(KorvelBlurErrorInOlderHost(KORVELBLUR_PLUGIN_PATH),
               "Korvel: the AviSynth+ that loaded KorvelBlur lacks avs_bit_blt, so it is older "
               "than 3.7; KorvelBlur needs AviSynth+ 3.7 or newer");
}

}  // namespace
}  // namespace korvel_real_host
