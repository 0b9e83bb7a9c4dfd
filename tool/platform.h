// Where the korvel command is, as the system tells it.
#pragma once

#include <string>

namespace platform {

// The folder holding the running executable, found from the executable itself so that it
// does not depend on the working directory; empty when unknown.
std::string ExecutableDirectory();

// The folder part of a path: "." when it has none.
std::string FolderOf(const std::string& path);

}  // namespace platform
