#include "output_target.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media_files.h"
#include "platform.h"
#include "tool_error.h"

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

unsigned NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~unsigned(mask);
}

}  // namespace

OutputTarget::OutputTarget(const std::string& output, const std::string& input)
    : name_(OutputName(output)) {
  struct stat in;
  const bool input_known = input == "-" ? fstat(0, &in) == 0 : stat(input.c_str(), &in) == 0;
  const std::string same = InputName(input) + ": input file is output file";
  if (output == "-") {
    struct stat out;
    if (input_known && fstat(1, &out) == 0 && S_ISREG(out.st_mode) && SameFile(in, out))
      throw ToolError(same);
    descriptor_ = 1;
    return;
  }
  struct stat out;
  if (stat(output.c_str(), &out) != 0) {
    struct stat link;
    if (errno != ENOENT || lstat(output.c_str(), &link) != 0) {
      if (errno != ENOENT) Fail(errno);
      PrepareRegularFile(output, NewFileMode());
      return;
    }
    // A link to a file yet to be made: opening the name would create that file.
    const int made = open(output.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (made < 0) Fail(errno);
    close(made);
    created_target_ = ResolvedPath(output);
    platform::RemoveOnSignal(created_target_);
    PrepareRegularFile(created_target_, NewFileMode());
    return;
  }
  if (input_known && SameFile(in, out)) throw ToolError(same);
  if (S_ISFIFO(out.st_mode) || S_ISCHR(out.st_mode)) {
    descriptor_ = open(output.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor_ < 0) Fail(errno);
    owns_descriptor_ = true;
    return;
  }
  if (S_ISDIR(out.st_mode)) Fail(EISDIR);
  if (!S_ISREG(out.st_mode))
    throw ToolError("cannot write " + name_ +
                    ": it is not a regular file, a named pipe or a character device");
  // As the shell's `>>` would be refused.
  if (access(output.c_str(), W_OK) != 0) Fail(errno);
  keep_owner_ = true;
  owner_ = out.st_uid;
  group_ = out.st_gid;
  // A file of several names keeps them all: written in place when complete, as `>` would.
  written_in_place_ = out.st_nlink > 1;
  PrepareRegularFile(ResolvedPath(output), out.st_mode & 07777);
}

std::string OutputTarget::ResolvedPath(const std::string& path) const {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) Fail(errno);
  return resolved;
}

// The file is renamed over `final_path` when complete.
void OutputTarget::PrepareRegularFile(const std::string& final_path, unsigned mode) {
  mode_ = mode;
  final_path_ = final_path;
  descriptor_ = platform::MakeTemporaryFile(platform::FolderOf(final_path_), &temporary_path_);
  if (descriptor_ < 0) {
    const int error = errno;
    if (!created_target_.empty()) unlink(created_target_.c_str());
    throw ToolError("cannot open " + name_ + ": " + std::strerror(error));
  }
  owns_descriptor_ = true;
}

OutputTarget::~OutputTarget() {
  if (owns_descriptor_) close(descriptor_);
  if (!temporary_path_.empty()) {
    unlink(temporary_path_.c_str());
    platform::KeepOnSignal(temporary_path_);
  }
  if (!created_target_.empty()) {
    unlink(created_target_.c_str());
    platform::KeepOnSignal(created_target_);
  }
}

void OutputTarget::Fail(int error) const {
  throw ToolError("cannot write " + name_ + ": " + std::strerror(error));
}

void OutputTarget::Commit() {
  if (!temporary_path_.empty()) {
    // Only a privileged user may give a file away; anyone else's replacement stays theirs.
    if (keep_owner_) [[maybe_unused]]
      const int given = fchown(descriptor_, owner_, group_);
    if (fchmod(descriptor_, mode_) != 0) Fail(errno);
  }
  if (owns_descriptor_) {
    owns_descriptor_ = false;
    if (close(descriptor_) != 0) Fail(errno);
  }
  if (temporary_path_.empty()) return;
  if (written_in_place_) {
    CopyIntoFinalFile();
    return;
  }
  const platform::SignalsHeld held;  // so that no signal removes what has been renamed
  if (std::rename(temporary_path_.c_str(), final_path_.c_str()) != 0) Fail(errno);
  platform::KeepOnSignal(temporary_path_);
  temporary_path_.clear();
  if (!created_target_.empty()) platform::KeepOnSignal(created_target_);
  created_target_.clear();
}

// The finished file's bytes over the old ones, through the name, so that every other name
// of the file sees them; the temporary file goes.
void OutputTarget::CopyIntoFinalFile() {
  const int from = open(temporary_path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) Fail(errno);
  const int to = open(final_path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (to < 0) {
    const int error = errno;
    close(from);
    Fail(error);
  }
  char buffer[1 << 16];
  int error = 0;
  for (ssize_t count; error == 0 && (count = read(from, buffer, sizeof buffer)) != 0;) {
    if (count < 0) {
      error = errno;
      break;
    }
    for (ssize_t done = 0; done < count;) {
      const ssize_t written = write(to, buffer + done, size_t(count - done));
      if (written < 0) {
        error = errno;
        break;
      }
      done += written;
    }
  }
  close(from);
  if (close(to) != 0 && error == 0) error = errno;
  if (error != 0) Fail(error);
  unlink(temporary_path_.c_str());
  platform::KeepOnSignal(temporary_path_);
  temporary_path_.clear();
}
