// What the filter must make of a picture, from the shapes' geometry alone: the model of
// tests/support/reference_blur.cpp in C-style code that this target can compile. Pictures
// are packed: rows of width · bytes_per_pixel bytes back to back.
#pragma once

#include <stdint.h>

// `blur` is "line", "rect" or "focus"; the arguments are ones that creation accepts.
void ModelBlur(const uint8_t* source, uint8_t* result, int width, int height, int bytes_per_pixel,
               int x, int y, const char* blur);
