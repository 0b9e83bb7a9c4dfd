// The groups of checks the test host runs on KorvelBlur, each in the environment that
// korvelblur.dll's entry registered it in, each leaving the host holding what it held.
#pragma once

#include <stdint.h>

#include "stand_in/stand_in_host.h"

// Every refusal of creation, as the call's error: the formats refused, the shared table of
// shape and extent messages, the planes.
void CheckMessages(AVS_ScriptEnvironment* env);
// Every format with lines both ways, a box and a disc; planes left out; the declared thread
// mode of each filter.
void CheckEveryFormat(AVS_ScriptEnvironment* env);
// Formats, sizes, shapes and planes drawn from the seed.
void CheckRandomCalls(AVS_ScriptEnvironment* env, uint64_t seed, int calls);
// A source's error, and a new frame the host refuses, arrive as the frame's error with every
// frame released; the filter then goes on.
void CheckErrorsInGetFrame(AVS_ScriptEnvironment* env);
