// What raw frames and PNG pictures share as sources and sinks (media_files.h): one picture
// at a time, as the raw format holds it (rows top-down, no padding), in frames whose time is
// their number.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "media.h"
#include "pixel_format.h"

// The FFmpeg format of frames in each raw layout (YV12 and I420 both as yuv420p).
AVPixelFormat AvFormatOf(PixelFormat format);

// Calls `row` for each row of the frame in the order a raw file
// holds them: plane by plane, YV12's V before U.
void ForEachFileRow(const FrameLayout& layout, AVFrame* frame,
                    const std::function<void(uint8_t* row, size_t bytes)>& row);

// A source of `count` pictures of `layout` (-1: known at the end), 25 a second, each made by
// `next` (null at the end), described as `kind` of input named `name`.
std::unique_ptr<MediaSource> PictureSource(const std::string& name, InputKind kind,
                                           const FrameLayout& layout, int64_t count,
                                           std::function<AvFramePtr()> next);

// Throws unless the frame is one of `layout`, as an output of that layout takes it.
void CheckFrameFits(const AVFrame* frame, const FrameLayout& layout);

// A stream of its own on the output's descriptor, so that closing it leaves that open.
FILE* OutputStream(int descriptor, const std::string& name);
