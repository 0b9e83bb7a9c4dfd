// AviSynth+'s library, loaded at run time to render scripts.
#pragma once

#include <string>

#include "avisynth_c_interface.h"

// The library's functions. Looks for it in the library folder of the prefix the command is
// installed in (where scripts/install-avisynth puts it beside the command), then where
// the system looks for libraries. Throws ToolError naming what to install when it is
// absent, or what it lacks when it is too old. The library stays loaded.
avisynth_c::Functions LoadAvisynth();
