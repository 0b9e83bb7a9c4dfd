// Where OUTPUT is written. Standard output, a named pipe and a character device are
// written in place. A regular file (new, or replaced when its user may write to it) is
// written to a temporary file in its folder and renamed over it only when complete,
// keeping its permissions; the temporary file goes on failure and on signals. A file of
// several names (hard links) is instead written over in place when complete. Links are
// followed as opening the name follows them, and an OUTPUT that is the INPUT is refused.
#pragma once

#include <sys/types.h>

#include <string>

class OutputTarget {
 public:
  // A reader that goes away (`| head`), or a file past the size limit (`ulimit -f`), makes
  // writes fail (EPIPE, EFBIG) rather than end the program, so that the error is reported
  // and the temporary file removed. Every other signal whose default action ends the program
  // (bar those that cannot be caught, and those ignored by whoever started us) removes the
  // files being written, then ends the program as it would have.
  static void HandleSignals();

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
  bool written_in_place_ = false;
  uid_t owner_ = uid_t(-1);  // -1: a new file, whose owner stays
  gid_t group_ = gid_t(-1);
  std::string created_target_;  // a file created through a dangling link, removed on failure
};
