// The checks of a call's shape and extents against the picture's width and height, in the
// order their messages take precedence, shared by every host's creation function.
#pragma once

// Null when the call is accepted; otherwise the message, a printf format holding at most
// one %d, which `bound` fills.
const char* ExtentRefusal(const char* blur, int x, int y, int width, int height, int* bound);
