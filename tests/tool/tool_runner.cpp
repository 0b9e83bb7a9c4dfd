#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace korvel_test {

namespace {

namespace fs = std::filesystem;

constexpr const char* kCapturedOutput = ".standard-output";
constexpr const char* kCapturedError = ".standard-error";

std::string Quoted(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

ScratchFolder::ScratchFolder() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  do {
    folder_ = (base / ("korvel-tool-test-" + std::to_string(random()))).string();
  } while (fs::exists(folder_));
  fs::create_directories(folder_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::vector<std::string> ScratchFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    if (name != kCapturedOutput && name != kCapturedError) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ProgramResult RunProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                         const std::string& input_file, const std::string& environment) {
  std::string command = "cd " + Quoted(folder.Path("")) + " && " + environment;
  for (const std::string& argument : arguments) {
    command += ' ';
    command += Quoted(argument);
  }
  command += " <" + Quoted(input_file.empty() ? "/dev/null" : input_file);
  command += " >" + Quoted(folder.Path(kCapturedOutput));
  command += " 2>" + Quoted(folder.Path(kCapturedError));
  const int status = std::system(command.c_str());
  ProgramResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.standard_output = ReadText(folder.Path(kCapturedOutput));
  result.standard_error = ReadText(folder.Path(kCapturedError));
  return result;
}

ProgramResult RunKorvel(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                        const std::string& input_file, const std::string& environment) {
  std::vector<std::string> command{KORVEL_TOOL_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunProgram(folder, command, input_file, environment);
}

void RunFfmpeg(const ScratchFolder& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const ProgramResult result = RunProgram(folder, command);
  ASSERT_EQ(result.status, 0) << result.standard_error;
}

std::string RunFfprobe(const ScratchFolder& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"ffprobe", "-v", "error"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const ProgramResult result = RunProgram(folder, command);
  EXPECT_EQ(result.status, 0) << result.standard_error;
  return result.standard_output;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(path); }

}  // namespace korvel_test
