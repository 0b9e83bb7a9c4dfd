// The core loads the library by itself, without std.LoadPlugin, from the folder a user names:
// R65 from the user plugin folder of its configuration file (UserPluginDir in
// vapoursynth.conf); later cores, which read no such file (R77, installed with pip), from the
// folder VAPOURSYNTH_EXTRA_PLUGIN_PATH names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "korvel_version.h"
#include "vs_core.h"

namespace korvel_vs_test {
namespace {

int CoreRelease() {
  VSCore* core = Api()->createCore(ccfDisableAutoLoading);
  VSCoreInfo info{};
  Api()->getCoreInfo(core, &info);
  Api()->freeCore(core);
  return info.core;
}

TEST(UserPluginFolder, IsLoadedByTheCore) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / ("korvel-vs-autoload-" + std::to_string(getpid()));
  fs::create_directories(folder / "plugins");
  fs::copy_file(KORVEL_VS_PLUGIN_PATH, folder / "plugins" / "libkorvel_vs.so");
  const bool reads_configuration = CoreRelease() <= 65;
  const char* variable =
      reads_configuration ? "VAPOURSYNTH_CONF_PATH" : "VAPOURSYNTH_EXTRA_PLUGIN_PATH";
  if (reads_configuration) {
    std::ofstream(folder / "vapoursynth.conf")
        << "UserPluginDir=" << (folder / "plugins").string() << "\n";
    // The core reads the file this variable names in place of ~/.config/vapoursynth/.
    setenv(variable, (folder / "vapoursynth.conf").c_str(), 1);
  } else {
    setenv(variable, (folder / "plugins").c_str(), 1);
  }
  VSCore* core = Api()->createCore(0);
  unsetenv(variable);
  VSPlugin* plugin = Api()->getPluginByNamespace("korvel", core);
  const bool loaded = plugin && Api()->getPluginFunctionByName("Blur", plugin);
  Api()->freeCore(core);
  fs::remove_all(folder);
  EXPECT_TRUE(loaded) << "through " << variable;
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
