#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"

// windows.h maps this name to ReplaceFileA, which would rename our function.
#undef ReplaceFile

namespace platform {

namespace {

// Quotes one argument so that the child's C runtime splits its command line back into the
// same argument: backslashes count only before a quote, where each must be doubled.
std::string CommandLineQuoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
    return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  quoted += '"';
  return quoted;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

// ClosePipe needs the process behind each stream that OpenPipe gave out.
std::mutex children_mutex;
std::map<FILE*, HANDLE> children;

}  // namespace

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void SetBinaryMode(FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

// Windows has no SIGPIPE: a write to a pipe whose reader has gone already fails.
void IgnoreBrokenPipe() {}

int ProcessorCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : int(count);
}

std::string ExecutableDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) {
      const std::string path(buffer.data(), length);
      const size_t separator = LastSeparator(path);
      return separator == std::string::npos ? "" : path.substr(0, separator);
    }
    buffer.resize(buffer.size() * 2);
  }
}

int64_t RegularFileSize(FILE* stream) {
  struct _stati64 status;
  if (_fstati64(_fileno(stream), &status) != 0 || !(status.st_mode & _S_IFREG)) return -1;
  return int64_t(status.st_size);
}

// Windows has no such signals; a console's Ctrl-C ends the program where it stands.
void CleanUpOnSignals() {}
void RemoveOnSignal(const std::string&) {}
void KeepOnSignal(const std::string&) {}

std::string MakePrivateFolderBeside(const std::string& path) {
  const size_t separator = LastSeparator(path);
  const std::string folder = separator == std::string::npos ? "" : path.substr(0, separator + 1);
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, ".korvel-%08x", unsigned(random()));
    const std::string candidate = folder + name;
    if (_mkdir(candidate.c_str()) == 0) return candidate;
    if (errno != EEXIST) return "";
  }
  return "";
}

FILE* CreateNewFile(const std::string& path) {
  const int descriptor =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  FILE* file = _fdopen(descriptor, "wb");
  if (!file) _close(descriptor);
  return file;
}

std::string FollowLinks(const std::string& path) { return path; }

void CopyPermissions(const std::string& model, const std::string& path) {
  struct _stati64 status;
  if (_stati64(model.c_str(), &status) == 0)
    _chmod(path.c_str(), status.st_mode & (_S_IREAD | _S_IWRITE));
}

// rename() refuses to replace an existing file here.
bool ReplaceFile(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *error = LastErrorText();
  return false;
}

bool RemoveFolder(const std::string& path) { return _rmdir(path.c_str()) == 0; }

bool ProgramExists(const std::string& name) {
  char found[MAX_PATH];
  return SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr) > 0;
}

// Started directly rather than through _popen, so that cmd.exe does not reinterpret the
// arguments.
FILE* OpenPipe(const std::vector<std::string>& arguments, const char* mode) {
  const bool reading = mode[0] == 'r';
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return nullptr;
  HANDLE ours = reading ? read_end : write_end;
  HANDLE theirs = reading ? write_end : read_end;
  SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);

  std::string command_line;
  for (const std::string& argument : arguments) {
    if (!command_line.empty()) command_line += ' ';
    command_line += CommandLineQuoted(argument);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = reading ? GetStdHandle(STD_INPUT_HANDLE) : theirs;
  startup.hStdOutput = reading ? theirs : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::fflush(nullptr);
  const BOOL started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(theirs);
  if (!started) {
    CloseHandle(ours);
    return nullptr;
  }
  CloseHandle(process.hThread);

  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(ours),
                                         (reading ? _O_RDONLY : _O_WRONLY) | _O_BINARY);
  FILE* stream = descriptor == -1 ? nullptr : _fdopen(descriptor, reading ? "rb" : "wb");
  if (!stream) {
    if (descriptor == -1)
      CloseHandle(ours);
    else
      _close(descriptor);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(children_mutex);
  children[stream] = process.hProcess;
  return stream;
}

// Windows has no signals: a program that crashed ends with an exception code as its status.
// Its error output goes straight to ours.
int ClosePipe(FILE* pipe, std::string*) {
  HANDLE process = nullptr;
  {
    std::lock_guard<std::mutex> lock(children_mutex);
    const auto child = children.find(pipe);
    if (child == children.end()) return -1;
    process = child->second;
    children.erase(child);
  }
  std::fclose(pipe);
  DWORD status = 0;
  const bool known = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process, &status);
  CloseHandle(process);
  return known ? int(status) : -1;
}

void StopProgram(FILE* pipe) {
  HANDLE process = nullptr;
  {
    std::lock_guard<std::mutex> lock(children_mutex);
    const auto child = children.find(pipe);
    if (child != children.end()) process = child->second;
  }
  if (process) TerminateProcess(process, 1);
  ClosePipe(pipe, nullptr);
}

}  // namespace platform
