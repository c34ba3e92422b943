// Hand-made LongDecimal records for the word-exact tests.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "longdec/longdec.h"

namespace test_support {

// A record with the given sign, leading fraction words and exponent; the
// other words are 0.
inline LongDecimal make(int sign, std::initializer_list<std::int32_t> fraction, int exponent) {
  LongDecimal v{};
  v[kLdSign] = sign;
  int w = kLdFirstDigit;
  for (const std::int32_t digit : fraction) v[w++] = digit;
  v[kLdExponent] = exponent;
  return v;
}

// v with word w replaced by digit.
inline LongDecimal with_word(LongDecimal v, int w, std::int32_t digit) {
  v[w] = digit;
  return v;
}

}  // namespace test_support
