// Every creation message of korvel.Blur reaches the caller through the map's error, verbatim,
// for every case of the one table of messages (tests/support/vs_message_cases.h).
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "detail_source.h"
#include "vs_message_cases.h"

namespace korvel_vs_test {
namespace {

using korvel_test::VsMessageCase;

void PrintTo(const VsMessageCase& c, std::ostream* os) {
  const korvel_test::VsArguments& a = c.arguments;
  *os << c.clip.name << " x=" << (a.has_x ? std::to_string(a.x) : "-")
      << " y=" << (a.has_y ? std::to_string(a.y) : "-")
      << " blur=" << (a.blur ? "\"" + std::string(a.blur) + "\"" : "-");
  for (int p = 0; p < a.plane_count; ++p)
    *os << (p == 0 ? " planes=" : "") << "[" << a.planes[p] << "]";
}

Node Clip(const Core& core, const korvel_test::VsClip& clip) {
  const VSVideoFormat format =
      clip.color_family == cfUndefined
          ? VSVideoFormat{}
          : core.Format(clip.color_family, clip.bits, clip.sample_type, clip.log2_w, clip.log2_h);
  return DetailedSource(core, format, clip.width, clip.height, 1);
}

BlurArguments ArgumentsOf(const korvel_test::VsArguments& a) {
  BlurArguments arguments;
  if (a.has_x) arguments.x = a.x;
  if (a.has_y) arguments.y = a.y;
  if (a.blur)
    arguments.blur =
        std::string(a.blur, a.blur_size < 0 ? std::strlen(a.blur) : size_t(a.blur_size));
  if (a.plane_count >= 0)
    arguments.planes = std::vector<int64_t>(a.planes, a.planes + a.plane_count);
  return arguments;
}

class CreationMessages : public ::testing::TestWithParam<VsMessageCase> {};

TEST_P(CreationMessages, ArriveVerbatim) {
  const Core core;
  const Node clip = Clip(core, GetParam().clip);
  EXPECT_EQ(core.BlurError(clip.get(), ArgumentsOf(GetParam().arguments)), GetParam().message);
}

// Named by their place in the table and their clip.
std::string CaseName(const ::testing::TestParamInfo<VsMessageCase>& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.clip.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(All, CreationMessages, ::testing::ValuesIn(korvel_test::kVsMessageCases),
                         CaseName);

}  // namespace
}  // namespace korvel_vs_test
