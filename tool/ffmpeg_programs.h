// Running the ffmpeg and ffprobe programs: their names for files, their exit status and
// their messages.
#pragma once

#include <string>
#include <vector>

// Throws ToolError, with a hint to install it, when the program is not on the PATH.
void RequireProgram(const char* program);

// ffmpeg's first arguments: no keyboard, only errors.
std::vector<std::string> QuietFfmpeg();

// A file name as ffmpeg must be given it: plainly a file, whatever it holds (a colon would
// make it a protocol, a leading '-' an option).
std::string FileUrl(const std::string& path);

// "ffmpeg ended with exit status 1; its message, if any, is above".
std::string ExitReason(const std::string& program, int status);

// Prints a program's messages, held back until it ended, on our error output.
void PassOn(const std::string& messages);

struct ProgramOutput {
  int status = -1;
  std::string text;      // its standard output
  std::string messages;  // its error output
};

// Runs the program to its end; throws ToolError when it cannot be started.
ProgramOutput RunToEnd(const std::vector<std::string>& arguments);
