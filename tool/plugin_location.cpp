#include "plugin_location.h"

#include <unistd.h>

#include "platform.h"

std::string DefaultPluginPath() {
  const std::string folder = platform::ExecutableDirectory();
  if (folder.empty()) return KORVEL_PLUGIN_FILE_NAME;
  const std::string beside = folder + "/" + KORVEL_PLUGIN_FILE_NAME;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return folder + "/" KORVEL_INSTALLED_PLUGIN_PATH;
}
