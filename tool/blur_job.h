// One run of the command: the input through N instances of Korvel into the output.
#pragma once

#include "options.h"

// Throws ToolError, with the host's and the plugin's messages as raised; the output then
// does not appear.
void RunBlurJob(const Options& options);
