#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform.h"

extern char** environ;

namespace platform {

namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// What the signal handler works from. It may run at any moment on any thread, so it reads
// only fixed slots that are filled before they are marked as used.
struct PathSlot {
  std::atomic<bool> used{false};
  char path[4096];
};
PathSlot removed_on_signal[8];
std::atomic<pid_t> running_children[8];

void OnSignal(int number) {
  for (std::atomic<pid_t>& child : running_children) {
    const pid_t pid = child.load();
    if (pid <= 0) continue;
    kill(pid, SIGKILL);
    // A child that is gone already has been reaped elsewhere: then this fails at once.
    waitpid(pid, nullptr, 0);
  }
  for (int i = int(std::size(removed_on_signal)) - 1; i >= 0; --i) {
    if (!removed_on_signal[i].used.load()) continue;
    if (unlink(removed_on_signal[i].path) != 0) rmdir(removed_on_signal[i].path);
  }
  signal(number, SIG_DFL);
  raise(number);
}

// Keeps the handler out while a path or child is noted together with what it names.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kHandledSignals) sigaddset(&set, number);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

void NoteChild(pid_t pid, bool running) {
  for (std::atomic<pid_t>& child : running_children) {
    pid_t expected = running ? 0 : pid;
    if (child.compare_exchange_strong(expected, running ? pid : 0)) return;
  }
}

struct Child {
  pid_t pid;
  FILE* messages;  // its error output, held back; null when it goes straight to ours
};
std::mutex children_mutex;
std::map<FILE*, Child> children;

Child TakeChild(FILE* pipe) {
  std::lock_guard<std::mutex> lock(children_mutex);
  const auto found = children.find(pipe);
  if (found == children.end()) return {-1, nullptr};
  const Child child = found->second;
  children.erase(found);
  return child;
}

// Reaps the child; it stays noted for the signal handler until it has been waited for, so
// that the handler never signals a process id that has been given to another.
int Reap(pid_t pid) {
  siginfo_t info;
  while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  const SignalsHeld held;
  int status = 0;
  const pid_t reaped = waitpid(pid, &status, 0);
  NoteChild(pid, false);
  if (reaped != pid) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::string ReadAllOf(FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, count);
  return text;
}

}  // namespace

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void SetBinaryMode(FILE*) {}

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void CleanUpOnSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : kHandledSignals) sigaddset(&action.sa_mask, number);
  for (int number : kHandledSignals) {
    struct sigaction previous;
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
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

std::string MakePrivateFolderBeside(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string pattern = folder + ".korvel-XXXXXX";
  const SignalsHeld held;
  if (!mkdtemp(pattern.data())) return "";
  RemoveOnSignal(pattern);
  return pattern;
}

FILE* CreateNewFile(const std::string& path) {
  const int descriptor =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  FILE* file = fdopen(descriptor, "wb");
  if (!file) close(descriptor);
  return file;
}

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  // The limit the kernel itself puts on a chain of links.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat status;
    if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
    std::vector<char> target(4096);
    const ssize_t length = readlink(current.c_str(), target.data(), target.size() - 1);
    if (length <= 0) return "";
    const std::string link(target.data(), size_t(length));
    const size_t slash = current.rfind('/');
    current =
        link[0] == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
  }
  errno = ELOOP;
  return "";
}

void CopyPermissions(const std::string& model, const std::string& path) {
  struct stat status;
  if (stat(model.c_str(), &status) != 0) return;
  // Only a privileged user may give a file away; anyone else's replacement stays theirs.
  [[maybe_unused]] const int given = chown(path.c_str(), status.st_uid, status.st_gid);
  chmod(path.c_str(), status.st_mode & 07777);
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

bool RemoveFolder(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool ProgramExists(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

FILE* OpenPipe(const std::vector<std::string>& arguments, const char* mode) {
  const bool reading = mode[0] == 'r';
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  const int ours = reading ? ends[0] : ends[1];
  const int theirs = reading ? ends[1] : ends[0];
  // Unnamed, so it cannot be left behind.
  FILE* messages = std::tmpfile();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, theirs, reading ? 1 : 0);
  if (messages) posix_spawn_file_actions_adddup2(&actions, fileno(messages), 2);
  // The child ends quietly on a pipe we closed, and gets the signals we handle as usual.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  for (int number : kHandledSignals) sigaddset(&defaults, number);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  pid_t pid = -1;
  int failure = 0;
  {
    const SignalsHeld held;
    failure = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    if (failure == 0) NoteChild(pid, true);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(theirs);
  FILE* stream = failure == 0 ? fdopen(ours, reading ? "r" : "w") : nullptr;
  if (!stream) {
    close(ours);
    if (messages) std::fclose(messages);
    if (failure == 0) Reap(pid);
    errno = failure != 0 ? failure : errno;
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(children_mutex);
  children[stream] = {pid, messages};
  return stream;
}

int ClosePipe(FILE* pipe, std::string* messages) {
  const Child child = TakeChild(pipe);
  std::fclose(pipe);
  if (child.pid < 0) return -1;
  const int status = Reap(child.pid);
  if (child.messages) {
    const std::string text = ReadAllOf(child.messages);
    std::fclose(child.messages);
    if (messages)
      *messages = text;
    else
      std::fputs(text.c_str(), stderr);
  }
  return status;
}

void StopProgram(FILE* pipe) {
  const Child child = TakeChild(pipe);
  // Ended first, so that closing the pipe cannot wait on a program that has stopped reading.
  if (child.pid > 0) kill(child.pid, SIGKILL);
  std::fclose(pipe);
  if (child.messages) std::fclose(child.messages);
  if (child.pid > 0) Reap(child.pid);
}

}  // namespace platform
