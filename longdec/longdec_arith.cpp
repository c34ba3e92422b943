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
// factors of one product, unnormalised operands of a division, and records
// made by hand.
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

// The word path also takes zero operands and ends the program on a zero divisor.
LongDecimal ld_div(const LongDecimal& a, const LongDecimal& b) {
  const auto fast_operand = [](const LongDecimal& v) {
    return !ld_is_zero(v) && v[kLdFirstDigit] != 0 && digits_in_range(v, kMaxDigit);
  };
  if (fast_operand(a) && fast_operand(b)) return ld_internal::divide_exact(a, b);
  return ld_internal::divide_by_words(a, b);
}
