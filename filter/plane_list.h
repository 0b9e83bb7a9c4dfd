// Which planes of a clip a call blurs: the list of plane numbers its caller gives, checked
// as every host's function checks it.
#pragma once

#include <stdint.h>

#include "refusal.h"

// Luma or red, two of chroma or green and blue, and alpha.
constexpr int kMostPlanes = 4;

class PlaneList {
 public:
  // For a clip of plane_count planes (1 to kMostPlanes), none listed yet.
  explicit PlaneList(int plane_count) : plane_count_(plane_count) {}

  // Every plane: what a call that gives no list means.
  void ListAll();
  // One number of the caller's list, in the list's order: refused when it names no plane of
  // the clip or one listed already.
  Refusal Add(int64_t plane);

  int PlaneCount() const { return plane_count_; }
  bool Listed(int plane) const { return listed_[plane]; }

 private:
  int plane_count_;
  bool listed_[kMostPlanes] = {};
};
