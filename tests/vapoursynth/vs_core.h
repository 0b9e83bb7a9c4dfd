// VapourSynth's core as the tests use it: a core with the library under test loaded by
// std.LoadPlugin, calls of korvel.Blur, and frames read back plane by plane.
#pragma once

#include <VapourSynth4.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvel_vs_test {

const VSAPI* Api();

struct MapDeleter {
  void operator()(VSMap* map) const { Api()->freeMap(map); }
};
struct NodeDeleter {
  void operator()(VSNode* node) const { Api()->freeNode(node); }
};
struct FrameDeleter {
  void operator()(const VSFrame* frame) const { Api()->freeFrame(frame); }
};
using Map = std::unique_ptr<VSMap, MapDeleter>;
using Node = std::unique_ptr<VSNode, NodeDeleter>;
using Frame = std::unique_ptr<const VSFrame, FrameDeleter>;

// The arguments of one korvel.Blur call; those left empty are not passed.
struct BlurArguments {
  std::optional<int64_t> x, y;
  std::optional<std::string> blur;
  std::optional<std::vector<int64_t>> planes;
};

class Core {
 public:
  // A core of this many threads (0: one per processor) that has loaded the library.
  explicit Core(int threads = 1);
  ~Core();
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  VSCore* get() const { return core_; }
  // The pixel format of these properties, which the core must know.
  VSVideoFormat Format(int color_family, int bits, int sample_type, int log2_w, int log2_h) const;

  // namespace.name called with args: its clip, or a std::runtime_error with the core's text.
  Node Call(const char* plugin_namespace, const char* name, const VSMap* args) const;
  // korvel.Blur on the clip, or its error text.
  Node Blur(VSNode* clip, const BlurArguments& arguments) const;
  std::string BlurError(VSNode* clip, const BlurArguments& arguments) const;

 private:
  Map BlurCall(VSNode* clip, const BlurArguments& arguments) const;
  VSCore* core_;
};

// Frame n of a clip; a std::runtime_error with the core's text when it fails.
Frame GetFrame(VSNode* clip, int n);

// One plane's bytes, row after row without padding, its size in samples, and the size of
// its samples in bytes.
struct Plane {
  int width, height;
  std::vector<uint8_t> bytes;
  int sample_bytes = 1;
};
std::vector<Plane> Planes(const VSFrame* frame);

// Where two planes first differ, or nothing when they are equal.
std::optional<std::string> FirstDifference(const Plane& expected, const Plane& actual);

}  // namespace korvel_vs_test
