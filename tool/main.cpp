// korvel: blurs images, videos and raw frame streams with the Korvel plugin.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "av_support.h"
#include "blur_job.h"
#include "korvel_version.h"
#include "options.h"
#include "platform.h"
#include "tool_error.h"

int main(int argc, char** argv) {
  platform::IgnoreWriteSignals();
  platform::CleanUpOnSignals();
  WatchLibraryMessages();  // the libraries' own messages: errors only
  try {
    const Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(UsageText(), stdout);
      return 0;
    }
    if (options.version) {
      std::printf("korvel %s\n", KORVEL_VERSION);
      return 0;
    }
    RunBlurJob(options);
    return 0;
  } catch (const UsageError& error) {
    std::fprintf(stderr, "korvel: %s\nTry 'korvel --help' for more.\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvel: %s\n", error.what());
  }
  return 1;
}
