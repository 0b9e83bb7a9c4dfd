// What the command says when it cannot do its work, and that it then writes nothing:
// no output, no temporary file, and an existing output left as it was.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "korvel_version.h"
#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::RandomFrames;
using korvel_test::ReadBytes;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;
using Names = std::vector<std::string>;

// A folder holding one 48x40 rgb24 frame in in.raw (48/8 = 6, 40/8 = 5).
class ToolErrors : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(folder_.Path("in.raw"), RandomFrames({48, 40, 3}, 1, 1)); }

  // Runs the command and expects it to fail with exactly `message` and leave the folder as
  // it was. Status 2, a mistake on the command line, also points to --help.
  void ExpectFailure(std::vector<std::string> arguments, const std::string& message,
                     int status = 1) {
    const Names before = folder_.Names();
    const auto result = RunKorvel(folder_, arguments);
    EXPECT_EQ(result.status, status);
    const std::string hint = status == 2 ? "Try 'korvel --help' for more.\n" : "";
    EXPECT_EQ(result.standard_error, "korvel: " + message + "\n" + hint);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(folder_.Names(), before);
  }

  ScratchFolder folder_;
};

TEST_F(ToolErrors, PluginMessagesArePrintedVerbatim) {
  const Names raw{"in.raw", "out.raw", "--size", "48x40"};
  auto with = [&](Names extra) {
    Names arguments = raw;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  ExpectFailure(with({"-x", "7"}), "Korvel:x must be  between plus minus 6");
  ExpectFailure(with({"-x", "0", "-y", "-6"}), "Korvel:y must be  between plus minus 5");
  ExpectFailure(with({"-x", "0", "-y", "0"}), "Korvel:x and y both must not be zero");
  ExpectFailure(with({"-b", "Line"}), "Korvel: blur can be  line rect or focus only");
  ExpectFailure(with({"--blur", ""}), "Korvel: blur can be  line rect or focus only");
  ExpectFailure(with({"-b", "focus", "-x", "1"}), "Korvel:for focus x must be  between 2 6");
  ExpectFailure(with({"-b", "rect", "-x", "0"}), "Korvel:x must be  between 1 and 6");
  ExpectFailure(with({"-b", "rect", "-x", "1", "-y", "6"}), "Korvel:y must be  between 1 and 5");
}

TEST_F(ToolErrors, ExistingOutputIsLeftAsItWas) {
  const std::vector<uint8_t> old_output{1, 2, 3};
  WriteBytes(folder_.Path("out.raw"), old_output);
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "-x", "99"},
                "Korvel:x must be  between plus minus 6");
  EXPECT_EQ(ReadBytes(folder_.Path("out.raw")), old_output);
}

// The plugin blurs RGB only: formats it always refused are not offered.
TEST_F(ToolErrors, OnlyRgbFormatsAreOffered) {
  // 48x40 is 3840 bytes in yuy2 and 2880 in 4:2:0: 11520 bytes are whole frames of both.
  WriteBytes(folder_.Path("yuv.raw"), std::vector<uint8_t>(11520, 128));
  for (const std::string format : {"yuy2", "yv12", "i420"})
    ExpectFailure({"yuv.raw", "out.raw", "--size", "48x40", "--format", format},
                  "unknown pixel format '" + format + "': use rgb24 or rgb32", 2);
}

TEST_F(ToolErrors, PartialFrameNamesTheByteCount) {
  WriteBytes(folder_.Path("odd.raw"), std::vector<uint8_t>(1000));
  ExpectFailure(
      {"odd.raw", "out.raw", "--size", "10x10"},
      "odd.raw holds 1000 bytes, which is not a whole number of 10x10 rgb24 frames of 300 "
      "bytes (3 frames and 100 bytes)");
  ExpectFailure(
      {"odd.raw", "out.raw", "--size", "10x10", "--format", "rgb32"},
      "odd.raw holds 1000 bytes, which is not a whole number of 10x10 rgb32 frames of 400 "
      "bytes (2 frames and 200 bytes)");
}

// Through a pipe the length shows only at its end, after whole frames were blurred.
TEST_F(ToolErrors, PartialFrameFromAPipeWritesNothing) {
  WriteBytes(folder_.Path("odd.raw"), std::vector<uint8_t>(1000));
  const auto result = korvel_test::RunProgram(
      folder_,
      {"sh", "-c",
       std::string("cat odd.raw | ") + KORVEL_TOOL_PATH + " - out.raw --size 10x10 -x 1 -y 1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error,
            "korvel: standard input holds 1000 bytes, which is not a whole number of 10x10 rgb24 "
            "frames of 300 bytes (3 frames and 100 bytes)\n");
  EXPECT_EQ(folder_.Names(), (Names{"in.raw", "odd.raw"}));
}

TEST_F(ToolErrors, EmptyInputHoldsNoFrames) {
  WriteBytes(folder_.Path("empty.raw"), {});
  ExpectFailure({"empty.raw", "out.raw", "--size", "48x40"}, "empty.raw holds no frames");
}

TEST_F(ToolErrors, BadSizesAndFormats) {
  ExpectFailure({"in.raw", "out.raw"}, "raw input needs its frame size: --size WIDTHxHEIGHT", 2);
  for (const char* size : {"0x40", "48x", "48", "48x40x1", "-48x40", "big"})
    ExpectFailure(
        {"in.raw", "out.raw", "--size", size},
        std::string("--size takes WIDTHxHEIGHT with both at least 1, like 640x480, not '") + size +
            "'",
        2);
  ExpectFailure({"in.raw", "out.raw", "--size", "100000x100000"},
                "frame size 100000x100000 is too large");
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "--format", "nv12"},
                "unknown pixel format 'nv12': use rgb24 or rgb32", 2);
}

// A picture's declared size is checked before its memory is taken.
TEST_F(ToolErrors, PicturesLargerThanTheLimitOrTheirFileAreRefused) {
  // A PNG declaring N x N RGB pixels over an empty stream, 65 bytes.
  auto png = [&](const char* name, uint32_t n) {
    std::vector<uint8_t> bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
      for (int shift : {24, 16, 8, 0}) bytes.push_back(uint8_t(data.size() >> shift));
      data.insert(data.begin(), type, type + 4);
      uint32_t crc = 0xffffffff;
      for (uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
      }
      crc = ~crc;
      data.insert(data.end(),
                  {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
      bytes.insert(bytes.end(), data.begin(), data.end());
    };
    const uint8_t s[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    chunk("IHDR", {s[0], s[1], s[2], s[3], s[0], s[1], s[2], s[3], 8, 2, 0, 0, 0});
    chunk("IDAT", {0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});  // nothing, compressed
    chunk("IEND", {});
    WriteBytes(folder_.Path(name), bytes);
  };
  png("huge.png", 16000);
  png("large.png", 8000);
  const auto huge = RunKorvel(folder_, {"huge.png", "out.png"});
  EXPECT_EQ(huge.standard_error,
            "korvel: cannot read huge.png: frame size 16000x16000 is too large\n");
  const auto large = RunKorvel(folder_, {"large.png", "out.png"});
  EXPECT_EQ(large.standard_error,
            "korvel: cannot read large.png: it declares 8000x8000 pixels, more than its 65 bytes "
            "can hold\n");
  EXPECT_EQ(folder_.Names(), (Names{"huge.png", "in.raw", "large.png"}));
}

TEST_F(ToolErrors, ThreadsBeyondTwicePerProcessorAreCapped) {
  const auto result =
      RunKorvel(folder_, {"in.raw", "out.raw", "--size", "48x40", "--threads", "256"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.standard_error.find("korvel: --threads 256 is more than twice the "),
            std::string::npos);
}

TEST_F(ToolErrors, BadCommandLines) {
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "-x", "two"},
                "-x takes a whole number, not 'two'", 2);
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "-y", "99999999999"},
                "-y takes a whole number, not '99999999999'", 2);
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "-x"}, "-x needs a value", 2);
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "--threads", "0"},
                "--threads takes a number from 1 to 256, not '0'", 2);
  ExpectFailure({"in.raw", "out.raw", "--size", "48x40", "--frames", "-1"},
                "--frames takes a number from 1 to 2147483647, not '-1'", 2);
  ExpectFailure({"in.raw", "out.raw", "--sharpen"}, "unknown option '--sharpen'", 2);
  ExpectFailure({"in.raw"}, "needs an INPUT and an OUTPUT", 2);
  ExpectFailure({"in.raw", "a.raw", "b.raw"}, "too many file names: 'b.raw'", 2);
}

TEST_F(ToolErrors, UnopenableFilesAndMissingPlugin) {
  ExpectFailure({"missing.raw", "out.raw", "--size", "48x40"},
                "cannot open missing.raw: No such file or directory");
  ExpectFailure({"missing.mp4", "out.mp4"}, "cannot open missing.mp4: No such file or directory");
  for (const char* output : {"no-folder/out.raw", "no-folder/out.mp4"})
    ExpectFailure({"in.raw", output, "--size", "48x40"},
                  std::string("cannot open ") + output + ": No such file or directory");
  const auto result =
      RunKorvel(folder_, {"in.raw", "out.raw", "--size", "48x40", "--plugin", "no-such.so"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error.rfind("korvel: cannot load plugin no-such.so: ", 0), 0u)
      << result.standard_error;
  EXPECT_FALSE(korvel_test::FileExists(folder_.Path("out.raw")));
}

TEST_F(ToolErrors, HelpNamesEveryOption) {
  const auto result = RunKorvel(folder_, {"--help"});
  EXPECT_EQ(result.status, 0);
  for (const char* option : {"--x", "--y", "--blur", "--size", "--format", "--frames", "--threads",
                             "--quiet", "--plugin", "--version"})
    EXPECT_NE(result.standard_output.find(option), std::string::npos) << option;
}

TEST_F(ToolErrors, VersionIsTheProjects) {
  const auto result = RunKorvel(folder_, {"--version"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standard_output, std::string("korvel ") + KORVEL_VERSION + "\n");
}

TEST_F(ToolErrors, ScriptsTakeNoBlurOptionsAndNeedTheHost) {
  const std::string script = "BlankClip()\n";
  WriteBytes(folder_.Path("clip.avs"), std::vector<uint8_t>(script.begin(), script.end()));
  ExpectFailure({"clip.avs", "out.raw", "-x", "3"},
                "-x, -y, --blur and --plugin are for blurring; clip.avs is a script, which calls "
                "Korvel itself",
                2);
  ExpectFailure({"in.raw", "out.avs", "--size", "48x40"},
                "out.avs is a script: korvel reads scripts but writes frames, pictures and videos",
                2);
  // Where AviSynth+ is not on the library path, as on a fresh machine.
  if (void* library = dlopen("libavisynth.so", RTLD_LAZY)) {
    dlclose(library);
    GTEST_SKIP() << "AviSynth+ is installed here";
  }
  const std::string prefix_libraries =
      std::filesystem::path(KORVEL_TOOL_PATH).parent_path().parent_path() / "lib";
  ExpectFailure({"clip.avs", "out.raw"},
                "cannot read clip.avs: AviSynth+ is not installed, and scripts need it: no "
                "libavisynth.so in " +
                    prefix_libraries +
                    " nor on the library path; scripts/install-avisynth PREFIX installs it");
}

}  // namespace
