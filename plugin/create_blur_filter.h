// The script function Korvel: argument checks, then a new BlurFilter.
#pragma once

#include "host.h"

AVSValue HOST_CDECL CreateBlurFilter(AVSValue args, void* user_data, IScriptEnvironment* env);
