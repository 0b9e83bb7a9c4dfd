// What the korvel command needs from the operating system. Everything that differs between
// systems lives behind these few functions, one source file per system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

bool IsTerminal(FILE* stream);

// Standard input and output carry raw frames, which must pass byte for byte.
void SetBinaryMode(FILE* stream);

// A reader that goes away (`| head`), or a file past the size limit (`ulimit -f`), should
// make writes fail (EPIPE, EFBIG), not end the program, so that the error can be reported
// and the temporary file removed.
void IgnoreWriteSignals();

int ProcessorCount();

// The folder holding the running executable, found from the executable itself so that it
// does not depend on the working directory; empty when unknown.
std::string ExecutableDirectory();

// The folder part of a path: "." when it has none.
std::string FolderOf(const std::string& path);

// The size of a regular file, or -1 for pipes, terminals and other streams.
int64_t RegularFileSize(FILE* stream);

// On every signal whose default action ends the program (bar those that cannot be
// caught, and those ignored by whoever started us): removes the paths given to
// RemoveOnSignal, then lets the signal end the program as it would have.
void CleanUpOnSignals();
void RemoveOnSignal(const std::string& path);
void KeepOnSignal(const std::string& path);

// Keeps the signal handler out while a file and what is noted for it change together.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  void* previous_;  // the thread's signal mask before
};

// A new file with a random name in `folder`, open for reading and writing by its owner
// only, and removed on a signal until KeepOnSignal; -1 on failure, with errno set.
int MakeTemporaryFile(const std::string& folder, std::string* path);

}  // namespace platform
