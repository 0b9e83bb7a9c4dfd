// Where the command finds the plugin when no --plugin is given.
#pragma once

#include <string>

// The library beside the executable (as in the build folder) if it is there, else the one
// where `cmake --install` puts it relative to the installed command (as in a prefix or the
// unpacked archive); that second path, when neither exists, so the message names it.
std::string DefaultPluginPath();
