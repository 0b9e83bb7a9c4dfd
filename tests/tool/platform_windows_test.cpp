// The Windows side of the korvel command's platform layer, run as a Windows program.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform.h"

namespace {

std::string EchoProgram() { return platform::ExecutableDirectory() + "\\echo_arguments.exe"; }

std::string ReadAll(FILE* stream) {
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += char(c);
  return text;
}

std::string FileContents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// Each argument must reach the child as it was given, whatever cmd.exe or the C runtime's
// splitting of the command line would make of it.
TEST(WindowsPipes, ArgumentsArriveUnchanged) {
  const std::vector<std::string> arguments = {
      "plain",     "two words",       "say \"hi\"",     "trailing\\", "two\\\\",
      "c:\\a b\\", "back\\\\\"quote", "a&b|c<d>e^f%g%", "",           "\ttab"};
  std::vector<std::string> command = {EchoProgram()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  FILE* pipe = platform::OpenPipe(command, "r");
  ASSERT_NE(pipe, nullptr);
  const std::string output = ReadAll(pipe);
  EXPECT_EQ(platform::ClosePipe(pipe), int(arguments.size()));
  std::string expected;
  for (const std::string& argument : arguments) expected += argument + "\n";
  EXPECT_EQ(output, expected);
}

// Frames are binary: CR LF pairs and Ctrl-Z, which text mode would rewrite or stop at, must
// pass unchanged.
TEST(WindowsPipes, WrittenBytesArriveUnchanged) {
  FILE* pipe = platform::OpenPipe({EchoProgram(), "--count-input"}, "w");
  ASSERT_NE(pipe, nullptr);
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += char(i % 7 == 0 ? '\n' : i % 11 == 0 ? 0x1a : i);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), pipe), bytes.size());
  EXPECT_EQ(platform::ClosePipe(pipe), 100000);
}

TEST(WindowsPipes, MissingProgramsAreFoundMissing) {
  EXPECT_TRUE(platform::ProgramExists("echo_arguments"));
  EXPECT_FALSE(platform::ProgramExists("korvel-no-such-program"));
  EXPECT_EQ(platform::OpenPipe({"korvel-no-such-program"}, "r"), nullptr);
}

TEST(WindowsFiles, ReplaceFileReplacesAnExistingFile) {
  const std::string folder = platform::MakePrivateFolderBeside("replace-target.raw");
  ASSERT_FALSE(folder.empty());
  const std::string from = folder + "\\replace-target.raw";
  WriteFile(from, "new");
  WriteFile("replace-target.raw", "old contents");
  std::string error;
  EXPECT_TRUE(platform::ReplaceFile(from, "replace-target.raw", &error)) << error;
  EXPECT_EQ(FileContents("replace-target.raw"), "new");
  EXPECT_FALSE(platform::ReplaceFile(from, "replace-target.raw", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(platform::RemoveFolder(folder));
  std::remove("replace-target.raw");
}

TEST(WindowsFiles, TemporaryFolderIsNewAndInTheOutputsFolder) {
  const std::string first = platform::MakePrivateFolderBeside("out.mkv");
  const std::string second = platform::MakePrivateFolderBeside("out.mkv");
  EXPECT_EQ(first.rfind(".korvel-", 0), 0u) << first;
  EXPECT_NE(first, second);
  FILE* file = platform::CreateNewFile(first + "\\out.mkv");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(platform::CreateNewFile(first + "\\out.mkv"), nullptr);
  std::remove((first + "\\out.mkv").c_str());
  EXPECT_TRUE(platform::RemoveFolder(first));
  EXPECT_TRUE(platform::RemoveFolder(second));
}

TEST(WindowsFiles, RegularFileSizeIsKnownOnlyForFiles) {
  WriteFile("size-probe.raw", std::string(12345, 'x'));
  FILE* file = std::fopen("size-probe.raw", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::RegularFileSize(file), 12345);
  std::fclose(file);
  std::remove("size-probe.raw");

  FILE* pipe = platform::OpenPipe({EchoProgram(), "x"}, "r");
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(platform::RegularFileSize(pipe), -1);
  ReadAll(pipe);
  platform::ClosePipe(pipe);
}

TEST(WindowsFiles, ExecutableDirectoryHoldsThisProgram) {
  FILE* self =
      std::fopen((platform::ExecutableDirectory() + "\\korvel_platform_tests.exe").c_str(), "rb");
  EXPECT_NE(self, nullptr);
  if (self) std::fclose(self);
}

}  // namespace
