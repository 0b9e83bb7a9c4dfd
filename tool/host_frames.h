// Pictures into host frames and back. The host keeps RGB frames bottom-up (memory row 0
// is the picture's bottom row), so RGB rows are turned over both ways.
#pragma once

#include "frame_stream.h"
#include "script_environment.h"

PVideoFrame HostFrameFromPicture(ScriptEnvironment& env, const FrameLayout& layout,
                                 const Picture& picture);

// Throws ToolError when the frame does not have the layout's size.
void PictureFromHostFrame(const PVideoFrame& frame, const FrameLayout& layout, Picture* picture);
