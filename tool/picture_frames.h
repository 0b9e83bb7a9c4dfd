// Raw frames and PNG pictures as a source and a sink: one picture at a time, as the raw
// format holds it (rows top-down, no padding), in frames whose time is their number.
#pragma once

#include <memory>

#include "frame_stream.h"
#include "media_sink.h"
#include "media_source.h"

// The FFmpeg format of frames in each raw layout (YV12 and I420 both as yuv420p).
AVPixelFormat AvFormatOf(PixelFormat format);

AvFramePtr FrameFromPicture(const FrameLayout& layout, const Picture& picture);

// A source of the reader's frames, described as `kind` of input named `name`.
std::unique_ptr<MediaSource> PictureSource(std::unique_ptr<FrameReader> reader, InputKind kind,
                                           const std::string& name);
// A sink writing frames of `layout` as pictures.
std::unique_ptr<MediaSink> PictureSink(std::unique_ptr<FrameWriter> writer,
                                       const FrameLayout& layout);
