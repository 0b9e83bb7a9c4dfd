// The core loads the library by itself from the user plugin folder that its configuration
// file names (UserPluginDir in vapoursynth.conf), without std.LoadPlugin.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "korvel_version.h"
#include "vs_core.h"

namespace korvel_vs_test {
namespace {

TEST(UserPluginFolder, IsLoadedByTheCore) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("korvel-vs-autoload-" + std::to_string(getpid()));
  fs::create_directories(folder / "plugins");
  fs::copy_file(KORVEL_VS_PLUGIN_PATH, folder / "plugins" / "libkorvel_vs.so");
  std::ofstream(folder / "vapoursynth.conf")
      << "UserPluginDir=" << (folder / "plugins").string() << "\n";
  // The core reads the file this variable names in place of ~/.config/vapoursynth/.
  setenv("VAPOURSYNTH_CONF_PATH", (folder / "vapoursynth.conf").c_str(), 1);
  VSCore* core = Api()->createCore(0);
  unsetenv("VAPOURSYNTH_CONF_PATH");
  VSPlugin* plugin = Api()->getPluginByNamespace("korvel", core);
  const bool loaded = plugin && Api()->getPluginFunctionByName("Blur", plugin);
  Api()->freeCore(core);
  fs::remove_all(folder);
  EXPECT_TRUE(loaded);
}

// The plugin's version is the project's one version number, as korvel --version shows it.
TEST(Registration, CarriesTheProjectsVersion) {
  const Core core;
  const VSPlugin* plugin = Api()->getPluginByNamespace("korvel", core.get());
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(Api()->getPluginVersion(plugin),
            VS_MAKE_VERSION(KORVEL_VERSION_MAJOR, KORVEL_VERSION_MINOR));
}

}  // namespace
}  // namespace korvel_vs_test
