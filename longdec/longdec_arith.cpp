// LongDecimal arithmetic: addition (which also subtracts), multiplication and
// division, on base-10000 digit words with carries swept from the least
// significant word up. Additions truncate what alignment shifts out;
// multiplication and division round once, on the first word they drop.
//
// Each operation has two paths that yield the same words: the packed fast path
// (longdec_fast.cpp), taken when the operands' words lie in range, and the
// plain word-by-word path (longdec_wordwise.cpp), which accepts any record.
// Every record the operations make is in range. The word paths serve a divisor
// or dividend whose word 34 holds the 10000 that rounding may leave, two such
// factors of one product, a dividend with a zero fraction under a non-zero
// sign, and records made by hand.
//
//   operations     ld_add, ld_mul, ld_div
//   operand test   digits_in_range
#include <cstdint>

#include "longdec/longdec.h"
#include "longdec/longdec_fast.h"
#include "longdec/longdec_wordwise.h"

namespace {

using ld_internal::kMaxDigit;

// Word 1 is 0, words 2..33 are digits 0..9999 and word 34 is at most last_word_max.
bool digits_in_range(const LongDecimal& v, std::int32_t last_word_max) {
  // d lies in 0..m (m < 2^31) exactly when neither d nor m - d, taken as
  // 32-bit unsigned numbers, reaches 2^31.
  const auto outside = [](std::int32_t d, std::int32_t m) {
    const auto u = static_cast<std::uint32_t>(d);
    return u | (static_cast<std::uint32_t>(m) - u);
  };
  std::uint32_t high_bits = outside(v[kLdLastDigit], last_word_max);
  for (int w = kLdFirstDigit; w < kLdLastDigit; ++w) high_bits |= outside(v[w], kMaxDigit);
  return v[kLdOverflow] == 0 && high_bits >> 31 == 0;
}

}  // namespace

LongDecimal ld_add(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a)) return b;
  if (ld_is_zero(b)) return a;
  if (digits_in_range(a, kLdBase) && digits_in_range(b, kLdBase)) return ld_internal::add_exact(a, b);
  return ld_internal::add_by_words(a, b);
}

LongDecimal ld_mul(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a) || ld_is_zero(b)) return LongDecimal{};
  const bool both_last_full = a[kLdLastDigit] == kLdBase && b[kLdLastDigit] == kLdBase;
  if (!both_last_full && digits_in_range(a, kLdBase) && digits_in_range(b, kLdBase)) {
    return ld_internal::multiply_exact(a, b);
  }
  return ld_internal::multiply_by_words(a, b);
}

LongDecimal ld_div(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a) || ld_is_zero(b)) return ld_internal::divide_by_words(a, b);
  // Normalising a fraction that starts with a non-zero word changes nothing.
  LongDecimal x = a;
  LongDecimal y = b;
  if (x[kLdFirstDigit] == 0) ld_normalize(x);
  if (y[kLdFirstDigit] == 0) ld_normalize(y);
  if (x[kLdFirstDigit] != 0 && y[kLdFirstDigit] != 0 && digits_in_range(x, kMaxDigit) &&
      digits_in_range(y, kMaxDigit)) {
    return ld_internal::divide_exact(x, y);
  }
  return ld_internal::divide_by_words(x, y);
}
