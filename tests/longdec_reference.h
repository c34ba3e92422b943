// The plain word-by-word long decimal arithmetic, kept for the tests as the
// obviously correct version against which the library's fast paths are
// compared word for word. Each function follows its recurrence literally:
// whole 36- and 71-word records, every loop over every word, carries swept by
// C's truncating / and %. The record and wide-form helpers (shift, normalise,
// widen, narrow, compare, subtract) are the library's own: the fast paths do
// not use them, and the record tests check them by hand.
//
//   addition         ref_ld_add
//   multiplication   ref_ld_mul
//   division         ref_estimate_quotient_word, ref_times_word, ref_ld_div
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "longdec/longdec.h"

// Aligned on the larger exponent, the other operand loses what moves past
// word 34. Sums carry into word 1 and move back down; differences first let
// word 2 lend one to every lower word, so that no word difference is negative.
inline LongDecimal ref_ld_add(const LongDecimal& a, const LongDecimal& b) {
  if (a[kLdSign] == 0) return b;
  if (b[kLdSign] == 0) return a;
  LongDecimal x = a;
  LongDecimal y = b;
  LongDecimal r{};
  if (a[kLdExponent] > b[kLdExponent]) {
    ld_shift_right(y, a[kLdExponent] - b[kLdExponent]);
    r[kLdExponent] = a[kLdExponent];
  } else {
    ld_shift_right(x, b[kLdExponent] - a[kLdExponent]);
    r[kLdExponent] = b[kLdExponent];
  }
  const auto fraction_is_zero = [&r] {
    return std::all_of(r.begin() + kLdFirstDigit, r.begin() + kLdLastDigit + 1, [](std::int32_t d) { return d == 0; });
  };
  std::int32_t carry = 0;
  if (a[kLdSign] * b[kLdSign] > 0) {
    for (int w = kLdLastDigit; w >= kLdOverflow; --w) {
      const std::int32_t t = x[w] + y[w] + carry;
      r[w] = t % kLdBase;
      carry = t / kLdBase;
    }
    if (r[kLdOverflow] != 0) ld_shift_right(r, kLdDigitsPerWord);
    r[kLdSign] = a[kLdSign];
  } else {
    ld_order(x, y);
    for (int w = kLdFirstDigit; w <= kLdLastDigit - 1; ++w) {
      x[w] -= 1;
      x[w + 1] += kLdBase;
    }
    for (int w = kLdLastDigit; w >= kLdFirstDigit; --w) {
      const std::int32_t t = x[w] - y[w] + carry;
      r[w] = t % kLdBase;
      carry = t / kLdBase;
    }
    if (fraction_is_zero()) return LongDecimal{};
    ld_normalize(r);
    r[kLdSign] = x[kLdSign];
  }
  if (fraction_is_zero()) r.fill(0);
  return r;
}

inline LongDecimal ref_ld_mul(const LongDecimal& a, const LongDecimal& b) {
  LongDecimal r{};
  if (a[kLdSign] == 0 || b[kLdSign] == 0) return r;
  LongDecimalWide w{};
  w[kLdSign] = a[kLdSign] * b[kLdSign] > 0 ? 1 : -1;
  w[kLdWideExponent] = a[kLdExponent] + b[kLdExponent];
  for (int j = kLdLastDigit - 1; j >= 1; --j) {
    std::int32_t carry = 0;
    for (int i = kLdLastDigit - 1; i >= 0; --i) {
      const std::int32_t t = a[i + 1] * b[j + 1] + carry + w[i + j + 1];
      w[i + j + 1] = t % kLdBase;
      carry = t / kLdBase;
    }
  }
  ld_normalize_wide(w);
  ld_narrow(w, r);
  return r;
}

// Three leading words of the remainder over three of the divisor plus one, truncated.
inline std::int32_t ref_estimate_quotient_word(const LongDecimalWide& x, const LongDecimalWide& y) {
  int f = kLdOverflow;
  while (f <= kLdWideLastDigit && x[f] == 0) ++f;
  if (f > kLdWideLastDigit - 1) return 0;
  const double num = x[f] * 1e8 + x[f + 1] * 1e4 + static_cast<double>(x[f + 2]);
  const double den = y[f] * 1e8 + y[f + 1] * 1e4 + static_cast<double>(y[f + 2]) + 1.0;
  return static_cast<std::int32_t>(num / den);
}

inline LongDecimalWide ref_times_word(std::int32_t q, const LongDecimalWide& y) {
  LongDecimalWide p{};
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) p[w] = q * y[w];
  std::int32_t carry = 0;
  for (int w = kLdWideLastDigit; w >= kLdFirstDigit; --w) {
    const std::int32_t t = p[w] + carry;
    carry = t / kLdBase;
    p[w] = t % kLdBase;
  }
  return p;
}

// 35 quotient words, one divisor position each; a zero first word moves the
// quotient up one word before it is rounded to 33.
inline LongDecimal ref_ld_div(const LongDecimal& a, const LongDecimal& b) {
  if (b[kLdSign] == 0) std::abort();
  LongDecimal r{};
  if (a[kLdSign] == 0) return r;
  LongDecimal x = a;
  LongDecimal y = b;
  ld_normalize(x);
  ld_normalize(y);
  LongDecimalWide q{};
  LongDecimalWide rem{};
  LongDecimalWide div{};
  ld_widen(x, rem);
  ld_widen(y, div);
  q[kLdSign] = x[kLdSign] * y[kLdSign];
  q[kLdWideExponent] = x[kLdExponent] - y[kLdExponent] + kLdDigitsPerWord;
  for (int k = 1; k <= 35;) {
    if (ld_compare_wide(rem, div) == 1) {
      const std::int32_t est = ref_estimate_quotient_word(rem, div);
      q[k + 1] += est;
      LongDecimalWide copy = rem;
      rem = ld_sub_wide(copy, ref_times_word(est, div));
    }
    if (ld_compare_wide(rem, div) == 1) {
      rem = ld_sub_wide(rem, div);
      q[k + 1] += 1;
    } else {
      ld_shift_right_wide(div, kLdDigitsPerWord);
      ++k;
    }
  }
  if (q[kLdFirstDigit] == 0) {
    for (int w = kLdFirstDigit; w <= kLdWideLastDigit - 1; ++w) q[w] = q[w + 1];
    q[kLdWideExponent] -= kLdDigitsPerWord;
  }
  ld_narrow(q, r);
  return r;
}
