// INTERNAL to the long decimal arithmetic: the plain word-by-word operations.
// Not part of the library's interface. Only longdec/ and the long decimal tests
// include this header.
//
// Each operation follows its digit recurrences literally, on whole records,
// every loop over every word, carries swept by C's truncating / and %. They
// accept any record, finished or not, and handle zero operands as ld_add,
// ld_mul and ld_div do. Those take the packed fast paths (longdec_fast.h)
// where the operands allow and these everywhere else; the tests hold the two
// to the same words on millions of operands.
//
//   operations       ld_internal::add_by_words, multiply_by_words, divide_by_words
//   shared pieces    ld_internal::fraction_is_zero, kRoundHalf, kMaxDigit
#pragma once

#include <cstdint>

#include "longdec/longdec.h"

namespace ld_internal {

// Narrowing rounds the last kept word up when the first dropped word reaches this.
inline constexpr std::int32_t kRoundHalf = 5000;

// Largest digit of a word in range; word 34 may also hold kLdBase after rounding.
inline constexpr std::int32_t kMaxDigit = kLdBase - 1;

// a + b, the alignment truncating the operand with the smaller exponent.
LongDecimal add_by_words(const LongDecimal& a, const LongDecimal& b);
// a * b, rounded on the first dropped word.
LongDecimal multiply_by_words(const LongDecimal& a, const LongDecimal& b);
// a / b, rounded on the first dropped word; a zero divisor ends the program
// as ld_div says.
LongDecimal divide_by_words(const LongDecimal& a, const LongDecimal& b);

inline bool fraction_is_zero(const LongDecimal& r) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (r[w] != 0) return false;
  }
  return true;
}

}  // namespace ld_internal
