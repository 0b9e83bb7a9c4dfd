// Where OUTPUT is written. Standard output, a named pipe and a character device are
// written in place. A regular file (new, or replaced when its user may write to it) is
// written to a temporary file in its folder and renamed over it only when complete,
// keeping its permissions; the temporary file goes on failure and on signals. A file of
// several names (hard links) is instead written over in place when complete. Links are
// followed as opening the name follows them, and an OUTPUT that is the INPUT is refused.
#pragma once

#include <string>

class OutputTarget {
 public:
  // `input` as given, '-' for standard input. Throws ToolError.
  OutputTarget(const std::string& output, const std::string& input);
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  int Descriptor() const { return descriptor_; }
  // The file being written while it has a temporary name; empty when written in place.
  const std::string& TemporaryPath() const { return temporary_path_; }
  // Gives a finished regular file its name; throws ToolError when that fails.
  void Commit();

 private:
  // The absolute path, every link on the way resolved; throws ToolError when it fails.
  std::string ResolvedPath(const std::string& path) const;
  void PrepareRegularFile(const std::string& final_path, unsigned mode);
  void CopyIntoFinalFile();
  [[noreturn]] void Fail(int error) const;

  std::string name_;
  int descriptor_ = -1;
  bool owns_descriptor_ = false;
  std::string final_path_;
  std::string temporary_path_;
  unsigned mode_ = 0;
  bool keep_owner_ = false;
  bool written_in_place_ = false;
  unsigned owner_ = 0, group_ = 0;
  std::string created_target_;  // a file created through a dangling link, removed on failure
};
