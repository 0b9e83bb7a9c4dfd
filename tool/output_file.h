// An output that appears under its name only when complete: it is written in a private
// folder beside the final name and moved there on success, and removed otherwise, on a
// signal too. A final name that is a symbolic link is written through to its target.
#pragma once

#include <string>

class OutputFile {
 public:
  // Throws ToolError when no temporary place can be made beside the output.
  explicit OutputFile(const std::string& final_path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Where the output is written: a name nobody else can have made, with the final name's
  // extension, which tells ffmpeg the container.
  const std::string& TemporaryPath() const { return temporary_path_; }
  // Gives the finished file its final name and the permissions of the file it replaces;
  // throws ToolError when that fails.
  void Commit();

 private:
  void RemoveFolder();

  std::string name_;        // as the user gave it, for messages
  std::string final_path_;  // with links followed
  std::string folder_;
  std::string temporary_path_;
  bool committed_ = false;
};
