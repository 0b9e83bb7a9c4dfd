// What the korvel command needs from the operating system beyond files: signals, its
// temporary files, and where it is installed.
#pragma once

#include <signal.h>

#include <string>

namespace platform {

// The folder holding the running executable, found from the executable itself so that it
// does not depend on the working directory; empty when unknown.
std::string ExecutableDirectory();

// The folder part of a path: "." when it has none.
std::string FolderOf(const std::string& path);

// A reader that goes away (`| head`), or a file past the size limit (`ulimit -f`), makes
// writes fail (EPIPE, EFBIG) rather than end the program, so that the error is reported and
// the temporary file removed. Every other signal whose default action ends the program (bar
// those that cannot be caught, and those ignored by whoever started us) removes the paths
// given to RemoveOnSignal, then ends the program as it would have.
void HandleSignals();
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
  sigset_t previous_;  // the thread's signal mask before
};

// A new file with a random name in `folder`, open for reading and writing by its owner
// only, and removed on a signal until KeepOnSignal; -1 on failure, with errno set.
int MakeTemporaryFile(const std::string& folder, std::string* path);

}  // namespace platform
