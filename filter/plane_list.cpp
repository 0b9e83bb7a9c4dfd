#include "plane_list.h"

void PlaneList::ListAll() {
  for (int p = 0; p < plane_count_; ++p) listed_[p] = true;
}

Refusal PlaneList::Add(int64_t plane) {
  if (plane < 0 || plane >= plane_count_)
    return {"Korvel: planes must be between 0 and %d", plane_count_ - 1};
  if (listed_[plane]) return {"Korvel: plane %d is listed twice", int(plane)};
  listed_[plane] = true;
  return {};
}
