// What the shared kernel bodies need from an instruction set: each set's kernel file defines
// one struct of these operations and builds the bodies against it (averaging_kernels.inc).
// A struct that lacks one fails this check with its own name, rather than leaving the
// bodies to some other overload. The optional operations below it are those the bodies
// probe for, taking a slower way where a set has none: each set's file asserts the ones it
// provides, so that a member misspelt there fails the build instead of going unused.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "averaging/exact_division.h"

template <typename A, typename B>
constexpr bool kSameType = false;
template <typename A>
constexpr bool kSameType<A, A> = true;
template <typename A, typename B>
concept SameAs = kSameType<A, B>;

template <typename Ops>
concept KernelOperations = requires(const uint8_t* bytes, const uint16_t* sums16,
                                    const uint32_t* sums32, uint16_t* prefix16, uint32_t* prefix32,
                                    ptrdiff_t length, int bytes_per_pixel, uint16_t add16,
                                    uint32_t add32, const Divisor& divisor, uint8_t* out) {
  // The width of its vector registers, and their types of 16-bit and 32-bit lanes.
  requires Ops::kVectorBytes >= 16;
  requires sizeof(typename Ops::Vector16) == Ops::kVectorBytes;
  requires sizeof(typename Ops::Vector32) == Ops::kVectorBytes;
  // The bytes at p, each widened to a lane: a register's worth of lanes.
  { Ops::Widen8To16(bytes) } -> SameAs<typename Ops::Vector16>;
  { Ops::Widen8To32(bytes) } -> SameAs<typename Ops::Vector32>;
  // Prefix sums of one channel's values a pixel apart, as StridedPrefix defines them, into
  // 16-bit sums from bytes or 16-bit values, and into 32-bit sums from bytes, 16-bit or
  // 32-bit values; false where the set has no faster way than the scalar loop.
  { Ops::PrefixByPixel16(bytes, length, bytes_per_pixel, prefix16) } -> SameAs<bool>;
  { Ops::PrefixByPixel16(sums16, length, bytes_per_pixel, prefix16) } -> SameAs<bool>;
  { Ops::PrefixByPixel32(bytes, length, bytes_per_pixel, prefix32) } -> SameAs<bool>;
  { Ops::PrefixByPixel32(sums16, length, bytes_per_pixel, prefix32) } -> SameAs<bool>;
  { Ops::PrefixByPixel32(sums32, length, bytes_per_pixel, prefix32) } -> SameAs<bool>;
  // Divides leading totals to bytes and says how many it divided, maybe none; the rest go
  // one by one.
  { Ops::Divide16(sums16, length, divisor, out) } -> SameAs<ptrdiff_t>;
  { Ops::Divide32(sums32, length, divisor, out) } -> SameAs<ptrdiff_t>;
  // The same for the totals ahead[k] - behind[k] + add, made in registers.
  { Ops::DivideDifferences16(sums16, sums16, add16, length, divisor, out) } -> SameAs<ptrdiff_t>;
  { Ops::DivideDifferences32(sums32, sums32, add32, length, divisor, out) } -> SameAs<ptrdiff_t>;
  // Totals kept with the lanes of even and odd bytes apart: the value they start from (the
  // rounding term, or 0 where the division adds it itself), and the division of a register
  // of each into kVectorBytes / 2 bytes in order, the even lanes' quotients at even bytes.
  // With true, the divisor has a nearest reciprocal, which the set may divide by.
  { Ops::template EvenOddBias<true>(divisor) } -> SameAs<uint32_t>;
  {Ops::template DivideEvenOdd32<true>(typename Ops::Vector32{}, typename Ops::Vector32{}, divisor,
                                       out)};
  // Asks for the line at out to be brought in to be written, where the set has a way.
  {Ops::PrefetchForWriting(out)};
};

// Optional: one step of a row's prefix sums of bytes a pixel apart in 16-bit lanes, a
// register's worth from `in` plus each channel's totals so far in `carry`, for pixels of 1, 3
// or 4 bytes; the row-sum box then makes its prefix sums as it goes.
template <typename Ops>
concept MakesPrefixSteps16 = requires(const uint8_t* in, typename Ops::Register& carry) {
  { Ops::template PrefixStep16<1>(in, carry) } -> SameAs<typename Ops::Register>;
  { Ops::template PrefixStep16<3>(in, carry) } -> SameAs<typename Ops::Register>;
  { Ops::template PrefixStep16<4>(in, carry) } -> SameAs<typename Ops::Register>;
};

// Optional: the same for a register of 32-bit values, and the division of several rows'
// 32-bit totals made in registers; the box of 32-bit column sums then makes its window sums
// in the division.
template <typename Ops>
concept MakesPrefixSteps32 = requires(typename Ops::Register v, typename Ops::Register& carry,
                                      ptrdiff_t length, const Divisor& divisor,
                                      uint8_t* const* outs) {
  { Ops::template PrefixStep32<1>(v, carry) } -> SameAs<typename Ops::Register>;
  { Ops::template PrefixStep32<3>(v, carry) } -> SameAs<typename Ops::Register>;
  { Ops::template PrefixStep32<4>(v, carry) } -> SameAs<typename Ops::Register>;
  {
    Ops::template DivideTotals32Rows<2>([](ptrdiff_t, typename Ops::Register(&)[2]) {}, length,
                                        divisor, outs)
    } -> SameAs<ptrdiff_t>;
};

// Optional: even and odd bytes' 16-bit sums put back in byte order in two registers, and the
// division of 16-bit totals made in registers; the shifted kernel then keeps a block's
// sums in registers from the samples to the division.
template <typename Ops>
concept InterleavesEvenOdd16 = requires(typename Ops::Vector16 v, typename Ops::Vector16& w,
                                        ptrdiff_t length, const Divisor& divisor, uint8_t* out) {
  Ops::InterleaveEvenOdd16(v, v, w, w);
  {
    Ops::DivideTotals16([](ptrdiff_t) { return typename Ops::Register{}; }, length, divisor, out)
    } -> SameAs<ptrdiff_t>;
};

// Optional: even += the sign-extended low halves of the 32-bit lanes of 16-bit steps, odd +=
// their high halves, in one operation each (a dot product).
template <typename Ops>
concept AddsSignedSteps = requires(typename Ops::Vector16 steps, typename Ops::Vector32& sums) {
  Ops::AddSignedSteps(steps, sums, sums);
};

// Optional: 16-bit quotients of words' 32-bit sums (without the rounding term) by the
// divisor's multiplier, for a length that is a multiple of sixteen.
template <typename Ops>
concept DividesWords32 = requires(const uint32_t* sums, ptrdiff_t length, const Divisor& divisor,
                                  uint16_t* out) {
  Ops::DivideWords32(sums, length, divisor, out);
};

// Optional: a register's worth of words, each widened to a 32-bit lane, in one operation.
template <typename Ops>
concept WidensWords32 = requires(const uint16_t* words) {
  { Ops::WidenWords32(words) } -> SameAs<typename Ops::Vector32>;
};

// Optional: half a register's worth of floats, each widened to a double lane of a register,
// in one operation.
template <typename Ops>
concept WidensFloats = requires(const float* floats) {
  {Ops::WidenFloats(floats)};
  requires sizeof(Ops::WidenFloats(floats)) == Ops::kVectorBytes;
};
