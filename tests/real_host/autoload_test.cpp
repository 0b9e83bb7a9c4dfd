// The folders the host searches for plugins on Linux: a plugin copied to a user folder, or
// installed under a prefix by `cmake --install`, needs no LoadPlugin.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "real_host.h"

namespace korvel_real_host {
namespace {

constexpr const char* kCall = "BlankClip(pixel_type=\"RGB32\").Korvel()";

// A home folder of its own for the environments made while it lives: the host reads HOME
// when an environment is created.
class TemporaryHome {
 public:
  TemporaryHome() {
    char pattern[] = "/tmp/korvel-home-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
    if (const char* home = std::getenv("HOME")) saved_ = home;
    setenv("HOME", path_.c_str(), 1);
  }
  ~TemporaryHome() {
    saved_.empty() ? unsetenv("HOME") : setenv("HOME", saved_.c_str(), 1);
    std::filesystem::remove_all(path_);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string saved_;
};

TEST(Autoload, FindsThePluginInEitherUserFolder) {
  {
    TemporaryHome empty;
    RealHost host(RealHost::Plugin::kLeftToAutoload);
    EXPECT_EQ(host.ErrorOf(kCall), "Script error: There is no function named 'Korvel'.");
  }
  for (const char* folder : {".avisynth", ".local/lib/avisynth"}) {
    SCOPED_TRACE(folder);
    TemporaryHome home;
    std::filesystem::create_directories(home.path() / folder);
    std::filesystem::copy_file(KORVEL_PLUGIN_PATH, home.path() / folder / "libkorvel.so");
    RealHost host(RealHost::Plugin::kLeftToAutoload);
    EXPECT_EQ(host.ErrorOf(kCall), "(no error)");
  }
}

// scripts/real-host installs the build into KORVEL_INSTALL_PREFIX, the prefix of a second
// host built for it, which loads the plugin from PREFIX/lib/avisynth as its own folder
// (tests/real_host/script_input_test.cpp runs it). This host, built for another prefix,
// searches that folder too as the plugin folder beside a library folder on its
// LD_LIBRARY_PATH, which it reads, like HOME, when an environment is created.
TEST(Autoload, FindsThePluginInstalledUnderAPrefix) {
  const std::filesystem::path prefix = KORVEL_INSTALL_PREFIX;
  for (const char* file : {"bin/korvel", "lib/avisynth/libkorvel.so"})
    EXPECT_TRUE(std::filesystem::is_regular_file(prefix / file)) << file;
  TemporaryHome empty;
  const char* saved = std::getenv("LD_LIBRARY_PATH");
  const std::string saved_path = saved ? saved : "";
  setenv("LD_LIBRARY_PATH", (prefix / "lib").c_str(), 1);
  {
    RealHost host(RealHost::Plugin::kLeftToAutoload);
    EXPECT_EQ(host.ErrorOf(kCall), "(no error)");
  }
  saved ? setenv("LD_LIBRARY_PATH", saved_path.c_str(), 1) : unsetenv("LD_LIBRARY_PATH");
}

}  // namespace
}  // namespace korvel_real_host
