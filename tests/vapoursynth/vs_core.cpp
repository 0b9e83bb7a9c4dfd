#include "vs_core.h"

#include <cstring>
#include <stdexcept>

#include "first_difference.h"

namespace korvel_vs_test {

const VSAPI* Api() {
  static const VSAPI* const api = getVapourSynthAPI(VAPOURSYNTH_API_VERSION);
  if (!api) throw std::runtime_error("the core offers no API 4");
  return api;
}

Core::Core(int threads) : core_(Api()->createCore(ccfDisableAutoLoading)) {
  if (!core_) throw std::runtime_error("the core could not be created");
  Api()->setThreadCount(threads, core_);
  Map args(Api()->createMap());
  Api()->mapSetData(args.get(), "path", KORVEL_VS_PLUGIN_PATH, -1, dtUtf8, maReplace);
  Map result(
      Api()->invoke(Api()->getPluginByID("com.vapoursynth.std", core_), "LoadPlugin", args.get()));
  if (const char* error = Api()->mapGetError(result.get())) {
    Api()->freeCore(core_);
    throw std::runtime_error(std::string("std.LoadPlugin failed: ") + error);
  }
}

Core::~Core() { Api()->freeCore(core_); }

VSVideoFormat Core::Format(int color_family, int bits, int sample_type, int log2_w,
                           int log2_h) const {
  VSVideoFormat format{};
  if (!Api()->queryVideoFormat(&format, color_family, sample_type, bits, log2_w, log2_h, core_))
    throw std::runtime_error("the core knows no such format");
  return format;
}

Node Core::Call(const char* plugin_namespace, const char* name, const VSMap* args) const {
  VSPlugin* plugin = Api()->getPluginByNamespace(plugin_namespace, core_);
  if (!plugin) throw std::runtime_error(std::string("no plugin ") + plugin_namespace);
  Map result(Api()->invoke(plugin, name, args));
  if (const char* error = Api()->mapGetError(result.get())) throw std::runtime_error(error);
  return Node(Api()->mapGetNode(result.get(), "clip", 0, nullptr));
}

Map Core::BlurCall(VSNode* clip, const BlurArguments& arguments) const {
  Map args(Api()->createMap());
  Api()->mapSetNode(args.get(), "clip", clip, maReplace);
  if (arguments.x) Api()->mapSetInt(args.get(), "x", *arguments.x, maReplace);
  if (arguments.y) Api()->mapSetInt(args.get(), "y", *arguments.y, maReplace);
  if (arguments.blur)
    Api()->mapSetData(args.get(), "blur", arguments.blur->data(), int(arguments.blur->size()),
                      dtUtf8, maReplace);
  if (arguments.planes)
    Api()->mapSetIntArray(args.get(), "planes", arguments.planes->data(),
                          int(arguments.planes->size()));
  return Map(Api()->invoke(Api()->getPluginByNamespace("korvel", core_), "Blur", args.get()));
}

Node Core::Blur(VSNode* clip, const BlurArguments& arguments) const {
  const Map result = BlurCall(clip, arguments);
  if (const char* error = Api()->mapGetError(result.get()))
    throw std::runtime_error(std::string("korvel.Blur refused: ") + error);
  return Node(Api()->mapGetNode(result.get(), "clip", 0, nullptr));
}

std::string Core::BlurError(VSNode* clip, const BlurArguments& arguments) const {
  const Map result = BlurCall(clip, arguments);
  const char* error = Api()->mapGetError(result.get());
  return error ? error : "(no error)";
}

Frame GetFrame(VSNode* clip, int n) {
  char error[1024] = "";
  Frame frame(Api()->getFrame(n, clip, error, sizeof(error)));
  if (!frame) throw std::runtime_error(std::string("frame ") + std::to_string(n) + ": " + error);
  return frame;
}

std::vector<Plane> Planes(const VSFrame* frame) {
  std::vector<Plane> planes;
  for (int p = 0; p < Api()->getVideoFrameFormat(frame)->numPlanes; ++p) {
    const int sample_bytes = Api()->getVideoFrameFormat(frame)->bytesPerSample;
    Plane plane{Api()->getFrameWidth(frame, p), Api()->getFrameHeight(frame, p), {}, sample_bytes};
    const uint8_t* data = Api()->getReadPtr(frame, p);
    const ptrdiff_t stride = Api()->getStride(frame, p), row_bytes = plane.width * sample_bytes;
    for (int row = 0; row < plane.height; ++row)
      plane.bytes.insert(plane.bytes.end(), data + row * stride, data + row * stride + row_bytes);
    planes.push_back(std::move(plane));
  }
  return planes;
}

std::optional<std::string> FirstDifference(const Plane& expected, const Plane& actual) {
  if (expected.width != actual.width || expected.height != actual.height)
    return "sizes differ: " + std::to_string(expected.width) + "x" +
           std::to_string(expected.height) + " and " + std::to_string(actual.width) + "x" +
           std::to_string(actual.height);
  return korvel_test::FirstDifference(expected.bytes, actual.bytes,
                                      expected.width * expected.sample_bytes);
}

}  // namespace korvel_vs_test
