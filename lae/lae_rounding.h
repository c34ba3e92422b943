// Correct rounding to double: exact rationals (the exact solver's solution)
// and long decimals (the C++ layer's X), each to the nearest double with ties
// to even, through subnormals, with an infinity where the magnitude rounds
// beyond the largest double.
//
//   nearest_double   of num/den, and of a long decimal's whole value
#pragma once

#include <gmpxx.h>

#include "longdec/longdec.h"

namespace lae {

// num/den rounded to the nearest double, ties to even; den must not be 0.
// A result beyond the double range is +-infinity; one below half the
// smallest subnormal is a zero of the quotient's sign.
double nearest_double(const mpz_class& num, const mpz_class& den);

// The value of v over all 33 fraction words (word 34 included, also when it
// holds a carry of 10000), rounded as above. The entry points' conversion
// ld_to_double is not this: it reads 32 words and rounds at every step.
double nearest_double(const LongDecimal& v);

}  // namespace lae
