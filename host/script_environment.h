// The host's environment: function registry, script-style calls, errors, frames, strings.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame_pool.h"
#include "host.h"
#include "parameter_list.h"

class PluginLibrary;

struct NamedArgument {
  std::string name;
  AVSValue value;
};

class ScriptEnvironment : public IScriptEnvironment {
 public:
  ScriptEnvironment();
  ~ScriptEnvironment() override;
  ScriptEnvironment(const ScriptEnvironment&) = delete;
  ScriptEnvironment& operator=(const ScriptEnvironment&) = delete;

  // IScriptEnvironment
  void AddFunction(const char* name, const char* params, ApplyFunc apply, void* user_data) override;
  [[noreturn]] void ThrowError(const char* format, ...) override;
  PVideoFrame NewVideoFrame(const VideoInfo& vi, int align) override;
  void BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
              int height) override;
  const char* SaveString(const char* text, int length = -1) override;

  // Loads a plugin library and calls its entry; returns the description it gives.
  // The library stays loaded as long as the environment.
  const char* LoadPlugin(const std::string& path);

  // Calls a registered function as a script would: positional arguments fill the
  // parameters in order, named ones by name; omitted optional ones arrive as not given.
  // Strings are copied into the environment first, so they live as long as it does.
  AVSValue Invoke(const std::string& name, const std::vector<AVSValue>& positional,
                  const std::vector<NamedArgument>& named = {});

  bool FunctionExists(const std::string& name) const;

  // A frame with a chosen pitch (0: the smallest the alignment allows).
  PVideoFrame NewFrame(int row_size, int height, int pitch = 0, int align = 16);

  size_t LiveFrames() const { return frames_.LiveFrames(); }
  void SetFreshFrameFill(int fill) { frames_.SetFreshFill(fill); }

 private:
  struct Function {
    std::string params;
    std::vector<Parameter> parameters;
    ApplyFunc apply;
    void* user_data;
  };
  AVSValue Saved(const AVSValue& value);
  std::vector<AVSValue> Bind(const std::string& name, const Function& function,
                             const std::vector<AVSValue>& positional,
                             const std::vector<NamedArgument>& named);

  // Declared first so that it is destroyed last: the plugins' code must outlive the
  // clips and frames that it made.
  std::vector<std::unique_ptr<PluginLibrary>> plugins_;
  FramePool frames_;
  std::map<std::string, Function> functions_;
  mutable std::mutex strings_mutex_;
  std::deque<std::string> strings_;
};
