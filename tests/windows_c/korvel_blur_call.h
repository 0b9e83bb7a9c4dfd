// KorvelBlur called as a script calls it, and its frames checked against the shared model.
#pragma once

#include "extent_messages.h"
#include "host_formats.h"
#include "stand_in/stand_in_host.h"

struct BlurCall {
  int x = kLeftOut, y = kLeftOut;
  const char* blur = nullptr;  // null: left out
  int planes[4] = {};
  int plane_count = -1;  // -1: `planes` left out
};

// The filter, or null and the message.
AVS_Clip* CallKorvelBlur(AVS_ScriptEnvironment* env, AVS_Clip* source, const BlurCall& call,
                         const char** error);

// Frame n of the filter, plane by plane, against the model of the source's frame n; its
// frame properties those of the source's frame, and the filler after its rows untouched.
// The call names x, y and blur. `context` names the case in failure messages.
void CheckFrame(AVS_Clip* filter, AVS_Clip* source, const HostFormat& format, const BlurCall& call,
                int n, const char* context);
