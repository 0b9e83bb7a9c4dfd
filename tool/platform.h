// What the korvel command needs from the operating system. Everything that differs between
// systems lives behind these few functions, one source file per system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

bool IsTerminal(FILE* stream);

// Standard input and output carry raw frames, which must pass byte for byte.
void SetBinaryMode(FILE* stream);

// A reader that goes away (ffmpeg failing, `| head`) should make writes fail, not end the
// program, so that the error can be reported and the temporary file removed.
void IgnoreBrokenPipe();

int ProcessorCount();

// The folder holding the running executable, found from the executable itself so that it
// does not depend on the working directory; empty when unknown.
std::string ExecutableDirectory();

// The size of a regular file, or -1 for pipes, terminals and other streams.
int64_t RegularFileSize(FILE* stream);

// A new name in the same folder as `path`, so that a rename onto `path` cannot cross
// file systems; it keeps the extension, which tells ffmpeg the container.
std::string TemporaryPathBeside(const std::string& path);

// Moves `from` onto `to`, replacing it; false with the reason in `error` on failure.
bool ReplaceFile(const std::string& from, const std::string& to, std::string* error);

bool ProgramExists(const std::string& name);

// Runs a program with these arguments (the first is the program), without a shell's
// interpretation of them; mode "r" reads its standard output, "w" writes its standard input.
FILE* OpenPipe(const std::vector<std::string>& arguments, const char* mode);

// Waits for the program; its exit status, or 128 + signal number when a signal ended it.
int ClosePipe(FILE* pipe);

}  // namespace platform
