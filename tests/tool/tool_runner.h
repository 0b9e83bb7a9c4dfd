// Runs the built korvel command, and other programs, in a scratch folder, with their
// output captured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel_test {

struct ProgramResult {
  int status = -1;
  std::string standard_output;
  std::string standard_error;
};

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // The names in the folder, sorted; the captured output of programs is not listed.
  std::vector<std::string> Names() const;

 private:
  std::string folder_;
};

// Runs the program with its arguments in `folder`, standard input from `input_file`
// (empty: nothing), `environment` prefixed as "NAME=value" settings.
ProgramResult RunProgram(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                         const std::string& input_file = "", const std::string& environment = "");

// The korvel command built beside the plugin.
ProgramResult RunKorvel(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                        const std::string& input_file = "", const std::string& environment = "");

// ffmpeg or ffprobe quietly, failing the test when they fail.
void RunFfmpeg(const ScratchFolder& folder, const std::vector<std::string>& arguments);
std::string RunFfprobe(const ScratchFolder& folder, const std::vector<std::string>& arguments);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

}  // namespace korvel_test
