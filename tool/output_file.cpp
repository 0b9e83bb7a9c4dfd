#include "output_file.h"

#include <cstdio>

#include "platform.h"
#include "tool_error.h"

OutputFile::OutputFile(const std::string& final_path)
    : final_path_(final_path), temporary_path_(platform::TemporaryPathBeside(final_path)) {}

OutputFile::~OutputFile() {
  if (!committed_) std::remove(temporary_path_.c_str());
}

void OutputFile::Commit() {
  std::string error;
  if (!platform::ReplaceFile(temporary_path_, final_path_, &error))
    throw ToolError("cannot write " + final_path_ + ": " + error);
  committed_ = true;
}
