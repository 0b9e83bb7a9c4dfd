// The function KorvelBlur: arguments read and checked as korvel.Blur checks them, with the
// same messages, then a new filter.
#pragma once

#include <avisynth_c.h>

// Its parameters, in the host's notation: korvel.Blur's, with `planes` an array of ints.
constexpr const char* kKorvelBlurParameters = "c[x]i[y]i[blur]s[planes]i*";

AVS_Value AVSC_CC CreateKorvelBlur(AVS_ScriptEnvironment* env, AVS_Value args, void* user_data);
