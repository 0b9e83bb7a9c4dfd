// One run of the command, one way through: open the input and describe it, plan the
// streams, make the filter, open the output from the plan, then one read loop handing
// frames to the workers and the kept packets, in order, to the writer.
#pragma once

#include "options.h"

// Throws ToolError, with the host's and the plugin's messages as raised; the output then
// does not appear.
void RunBlurJob(const Options& options);
