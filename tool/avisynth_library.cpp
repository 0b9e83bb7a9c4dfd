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
void Find(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  if (!*function)
    throw ToolError(std::string("the AviSynth+ library found lacks ") + name +
                    ", so it is older than 3.7; scripts/install-avisynth PREFIX installs 3.7.5");
}

}  // namespace

avisynth_c::Functions LoadAvisynth() {
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
    throw ToolError("AviSynth+ is not installed, and scripts need it: no " +
                    std::string(kLibraryName) + " in " + prefix_libraries +
                    " nor on the library path; scripts/install-avisynth PREFIX installs it");
  avisynth_c::Functions functions;
  Find(library, "avs_create_script_environment", &functions.create_script_environment);
  Find(library, "avs_delete_script_environment", &functions.delete_script_environment);
  Find(library, "avs_invoke", &functions.invoke);
  Find(library, "avs_release_value", &functions.release_value);
  Find(library, "avs_take_clip", &functions.take_clip);
  Find(library, "avs_release_clip", &functions.release_clip);
  Find(library, "avs_clip_get_error", &functions.clip_get_error);
  Find(library, "avs_get_video_info", &functions.get_video_info);
  Find(library, "avs_get_frame", &functions.get_frame);
  Find(library, "avs_release_video_frame", &functions.release_video_frame);
  Find(library, "avs_get_pitch_p", &functions.get_pitch_p);
  Find(library, "avs_get_row_size_p", &functions.get_row_size_p);
  Find(library, "avs_get_height_p", &functions.get_height_p);
  Find(library, "avs_get_read_ptr_p", &functions.get_read_ptr_p);
  Find(library, "avs_get_audio", &functions.get_audio);
  return functions;
}
