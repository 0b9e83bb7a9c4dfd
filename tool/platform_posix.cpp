#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

// Every signal whose default action ends the process and that can be caught. Faults
// are left to the sanitizers in their builds, which report them.
std::vector<int> EndingSignals() {
  std::vector<int> numbers{SIGHUP,    SIGINT,  SIGQUIT, SIGALRM, SIGTERM,   SIGUSR1, SIGUSR2,
                           SIGXCPU,   SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT, SIGTRAP,
                           SIGSYS};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_UNDEFINED__)
  for (int fault : {SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV}) numbers.push_back(fault);
#endif
  for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) numbers.push_back(number);
  return numbers;
}

// What the signal handler works from. It may run at any moment on any thread, so it reads
// only fixed slots that are filled before they are marked as used.
struct PathSlot {
  std::atomic<bool> used{false};
  char path[4096];
};
PathSlot removed_on_signal[8];

void OnSignal(int number) {
  for (PathSlot& slot : removed_on_signal)
    if (slot.used.load()) unlink(slot.path);
  signal(number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(number);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void SetBinaryMode(FILE*) {}

void IgnoreWriteSignals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void CleanUpOnSignals() {
  const std::vector<int> numbers = EndingSignals();
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  // One cleanup at a time: the others wait until the first has ended the program.
  sigfillset(&action.sa_mask);
  for (int number : numbers) {
    struct sigaction previous;
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (sigaction(number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

void RemoveOnSignal(const std::string& path) {
  if (path.size() >= sizeof(PathSlot::path)) return;
  for (PathSlot& slot : removed_on_signal) {
    if (slot.used.load()) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used.store(true);
    return;
  }
}

void KeepOnSignal(const std::string& path) {
  for (PathSlot& slot : removed_on_signal)
    if (slot.used.load() && path == slot.path) slot.used.store(false);
}

int ProcessorCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : int(count);
}

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return "";
  return FolderOf(std::string(buffer.data(), size_t(length)));
}

int64_t RegularFileSize(FILE* stream) {
  struct stat status;
  if (fstat(fileno(stream), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return int64_t(status.st_size);
}

SignalsHeld::SignalsHeld() {
  sigset_t all;
  sigfillset(&all);
  previous_ = new sigset_t;
  pthread_sigmask(SIG_BLOCK, &all, static_cast<sigset_t*>(previous_));
}

SignalsHeld::~SignalsHeld() {
  pthread_sigmask(SIG_SETMASK, static_cast<sigset_t*>(previous_), nullptr);
  delete static_cast<sigset_t*>(previous_);
}

int MakeTemporaryFile(const std::string& folder, std::string* path) {
  std::string pattern = folder + "/.korvel-XXXXXX";
  const SignalsHeld held;
  const int descriptor = mkostemp(pattern.data(), O_CLOEXEC);
  if (descriptor < 0) return -1;
  RemoveOnSignal(pattern);
  *path = pattern;
  return descriptor;
}

}  // namespace platform
