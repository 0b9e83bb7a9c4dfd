// An independent model of the blurred picture, computed from the shapes' geometry alone on a
// packed picture (rows of width · channels samples back to back), for checking whole frames.
// Written without the C++ standard library, so that every test program, the Windows test
// hosts too, checks against this one model.
#pragma once

#include <stdint.h>

namespace korvel_test {

struct Step {
  int column, row;
};

// Room the steps of a shape with these extents need at most.
int ShapeStepCapacity(int x, int y);

// The displacements the shape averages over, in no particular order, into `steps`; returns
// how many. `blur` is "line", "rect" or "focus"; the extents are ones creation accepts.
int ShapeSteps(int x, int y, const char* blur, Step* steps);

// The picture the filter should make of `source`: border strips copied, the interior the
// mean over the shape, rounded to the nearest integer (no mean is halfway).
void ModelBlur(const uint8_t* source, uint8_t* result, int width, int height, int channels, int x,
               int y, const char* blur);
void ModelBlur(const uint16_t* source, uint16_t* result, int width, int height, int channels, int x,
               int y, const char* blur);

// For floats, the interior's exact means (to double precision), and NaN or an infinity where
// the samples hold one: NaN for a NaN or for infinities of both signs, else that infinity.
void ModelBlur(const float* source, double* result, int width, int height, int channels, int x,
               int y, const char* blur);

// True when a float mean is close enough to the model's: the same NaN or infinity, or within
// one unit in the last place of the exact mean, or within 1e-9 of `largest`, the plane's
// largest finite magnitude.
bool FloatMeanAcceptable(float actual, double exact, double largest);

}  // namespace korvel_test
