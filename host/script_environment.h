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

// Every slot of the interface is here. What a stand-in host has no use for (variables,
// contexts, subframes, messages on frames) raises an error that names the operation.
class ScriptEnvironment : public IScriptEnvironment {
 public:
  ScriptEnvironment();
  ~ScriptEnvironment() override;
  ScriptEnvironment(const ScriptEnvironment&) = delete;
  ScriptEnvironment& operator=(const ScriptEnvironment&) = delete;

  // IScriptEnvironment
  int GetCPUFlags() override { return 0; }
  char* SaveString(const char* text, int length = -1) override;
  char* Sprintf(const char* format, ...) override;
  char* VSprintf(const char* format, va_list args) override;
  [[noreturn]] void ThrowError(const char* format, ...) override;
  void AddFunction(const char* name, const char* params, ApplyFunc apply, void* user_data) override;
  bool FunctionExists(const char* name) override;
  AVSValue Invoke(const char* name, const AVSValue args, const char* const* arg_names) override;
  AVSValue GetVar(const char* name) override;
  bool SetVar(const char* name, const AVSValue& value) override;
  bool SetGlobalVar(const char* name, const AVSValue& value) override;
  void PushContext(int level) override;
  void PopContext() override;
  PVideoFrame NewVideoFrame(const VideoInfo& vi, int align) override;
  bool MakeWritable(PVideoFrame* frame) override;
  void BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch, int row_size,
              int height) override;
  void AtExit(ShutdownFunc function, void* user_data) override;
  void CheckVersion(int version) override;
  PVideoFrame Subframe(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                       int new_height) override;
  int SetMemoryMax(int megabytes) override;
  int SetWorkingDir(const char* folder) override;
  // No cache to manage, and not the host family that asks for a compensated release.
  void* ManageCache(int, void*) override { return nullptr; }
  bool PlanarChromaAlignment(int mode) override;
  PVideoFrame SubframePlanar(PVideoFrame src, int rel_offset, int new_pitch, int new_row_size,
                             int new_height, int rel_offset_u, int rel_offset_v,
                             int new_pitch_uv) override;
  void DeleteScriptEnvironment() override;
  void ApplyMessage(PVideoFrame* frame, const VideoInfo& vi, const char* message, int size,
                    int text_color, int halo_color, int background_color) override;
  const void* GetAVSLinkage() override;
  // There are no variables: every name gets the fallback.
  AVSValue GetVarDef(const char*, const AVSValue& fallback) override { return fallback; }

  // Loads a plugin library and calls its entry; returns the description it gives.
  // The library stays loaded as long as the environment.
  const char* LoadPlugin(const std::string& path);

  // Calls a registered function as a script would: positional arguments fill the
  // parameters in order, named ones by name; omitted optional ones arrive as not given.
  // Strings are copied into the environment first, so they live as long as it does. The
  // function gets its own copy of the arguments, which is destroyed after it returns.
  AVSValue Call(const std::string& name, const std::vector<AVSValue>& positional,
                const std::vector<NamedArgument>& named = {});

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
  [[noreturn]] void Unsupported(const char* operation);
  AVSValue Saved(const AVSValue& value);
  std::vector<AVSValue> Bind(const std::string& name, const Function& function,
                             const std::vector<AVSValue>& positional,
                             const std::vector<NamedArgument>& named);

  // Declared first so that it is destroyed last: the plugins' code must outlive the
  // clips and frames that it made.
  std::vector<std::unique_ptr<PluginLibrary>> plugins_;
  FramePool frames_;
  std::map<std::string, Function> functions_;
  std::vector<std::pair<ShutdownFunc, void*>> at_exit_;
  mutable std::mutex strings_mutex_;
  std::deque<std::string> strings_;
};
