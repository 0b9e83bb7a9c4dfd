// A source clip made by the test program itself, registered with the core as a filter:
// every sample of every plane a hash of its column, row, plane and frame number, so no row,
// column, plane or frame repeats another; and frame properties to be passed on.
#pragma once

#include "vs_core.h"

namespace korvel_vs_test {

// Properties every source frame carries: KorvelTestFrame (the frame number), _Matrix (1) and
// KorvelTestNote (a few bytes of data).
constexpr const char* kFrameNumberProperty = "KorvelTestFrame";
constexpr const char* kNoteProperty = "KorvelTestNote";
constexpr const char* kNote = "left as it was";

// A clip of this format and size; a format of colour family cfUndefined, or a size of 0,
// makes a clip whose format or size varies, whose frames are never asked for.
Node DetailedSource(const Core& core, const VSVideoFormat& format, int width, int height,
                    int frames);

}  // namespace korvel_vs_test
