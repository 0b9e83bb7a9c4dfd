#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "tool_error.h"

namespace {

std::string BaseName(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

OutputFile::OutputFile(const std::string& final_path)
    : name_(final_path), final_path_(platform::FollowLinks(final_path)) {
  if (final_path_.empty()) throw ToolError("cannot write " + name_ + ": " + std::strerror(errno));
  folder_ = platform::MakePrivateFolderBeside(final_path_);
  if (folder_.empty()) throw ToolError("cannot open " + name_ + ": " + std::strerror(errno));
  temporary_path_ = folder_ + "/" + BaseName(final_path_);
  platform::RemoveOnSignal(temporary_path_);
}

OutputFile::~OutputFile() {
  if (!committed_) std::remove(temporary_path_.c_str());
  RemoveFolder();
}

void OutputFile::RemoveFolder() {
  platform::KeepOnSignal(temporary_path_);
  platform::RemoveFolder(folder_);
  platform::KeepOnSignal(folder_);
}

void OutputFile::Commit() {
  platform::CopyPermissions(final_path_, temporary_path_);
  std::string error;
  if (!platform::ReplaceFile(temporary_path_, final_path_, &error))
    throw ToolError("cannot write " + name_ + ": " + error);
  committed_ = true;
  RemoveFolder();
}
