// The fast kernels against the plain one, byte for byte: random frame sizes, pitches,
// formats, shapes and parameters across the accepted range, on every instruction set the
// processor has. The source buffer is exactly the frame, so a read outside it fails under
// the sanitizers; the destination has guard bytes around it and padding after each row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "accepted_arguments.h"
#include "averaging/fast_averager.h"
#include "averaging/plain_kernel.h"
#include "blur_filter.h"
#include "sample_tables.h"
#include "test_clips.h"

namespace {

constexpr ptrdiff_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

struct Call {
  std::string blur;
  int x, y;
  int width, height, bytes_per_pixel;
  int src_padding, dst_padding;
  bool ring;  // work space for long runs' prefix sums
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
  return os << c.blur << " " << c.x << "/" << c.y << " on " << c.width << "x" << c.height << "x"
            << c.bytes_per_pixel << ", padding " << c.src_padding << "/" << c.dst_padding
            << (c.ring ? ", ring" : ", no ring");
}

// Parameters that creation accepts for the frame size, biased towards the extremes, on
// frames from the smallest with an averaged area upwards.
Call Draw(std::mt19937& random) {
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  Call c;
  constexpr int kBytesPerPixel[] = {1, 3, 4};
  c.bytes_per_pixel = kBytesPerPixel[uniform(0, 2)];
  c.src_padding = uniform(0, 2) == 0 ? 0 : uniform(1, 70);
  c.dst_padding = uniform(0, 2) == 0 ? 0 : uniform(1, 70);
  c.ring = uniform(0, 3) != 0;
  for (;;) {
    const bool small = uniform(0, 3) == 0;
    c.width = small ? uniform(4, 20) : uniform(8, 110);
    c.height = small ? uniform(4, 20) : uniform(8, 110);
    if (auto arguments = korvel_test::DrawAcceptedArguments(c.width, c.height, random)) {
      c.blur = arguments->blur;
      c.x = arguments->x;
      c.y = c.blur == "focus" ? c.x : arguments->y;  // the filter makes the disc as high as wide
      return c;
    }
  }
}

// The calls every run makes: the smallest frames with an averaged area, sums that need
// 32-bit lanes, diagonals, and even and odd major extents of either sign.
std::vector<Call> Extremes() {
  std::vector<Call> calls;
  auto add = [&](std::string blur, int x, int y, int width, int height) {
    for (int bytes_per_pixel : {1, 3, 4})
      for (bool ring : {true, false})
        calls.push_back({blur, x, y, width, height, bytes_per_pixel, 5, 11, ring});
  };
  add("rect", 1, 1, 8, 8);
  add("rect", 8, 8, 64, 64);  // 289 samples: 32-bit sums
  add("rect", 4, 1, 32, 8);
  add("rect", 1, 43, 12, 350);  // a narrow box of 261 samples, summed value by value
  add("line", 0, 129, 4, 1040);
  // Column sums of 259 and 261 rows, past 16 bits, in boxes wide enough for sums along the
  // row, with outputs shorter than a register, and of whole registers and a few bytes more.
  for (int bytes_per_pixel : {1, 3, 4}) {
    calls.push_back({"rect", 2, 129, 16, 1040, bytes_per_pixel, 0, 0, false});
    calls.push_back({"rect", 9, 130, 81, 1040, bytes_per_pixel, 3, 0, false});
  }
  add("line", 1, 0, 8, 4);
  add("line", 0, 1, 4, 8);
  add("line", 0, -3, 9, 24);
  add("line", -3, 0, 24, 9);
  add("line", -12, 0, 100, 6);   // one row of prefix sums straight from the source
  add("line", 130, 0, 1040, 6);  // the same in 32-bit sums
  add("line", 3, -3, 24, 24);
  add("line", -5, -5, 40, 40);
  add("line", 4, 1, 32, 12);
  add("line", -5, 2, 40, 20);
  add("line", 2, 5, 20, 40);
  add("line", -3, 7, 30, 60);
  add("line", 129, -2, 1040, 16);  // 259 samples along rows: 32-bit sums and long runs
  add("line", 130, 10, 1040, 26);  // 261 samples repeating every 13: 32-bit sums, one row back
  add("line", -10, 130, 88, 1040);
  add("focus", 2, 2, 16, 8);
  add("focus", 10, 10, 80, 26);  // 317 samples: 32-bit sums
  return calls;
}

// Index of the first byte where the buffers differ, or -1.
ptrdiff_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const auto [at, _] = std::mismatch(a.begin(), a.end(), b.begin());
  return at == a.end() ? -1 : at - a.begin();
}

bool GuardsIntact(const std::vector<uint8_t>& buffer) {
  auto guard = [](uint8_t byte) { return byte == kGuardByte; };
  return std::all_of(buffer.begin(), buffer.begin() + kGuard, guard) &&
         std::all_of(buffer.end() - kGuard, buffer.end(), guard);
}

// The compiler's own check, to hold the plugin's cpuid reading to: a set it misses would
// silently never run.
bool ProcessorHas(InstructionSet set) {
#if defined(KORVEL_X86_KERNELS)
  switch (set) {
    case InstructionSet::kPortable: return true;
    case InstructionSet::kAvx2: return __builtin_cpu_supports("avx2");
    case InstructionSet::kAvx512:
      return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    case InstructionSet::kAvx512Vnni:
      return ProcessorHas(InstructionSet::kAvx512) && __builtin_cpu_supports("avx512vnni") &&
             __builtin_cpu_supports("avx512vbmi");
  }
  return false;
#else
  return set == InstructionSet::kPortable;
#endif
}

class FastKernels : public ::testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    ASSERT_EQ(IsAvailable(GetParam()), ProcessorHas(GetParam()));
    if (!IsAvailable(GetParam())) GTEST_SKIP() << "this processor lacks the instruction set";
    if (GetParam() > WidestWithin(nullptr)) FAIL() << "the filter would not take the widest set";
  }

  // Runs the call through the fast averager and the plain kernel and compares the whole
  // destination buffers; returns the kernel the averager chose. A call of one byte per
  // pixel stands for a plane of 8-bit samples. The source is random bytes, or with `pattern`
  // a picture that sends sums to their bounds.
  KernelChoice Compare(const Call& c, std::mt19937& random, SumWidth narrowest = kSum16,
                       uint8_t (*pattern)(int row, int byte) = nullptr) {
    return CompareSamples(c, BytePixels(c.bytes_per_pixel), narrowest, [&](Picture& source) {
      std::uniform_int_distribution<int> byte(0, 255);
      for (uint8_t& b : source.bytes) b = uint8_t(byte(random));
      for (ptrdiff_t at = 0; pattern && at < ptrdiff_t(source.bytes.size()); ++at)
        source.bytes[size_t(at)] = pattern(int(at / source.pitch), int(at % source.pitch));
    });
  }

  // The same for pixels of any sample format (the call's bytes_per_pixel is then its
  // channels), the source filled by `fill`. Floats too must match bit for bit: the plain and
  // the fast kernels sum the same integers.
  struct Picture {
    std::vector<uint8_t> bytes;
    ptrdiff_t pitch;
  };
  template <typename Fill>
  KernelChoice CompareSamples(const Call& c, SampleFormat format, SumWidth narrowest, Fill fill) {
    const ptrdiff_t row_bytes = ptrdiff_t(c.width) * format.PixelBytes();
    const int sample_bytes = format.SampleBytes();
    // Paddings in whole samples, so that rows start on a sample's boundary.
    const ptrdiff_t src_pitch = row_bytes + c.src_padding * sample_bytes;
    const ptrdiff_t dst_pitch = row_bytes + c.dst_padding * sample_bytes;
    const std::vector<int32_t> table =
        korvel_test::TableOf(c.blur.c_str(), c.x, c.y, int(src_pitch), format.PixelBytes());
    Picture source{std::vector<uint8_t>(size_t(src_pitch * c.height)), src_pitch};
    fill(source);
    const size_t dst_size = size_t(2 * kGuard + dst_pitch * c.height);
    std::vector<uint8_t> plain(dst_size, kGuardByte), fast(dst_size, kGuardByte);
    auto job = [&](uint8_t* dst) {
      AveragingJob averaging = InteriorJob(source.bytes.data(), src_pitch, dst + kGuard, dst_pitch,
                                           c.width, c.height, format.PixelBytes(), std::abs(c.x),
                                           std::abs(c.y), table.data(), int(table.size()));
      averaging.sample_type = format.type;
      if (format.type == SampleType::kFloat32) {
        const FloatPlaneScan scan = KernelsFor(GetParam()).scan_floats(
            source.bytes.data(), src_pitch, ptrdiff_t(c.width) * format.channels, c.height);
        averaging.float_scale = FloatScaleFor(scan.largest_finite_bits, int64_t(table.size()));
      }
      return averaging;
    };

    AveragePlain(job(plain.data()));
    const int y_bound = c.blur == "focus" ? c.x : std::abs(c.y);
    std::unique_ptr<FastAverager> averager(
        FastAverager::Create(std::abs(c.x), y_bound, row_bytes, int64_t(table.size()), c.ring,
                             GetParam(), narrowest, false, format));
    EXPECT_NE(averager, nullptr);
    if (!averager) return KernelChoice::kPlain;
    const KernelChoice choice = averager->Average(job(fast.data()));

    EXPECT_TRUE(GuardsIntact(fast)) << "a write outside the destination frame";
    const ptrdiff_t at = FirstDifference(fast, plain);
    EXPECT_EQ(at, -1) << "first difference at row " << (at - kGuard) / dst_pitch << ", byte "
                      << (at - kGuard) % dst_pitch << ": " << int(fast[size_t(at)])
                      << " instead of " << int(plain[size_t(at)]);
    if (!job(fast.data()).Empty()) {
      EXPECT_NE(choice, KernelChoice::kPlain) << "the fast path did not run";
    }
    return choice;
  }

  ScriptEnvironment env_;
};

TEST_P(FastKernels, MatchThePlainKernelByteForByte) {
  std::mt19937 random(20261207);
  std::map<std::pair<int, KernelChoice>, int> chosen;  // by bytes per pixel
  for (const Call& c : Extremes()) {
    SCOPED_TRACE(::testing::Message() << c);
    ++chosen[{c.bytes_per_pixel, Compare(c, random)}];
    if (HasFailure()) return;
  }
  for (int round = 0; round < 450; ++round) {
    const Call c = Draw(random);
    // 64-bit sums serve only tables of millions of samples: some rounds take them anyway.
    const SumWidth narrowest = round % 4 == 3 ? kSum64 : kSum16;
    SCOPED_TRACE(::testing::Message()
                 << "round " << round << ": " << c << (narrowest == kSum64 ? ", 64-bit sums" : ""));
    ++chosen[{c.bytes_per_pixel, Compare(c, random, narrowest)}];
    if (HasFailure()) return;
  }
  for (int bytes_per_pixel : {1, 3, 4})
    for (int kernel = int(KernelChoice::kBox16); kernel <= int(KernelChoice::kRowBox32); ++kernel)
      EXPECT_GT((chosen[{bytes_per_pixel, KernelChoice(kernel)}]), 0)
          << KernelName(KernelChoice(kernel)) << " never ran with " << bytes_per_pixel
          << " bytes per pixel";
}

// Random words from word_low to word_high, or floats of one magnitude or of magnitudes 60 decades apart.
void FillSamples(std::mt19937& random, SampleFormat format, int word_low, int word_high,
                 std::vector<uint8_t>& bytes) {
  if (format.type == SampleType::kUint16) {
    std::uniform_int_distribution<int> word(word_low, word_high);
    for (size_t at = 0; at + 2 <= bytes.size(); at += 2) {
      const uint16_t sample = uint16_t(word(random));
      memcpy(&bytes[at], &sample, 2);
    }
    return;
  }
  const int decades = std::uniform_int_distribution<int>(0, 3)(random);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::bernoulli_distribution coin;
  for (size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    float sample = unit(random);
    if (decades == 1) sample *= 1e30f;
    if (decades == 2) sample *= 1e-30f;
    if (decades == 3) sample *= coin(random) ? 1e30f : 1e-30f;
    memcpy(&bytes[at], &sample, 4);
  }
}

// Words of 9 to 16 bits and floats take the same kernels on every instruction set, and the
// same bits as the plain kernel: random frames, pitches, shapes and parameters as for bytes,
// then tables of more samples than 32-bit lanes hold at 16 bits, at 10 bits (which fit them),
// and 10-bit formats holding larger words (which must take 64-bit lanes after all).
TEST_P(FastKernels, WideSamplesMatchThePlainKernel) {
  std::mt19937 random(20261208);
  std::map<std::pair<SampleType, KernelChoice>, int> chosen;
  auto compare = [&](const Call& c, SampleFormat format, int word_low, int word_high) {
    SCOPED_TRACE(::testing::Message()
                 << c << (format.type == SampleType::kFloat32 ? ", floats" : ", words of ")
                 << (format.type == SampleType::kFloat32 ? 0 : format.bits) << " bits from "
                 << word_low << " to " << word_high);
    ++chosen[{format.type, CompareSamples(c, format, kSum16, [&](Picture& source) {
                FillSamples(random, format, word_low, word_high, source.bytes);
              })}];
  };
  for (int round = 0; round < 300; ++round) {
    const Call c = Draw(random);
    const int bits = std::uniform_int_distribution<int>(9, 16)(random);
    const SampleFormat format = round % 2
                                    ? SampleFormat{SampleType::kUint16, bits, c.bytes_per_pixel}
                                    : SampleFormat{SampleType::kFloat32, 32, c.bytes_per_pixel};
    compare(c, format, 0, (1 << bits) - 1);
    if (HasFailure()) return;
  }
  for (const KernelChoice kernel :
       {KernelChoice::kBox32, KernelChoice::kRuns32, KernelChoice::kShifted32})
    EXPECT_GT((chosen[{SampleType::kUint16, kernel}]), 0)
        << KernelName(kernel) << " never ran with words";
  for (const KernelChoice kernel :
       {KernelChoice::kBox64, KernelChoice::kRuns64, KernelChoice::kShifted64})
    EXPECT_GT((chosen[{SampleType::kFloat32, kernel}]), 0)
        << KernelName(kernel) << " never ran with floats";

  // 66563 and 66049 samples: past 32-bit sums of 16-bit words, within them at 10 bits.
  const Call huge[] = {{"rect", 128, 129, 262, 266, 1, 3, 1, true},
                       {"focus", 145, 145, 1168, 296, 1, 0, 2, true},
                       {"line", 0, 140, 4, 300, 3, 0, 0, true}};
  for (const Call& c : huge) {
    compare(c, {SampleType::kUint16, 16, c.bytes_per_pixel}, 65000, 65535);
    compare(c, {SampleType::kUint16, 10, c.bytes_per_pixel}, 1000, 1023);
    compare(c, {SampleType::kUint16, 10, c.bytes_per_pixel}, 65000, 65535);
    if (HasFailure()) return;
  }
}

// Random bytes stay far from the bounds that decide a lane's width: every byte 255, and
// steps between half and full brightness, at the largest extents each kernel and width
// takes and just past them.
uint8_t AllBright(int, int) { return 255; }
uint8_t HalfBrightSteps(int row, int byte) { return (row / 3 + byte / 7) % 2 ? 255 : 128; }

TEST_P(FastKernels, HoldSumsAtTheirBoundsExactly) {
  std::mt19937 random(19);
  const Call calls[] = {
      {"rect", 7, 8, 40, 40, 3, 0, 0, true},        // 255 samples: the most 16-bit sums hold
      {"rect", 8, 8, 40, 40, 4, 0, 0, true},        // 289: just past them
      {"rect", 8, 128, 72, 264, 3, 0, 0, true},     // columns of 257 rows: 16-bit at the bound
      {"rect", 8, 129, 72, 266, 4, 0, 0, true},     // 259 rows: just past it
      {"line", 127, 0, 1040, 12, 3, 0, 0, true},    // 255 along a row
      {"line", 128, 0, 1040, 12, 4, 0, 0, true},    // 257
      {"rect", 128, 1, 1040, 12, 1, 0, 0, true},    // rows of 257 samples: 16-bit row sums
      {"rect", 128, 2, 1040, 14, 3, 0, 0, true},    // the same in 32-bit box sums
      {"rect", 128, 129, 262, 266, 4, 0, 0, true},  // 66563 samples: past float division
      {"rect", 170, 100, 350, 210, 3, 0, 0, true},  // 68541 in columns of 201: 16-bit columns
      {"line", 0, 128, 12, 264, 3, 0, 0, true},     // 257 down a column
      {"line", 127, 40, 1040, 88, 4, 0, 0, true},   // 255 on a slope
      {"line", 130, 10, 1048, 26, 3, 0, 0, true},   // 261 repeating every 13
      {"focus", 9, 9, 80, 26, 3, 0, 0, true},       // 253 points
      {"focus", 10, 10, 88, 26, 4, 0, 0, true},     // 317
      {"focus", 40, 40, 336, 88, 3, 0, 0, true},    // rows entering and leaving of 81 samples
      {"line", 40, 2, 336, 12, 4, 0, 0, true},      // the runs kernel
      {"line", 129, -2, 1040, 16, 3, 0, 0, false},  // long runs without prefix rows
  };
  for (const Call& c : calls) {
    for (auto pattern : {AllBright, HalfBrightSteps}) {
      SCOPED_TRACE(::testing::Message() << c << (pattern == AllBright ? ", all 255" : ", steps"));
      Compare(c, random, kSum16, pattern);
      Compare(c, random, kSum32, pattern);
      if (HasFailure()) return;
    }
  }
}

// Through the filter: each shape reaches the kernel meant for it.
TEST(FastKernels, TheFilterPicksTheKernelMeantForEachShape) {
  if (!IsAvailable(InstructionSet::kPortable)) GTEST_SKIP();
#if defined(KORVEL_PLAIN_KERNEL_ONLY)
  GTEST_SKIP() << "built to average with the plain kernel only";
#endif
  ScriptEnvironment env;
  std::mt19937 random(11);
  const VideoInfo vi = korvel_test::RgbInfo(320, 240, CS_BGR24);
  const PClip source = korvel_test::ClipOf(vi, {korvel_test::RandomFrame(env, vi, 0, random)});
  const struct {
    int x, y;
    const char* blur;
    KernelChoice kernel;
  } cases[] = {
      {8, 8, "rect", KernelChoice::kRowBox32},    {2, 1, "rect", KernelChoice::kBox16},
      {8, 0, "line", KernelChoice::kBox16},       {0, -8, "line", KernelChoice::kBox16},
      {16, 16, "line", KernelChoice::kShifted16}, {-4, 10, "line", KernelChoice::kShifted16},
      {33, 7, "line", KernelChoice::kShifted16},  {5, 5, "focus", KernelChoice::kShifted16},
      {40, 2, "line", KernelChoice::kRuns16},     {16, 16, "focus", KernelChoice::kShifted32}};
  for (const auto& c : cases) {
    PClip holder = new BlurFilter(source, c.x, c.y, c.blur);
    BlurFilter& filter = static_cast<BlurFilter&>(*holder.get());
    filter.GetFrame(0, &env);
    EXPECT_EQ(filter.Engine().LastKernel(), c.kernel) << c.blur << " " << c.x << "/" << c.y;
  }
  // The disc of radius 129 moved down a row gains 259 samples, whose 16-bit sum could wrap:
  // no shifted plan, though it would read fewer samples than the runs.
  const VideoInfo wide = korvel_test::RgbInfo(300, 300, CS_BGR24);
  const PClip disc_source =
      korvel_test::ClipOf(wide, {korvel_test::RandomFrame(env, wide, 0, random)});
  PClip holder = new BlurFilter(disc_source, 129, 129, "focus");
  BlurFilter& filter = static_cast<BlurFilter&>(*holder.get());
  filter.GetFrame(0, &env);
  EXPECT_EQ(filter.Engine().LastKernel(), KernelChoice::kRuns32);
}

// Division by a float reciprocal rounds to nearest whatever rounding the caller left set, and
// leaves the caller's rounding as it was.
TEST_P(FastKernels, IgnoreAndKeepTheCallersRoundingMode) {
  std::mt19937 random(17);
  const int saved = std::fegetround();
  for (int mode : {FE_TOWARDZERO, FE_DOWNWARD, FE_UPWARD}) {
    std::fesetround(mode);
    for (const Call& c : {Call{"rect", 8, 8, 80, 80, 4, 3, 0, true},
                          Call{"focus", 10, 10, 90, 30, 3, 0, 5, true}}) {
      SCOPED_TRACE(::testing::Message() << "rounding mode " << mode << ": " << c);
      Compare(c, random);
      EXPECT_EQ(std::fegetround(), mode);
    }
  }
  std::fesetround(saved);
}

INSTANTIATE_TEST_SUITE_P(InstructionSets, FastKernels,
                         ::testing::Values(InstructionSet::kPortable, InstructionSet::kAvx2,
                                           InstructionSet::kAvx512, InstructionSet::kAvx512Vnni),
                         [](const ::testing::TestParamInfo<InstructionSet>& set) {
                           switch (set.param) {
                             case InstructionSet::kPortable: return "Portable";
                             case InstructionSet::kAvx2: return "Avx2";
                             case InstructionSet::kAvx512: return "Avx512";
                             case InstructionSet::kAvx512Vnni: return "Avx512Vnni";
                           }
                           return "Unknown";
                         });

}  // namespace
