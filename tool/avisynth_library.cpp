#include "avisynth_library.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform.h"
#include "tool_error.h"

namespace {

constexpr const char* kLibraryName = "libavisynth.so";

// The library folder of the prefix the command is installed in, or empty.
std::string PrefixLibraryFolder() {
  const std::string folder = platform::ExecutableDirectory();
  if (folder.empty()) return "";
  return std::filesystem::path(folder).parent_path() / "lib";
}

template <typename Function>
void Find(void* library, const char* name, const std::string& script, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  if (!*function)
    throw ToolError("cannot read " + script + ": the AviSynth+ library found lacks " + name +
                    ", so it is older than 3.7; scripts/install-avisynth PREFIX installs 3.7.5");
}

}  // namespace

namespace avisynth_c {

Functions Load(const std::string& script) {
  const std::string prefix_libraries = PrefixLibraryFolder();
  // Global, as the host's own programs have it (they link it): a plugin of the host's C
  // interface built to take the host's functions from the program finds them, and one that
  // fails to load would make the host's autoload fail every script.
  const int mode = RTLD_NOW | RTLD_GLOBAL;
  void* library = nullptr;
  if (!prefix_libraries.empty())
    library = dlopen((prefix_libraries + "/" + kLibraryName).c_str(), mode);
  if (!library) library = dlopen(kLibraryName, mode);
  if (!library)
    throw ToolError("cannot read " + script +
                    ": AviSynth+ is not installed, and scripts need it: no " + kLibraryName +
                    " in " + prefix_libraries +
                    " nor on the library path; scripts/install-avisynth PREFIX installs it");
  Functions functions;
  Find(library, "avs_create_script_environment", script, &functions.create_script_environment);
  Find(library, "avs_delete_script_environment", script, &functions.delete_script_environment);
  Find(library, "avs_invoke", script, &functions.invoke);
  Find(library, "avs_release_value", script, &functions.release_value);
  Find(library, "avs_take_clip", script, &functions.take_clip);
  Find(library, "avs_release_clip", script, &functions.release_clip);
  Find(library, "avs_clip_get_error", script, &functions.clip_get_error);
  Find(library, "avs_get_video_info", script, &functions.get_video_info);
  Find(library, "avs_get_frame", script, &functions.get_frame);
  Find(library, "avs_release_video_frame", script, &functions.release_video_frame);
  Find(library, "avs_get_pitch_p", script, &functions.get_pitch_p);
  Find(library, "avs_get_row_size_p", script, &functions.get_row_size_p);
  Find(library, "avs_get_height_p", script, &functions.get_height_p);
  Find(library, "avs_get_read_ptr_p", script, &functions.get_read_ptr_p);
  Find(library, "avs_get_audio", script, &functions.get_audio);
  return functions;
}

}  // namespace avisynth_c
