// INTERNAL to the long decimal arithmetic: the fast paths of ld_add, ld_mul
// and ld_div. Not part of the library's interface. Only longdec/ and the long
// decimal tests include this header.
//
// Each computes the exact result with integer arithmetic on packed base-10^8
// digits, over the digits in use only, and yields the same words as the word
// path (longdec_wordwise.h) on the operands it accepts. "In range" below means
// word 1 is 0 and words 2..33 are digits 0..9999; the bound on word 34 is
// stated per operation.
//
//   ld_internal::add_exact, multiply_exact, divide_exact
#pragma once

#include "longdec/longdec.h"

namespace ld_internal {

// a + b for non-zero a and b in range, word 34 up to 10000.
LongDecimal add_exact(const LongDecimal& a, const LongDecimal& b);
// a * b for non-zero a and b in range, word 34 up to 10000 in at most one of them.
LongDecimal multiply_exact(const LongDecimal& a, const LongDecimal& b);
// x / y for x and y with non-zero signs and first words, in range, word 34
// below 10000.
LongDecimal divide_exact(const LongDecimal& x, const LongDecimal& y);

}  // namespace ld_internal
