#include "korvel_blur_case.h"

#include <gtest/gtest.h>

#include <cstring>

#include "first_difference.h"

namespace korvel_real_host {

KorvelBlurHost::KorvelBlurHost() : RealHost(Plugin::kLeftToAutoload) {
  Evaluate("LoadPlugin(\"\"\"" KORVELBLUR_PLUGIN_PATH "\"\"\")");
}

namespace {

using korvel_test::FirstDifference;

// The host's names of the planes, in the order `planes` numbers them.
std::vector<int> HostPlanes(const VideoInfo& vi) {
  if (!vi.IsPlanar()) return {0};
  if (vi.IsY()) return {PLANAR_Y};
  std::vector<int> planes = vi.IsRGB() ? std::vector<int>{PLANAR_R, PLANAR_G, PLANAR_B}
                                       : std::vector<int>{PLANAR_Y, PLANAR_U, PLANAR_V};
  if (vi.NumComponents() == 4) planes.push_back(PLANAR_A);
  return planes;
}

StoredPlane ReadPlane(const PVideoFrame& frame, const VideoInfo& vi, int host_plane) {
  StoredPlane plane;
  plane.sample_bytes = vi.ComponentSize();
  plane.channels = vi.IsPlanar() ? 1 : vi.NumComponents();
  const int row_bytes = frame->GetRowSize(host_plane), pitch = frame->GetPitch(host_plane);
  plane.width = row_bytes / (plane.channels * plane.sample_bytes);
  plane.height = frame->GetHeight(host_plane);
  plane.bytes.resize(size_t(row_bytes) * size_t(plane.height));
  const BYTE* data = frame->GetReadPtr(host_plane);
  for (int row = 0; row < plane.height; ++row)
    std::memcpy(&plane.bytes[size_t(row) * size_t(row_bytes)], data + ptrdiff_t(row) * pitch,
                size_t(row_bytes));
  return plane;
}

}  // namespace

void CheckAgainstModel(RealHost& host, const KorvelBlurCase& c, int frames) {
  const std::string source_script = DetailedSourceOf(*c.format, c.width, c.height, frames);
  const PClip source = host.Evaluate(source_script).AsClip();
  const PClip blurred = host.Evaluate(KorvelBlurScript(source_script, c)).AsClip();
  const VideoInfo& vi = source->GetVideoInfo();
  ASSERT_EQ(blurred->GetVideoInfo().pixel_type, vi.pixel_type);
  const std::vector<int> host_planes = HostPlanes(vi);
  for (int n = 0; n < frames; ++n) {
    const PVideoFrame source_frame = source->GetFrame(n, host.env());
    const PVideoFrame blurred_frame = blurred->GetFrame(n, host.env());
    for (size_t i = 0; i < host_planes.size(); ++i) {
      const StoredPlane src = ReadPlane(source_frame, vi, host_planes[i]);
      const StoredPlane actual = ReadPlane(blurred_frame, vi, host_planes[i]);
      const std::string where = "frame " + std::to_string(n) + ", plane " + std::to_string(i);
      ExpectPlaneAsModel(c, int(i), src, actual, where);
    }
  }
}

void ExpectEqualFrames(RealHost& expected_host, const PClip& expected, RealHost& actual_host,
                       const PClip& actual, int frames) {
  const VideoInfo& vi = expected->GetVideoInfo();
  ASSERT_EQ(actual->GetVideoInfo().pixel_type, vi.pixel_type);
  for (int n = 0; n < frames; ++n) {
    const PVideoFrame a = expected->GetFrame(n, expected_host.env());
    const PVideoFrame b = actual->GetFrame(n, actual_host.env());
    for (const int host_plane : HostPlanes(vi)) {
      const StoredPlane pa = ReadPlane(a, vi, host_plane), pb = ReadPlane(b, vi, host_plane);
      const auto difference = FirstDifference(pa.bytes, pb.bytes, pa.RowBytes());
      ASSERT_FALSE(difference) << "frame " << n << ", host plane " << host_plane << ": "
                               << *difference;
    }
  }
}

}  // namespace korvel_real_host
