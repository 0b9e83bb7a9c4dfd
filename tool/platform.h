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

// On SIGINT, SIGTERM and SIGHUP: ends the programs started by OpenPipe, removes the paths
// given to RemoveOnSignal, then lets the signal end the program as it would have.
void CleanUpOnSignals();
// Paths are removed in the reverse order of registering, so a folder's files go first.
void RemoveOnSignal(const std::string& path);
void KeepOnSignal(const std::string& path);

// A new folder beside `path` (so that a rename onto `path` cannot cross file systems),
// with a random name and room for its owner only, so that nobody else can place a file or
// a link where the output is being written. It is removed on a signal until KeepOnSignal.
// Empty on failure, with errno set.
std::string MakePrivateFolderBeside(const std::string& path);

// Creates `path` for writing; fails when the name exists, even as a dangling link.
FILE* CreateNewFile(const std::string& path);

// What `path` names once symbolic links are followed, so that a linked output is written
// to its target and the link stays; `path` itself when it is not a link. Empty on failure
// (a loop of links), with errno set.
std::string FollowLinks(const std::string& path);

// Gives `path` the permissions, and where allowed the owner, of `model` if it exists.
void CopyPermissions(const std::string& model, const std::string& path);

// Moves `from` onto `to`, replacing it; false with the reason in `error` on failure.
bool ReplaceFile(const std::string& from, const std::string& to, std::string* error);

// Removes an empty folder; false when it is not there or not empty.
bool RemoveFolder(const std::string& path);

bool ProgramExists(const std::string& name);

// Runs a program with these arguments (the first is the program), without a shell's
// interpretation of them; mode "r" reads its standard output, "w" writes its standard input.
// Where the system allows, its error output is held back for ClosePipe.
FILE* OpenPipe(const std::vector<std::string>& arguments, const char* mode);

// Waits for the program; its exit status, or 128 + signal number when a signal ended it.
// `messages`, when given, receives what the program wrote to its error output; otherwise
// that is passed on to ours.
int ClosePipe(FILE* pipe, std::string* messages = nullptr);

// Ends the program at once and drops what it wrote to its error output, which after an
// early stop tells only of the pipe that closed under it.
void StopProgram(FILE* pipe);

}  // namespace platform
