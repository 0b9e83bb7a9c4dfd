#include "refusal.h"

namespace {

// The decimal digits of a number, sign included, backwards into `digits`; returns how many.
int DigitsBackwards(int number, char (&digits)[12]) {
  // In the negative range every int has a magnitude.
  int remaining = number < 0 ? number : -number, count = 0;
  do {
    digits[count++] = char('0' - remaining % 10);
    remaining /= 10;
  } while (remaining != 0);
  if (number < 0) digits[count++] = '-';
  return count;
}

}  // namespace

void WriteRefusal(const Refusal& refusal, char* message, size_t size) {
  if (size == 0) return;
  size_t length = 0;
  auto put = [&](char c) {
    if (length + 1 < size) message[length++] = c;
  };
  for (const char* c = refusal.format; c && *c; ++c) {
    if (c[0] == '%' && c[1] == 'd') {
      char digits[12];
      for (int i = DigitsBackwards(refusal.number, digits); i > 0; --i) put(digits[i - 1]);
      ++c;
    } else {
      put(*c);
    }
  }
  message[length] = 0;
}
