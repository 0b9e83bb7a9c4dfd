#include "ffmpeg_programs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "tool_error.h"

void RequireProgram(const char* program) {
  if (!platform::ProgramExists(program))
    throw ToolError(std::string(program) +
                    " is not installed, and video files need it (on Debian: apt-get install "
                    "ffmpeg); PNG and raw files work without it");
}

std::vector<std::string> QuietFfmpeg() {
  return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error"};
}

std::string FileUrl(const std::string& path) { return "file:" + path; }

std::string ExitReason(const std::string& program, int status) {
  return program + " ended with exit status " + std::to_string(status) +
         (status != 0 ? "; its message, if any, is above" : "");
}

void PassOn(const std::string& messages) { std::fputs(messages.c_str(), stderr); }

ProgramOutput RunToEnd(const std::vector<std::string>& arguments) {
  FILE* pipe = platform::OpenPipe(arguments, "r");
  if (!pipe)
    throw ToolError("cannot start " + arguments.front() + ": " + std::string(std::strerror(errno)));
  ProgramOutput output;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe))
    output.text.append(buffer, count);
  output.status = platform::ClosePipe(pipe, &output.messages);
  return output;
}
