// Pictures into host frames and back. The host keeps RGB frames bottom-up (memory row 0
// is the picture's bottom row), so RGB rows are turned over both ways.
#pragma once

#include <memory>

#include "frame_stream.h"
#include "script_environment.h"

PVideoFrame HostFrameFromPicture(ScriptEnvironment& env, const FrameLayout& layout,
                                 const Picture& picture);

// Throws ToolError when the frame does not have the layout's size.
void PictureFromHostFrame(const PVideoFrame& frame, const FrameLayout& layout, Picture* picture);

// Raw and PNG files as sources and sinks; a frame's time is its number.
std::unique_ptr<FrameSource> PictureSource(std::unique_ptr<FrameReader> reader);
std::unique_ptr<FrameSink> PictureSink(std::unique_ptr<FrameWriter> writer,
                                       const FrameLayout& layout);
