// A plugin's shared library, opened and searched for its exported entry.
#pragma once

#include <memory>
#include <string>

#include "host.h"

class PluginLibrary {
 public:
  // Null, with the reason in `error`, when the library cannot be opened or has no entry.
  static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string* error);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  PluginInit2Func Entry() const { return entry_; }

 private:
  PluginLibrary(void* handle, PluginInit2Func entry) : handle_(handle), entry_(entry) {}
  void* handle_;
  PluginInit2Func entry_;
};
