// An output that appears under its name only when complete: it is written under a
// temporary name beside the final one and renamed on success, and removed otherwise.
#pragma once

#include <string>

class OutputFile {
 public:
  explicit OutputFile(const std::string& final_path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& TemporaryPath() const { return temporary_path_; }
  // Gives the finished file its final name; throws ToolError when that fails.
  void Commit();

 private:
  std::string final_path_;
  std::string temporary_path_;
  bool committed_ = false;
};
