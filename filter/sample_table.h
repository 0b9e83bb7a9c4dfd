// A sample offset table: the byte offsets, relative to the byte being computed, of the
// source bytes averaged for it, for one source pitch and pixel size.
#pragma once

#include <stdint.h>

#include "heap.h"
#include "shape.h"

class AveragingPlan;

struct SampleTable : HeapAllocated {
  ~SampleTable();

  int pitch = 0;  // of the source frames the entries address
  HeapArray<int32_t> offsets;
  int offset_count = 0;           // entries in use; the capacity until the first fill
  AveragingPlan* plan = nullptr;  // the fast averager's, owned; null for the plain kernel
  SampleTable* next = nullptr;    // the next table of the filter's other pitches
};

// Entries the shape needs at most: 2M + 1 for a line, (2x + 1)(2y + 1) for a box, (2x + 1)^2
// for a disc. 64-bit, since the product can outgrow int32 for very wide clips.
int64_t TableCapacity(Shape shape, int64_t x, int64_t y);

// Writes the shape's entries for a source frame of this pitch into `offsets`, which has room
// for *offset_count of them; a disc lowers *offset_count to the points it holds. False when
// a point of the disc finds the table full (which the capacity above rules out): the entries
// written so far stay, and *offset_count keeps its value.
bool FillOffsets(Shape shape, int x, int y, int pitch, int bytes_per_pixel, int32_t* offsets,
                 int* offset_count);
