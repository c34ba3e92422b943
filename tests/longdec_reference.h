// The plain word-by-word long decimal arithmetic, kept for the tests as the
// obviously correct version against which the library's fast paths are
// compared word for word. Each function follows its recurrence literally:
// whole 36- and 71-word records, every loop over every word, carries swept by
// C's truncating / and %. Nothing here is used by the library.
//
//   record helpers   ref_ld_shift_right, ref_ld_normalize, ref_ld_normalize_wide
//   addition         ref_ld_order, ref_add_magnitudes, ref_subtract_magnitudes,
//                    ref_fraction_is_zero, ref_ld_add
//   wide form        ref_ld_widen, ref_ld_narrow, ref_ld_compare_wide,
//                    ref_ld_shift_right_wide, ref_ld_sub_wide
//   multiplication   ref_ld_mul
//   division         ref_first_nonzero_word, ref_estimate_quotient_word,
//                    ref_times_word, ref_ld_div
#pragma once

#include <cstdint>
#include <cstdlib>

#include "longdec/longdec.h"

namespace ref_detail {

inline constexpr std::int32_t kRoundHalf = 5000;
inline constexpr double kWordScale1 = 1e4;
inline constexpr double kWordScale2 = 1e8;
inline constexpr int kQuotientPositions = 35;
inline constexpr int kWidePastDigits = kLdWideLastDigit + 1;

}  // namespace ref_detail

// ------------------------------------------------------------ record helpers

inline void ref_ld_shift_right(LongDecimal& v, int d) {
  const int q = d > 0 ? d / kLdDigitsPerWord : 0;
  for (int k = kLdLastDigit - 1; k >= 1; --k) v[k + 1] = k >= q ? v[k + 1 - q] : 0;
  v[kLdOverflow] = 0;
  v[kLdExponent] += kLdDigitsPerWord * q;
}

inline void ref_ld_normalize(LongDecimal& v) {
  int z = 0;
  while (kLdFirstDigit + z <= kLdLastDigit && v[kLdFirstDigit + z] == 0) ++z;
  if (kLdFirstDigit + z > kLdLastDigit) return;
  v[kLdExponent] -= kLdDigitsPerWord * z;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) v[w] = w + z <= kLdLastDigit ? v[w + z] : 0;
}

inline void ref_ld_normalize_wide(LongDecimalWide& w) {
  int z = 0;
  while (kLdFirstDigit + z <= kLdWideLastDigit && w[kLdFirstDigit + z] == 0) ++z;
  if (kLdFirstDigit + z > kLdWideLastDigit) return;
  w[kLdWideExponent] -= kLdDigitsPerWord * z;
  for (int k = kLdFirstDigit; k <= kLdWideLastDigit; ++k) w[k] = k + z <= kLdWideLastDigit ? w[k + z] : 0;
}

// ------------------------------------------------------------------ addition

inline void ref_ld_order(LongDecimal& x, LongDecimal& y) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (x[w] != y[w]) {
      if (x[w] < y[w]) x.swap(y);
      return;
    }
  }
}

inline bool ref_fraction_is_zero(const LongDecimal& r) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (r[w] != 0) return false;
  }
  return true;
}

inline void ref_add_magnitudes(const LongDecimal& x, const LongDecimal& y, LongDecimal& r) {
  std::int32_t carry = 0;
  for (int w = kLdLastDigit; w >= kLdOverflow; --w) {
    const std::int32_t t = x[w] + y[w] + carry;
    r[w] = t % kLdBase;
    carry = t / kLdBase;
  }
  if (r[kLdOverflow] != 0) ref_ld_shift_right(r, kLdDigitsPerWord);
}

inline void ref_subtract_magnitudes(LongDecimal x, const LongDecimal& y, LongDecimal& r) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit - 1; ++w) {
    x[w] -= 1;
    x[w + 1] += kLdBase;
  }
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) r[w] = x[w] - y[w];
  std::int32_t carry = 0;
  for (int w = kLdLastDigit; w >= kLdFirstDigit; --w) {
    const std::int32_t t = r[w] + carry;
    r[w] = t % kLdBase;
    carry = t / kLdBase;
  }
}

inline LongDecimal ref_ld_add(LongDecimal a, LongDecimal b) {
  if (a[kLdSign] == 0) return b;
  if (b[kLdSign] == 0) return a;
  LongDecimal x = a;
  LongDecimal y = b;
  LongDecimal r{};
  if (a[kLdExponent] > b[kLdExponent]) {
    ref_ld_shift_right(y, a[kLdExponent] - b[kLdExponent]);
    r[kLdExponent] = a[kLdExponent];
  } else {
    ref_ld_shift_right(x, b[kLdExponent] - a[kLdExponent]);
    r[kLdExponent] = b[kLdExponent];
  }
  if (a[kLdSign] * b[kLdSign] > 0) {
    ref_add_magnitudes(x, y, r);
    r[kLdSign] = a[kLdSign];
  } else {
    ref_ld_order(x, y);
    ref_subtract_magnitudes(x, y, r);
    if (ref_fraction_is_zero(r)) return LongDecimal{};
    ref_ld_normalize(r);
    r[kLdSign] = x[kLdSign];
  }
  if (ref_fraction_is_zero(r)) r.fill(0);
  return r;
}

// ----------------------------------------------------------------- wide form

inline void ref_ld_widen(const LongDecimal& v, LongDecimalWide& w) {
  w[kLdSign] = v[kLdSign];
  for (int k = kLdOverflow; k <= kLdLastDigit; ++k) w[k] = v[k];
  for (int k = kLdLastDigit + 1; k <= ref_detail::kWidePastDigits; ++k) w[k] = 0;
  w[kLdWideExponent] = v[kLdExponent];
}

inline void ref_ld_narrow(const LongDecimalWide& w, LongDecimal& r) {
  for (int k = kLdSign; k <= kLdLastDigit; ++k) r[k] = w[k];
  r[kLdExponent] = w[kLdWideExponent];
  if (w[kLdLastDigit + 1] >= ref_detail::kRoundHalf) r[kLdLastDigit] += 1;
}

inline int ref_ld_compare_wide(LongDecimalWide p, LongDecimalWide q) {
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) {
    if (p[w] != q[w]) return p[w] > q[w] ? 1 : -1;
  }
  return 1;
}

inline void ref_ld_shift_right_wide(LongDecimalWide& w, int d) {
  const int q = d > 0 ? d / kLdDigitsPerWord : 0;
  for (int k = kLdWideLastDigit - 1; k >= 1; --k) w[k + 1] = k >= q ? w[k + 1 - q] : 0;
  w[kLdOverflow] = 0;
}

inline LongDecimalWide ref_ld_sub_wide(LongDecimalWide& a, LongDecimalWide b) {
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit - 1; ++w) {
    if (a[w] > 0) {
      a[w] -= 1;
      a[w + 1] += kLdBase;
    }
  }
  LongDecimalWide d{};
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) d[w] = a[w] - b[w];
  std::int32_t carry = 0;
  for (int w = kLdWideLastDigit; w >= kLdFirstDigit; --w) {
    const std::int32_t t = d[w] + carry;
    carry = t / kLdBase;
    d[w] = t % kLdBase;
  }
  return d;
}

// ------------------------------------------------------------ multiplication

inline LongDecimal ref_ld_mul(LongDecimal a, LongDecimal b) {
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
  ref_ld_normalize_wide(w);
  ref_ld_narrow(w, r);
  return r;
}

// ------------------------------------------------------------------ division

inline int ref_first_nonzero_word(const LongDecimalWide& w) {
  for (int f = kLdOverflow; f <= kLdWideLastDigit; ++f) {
    if (w[f] != 0) return f;
  }
  return ref_detail::kWidePastDigits;
}

inline std::int32_t ref_estimate_quotient_word(const LongDecimalWide& x, const LongDecimalWide& y) {
  const int f = ref_first_nonzero_word(x);
  if (f > kLdWideLastDigit - 1) return 0;
  const double num = static_cast<double>(x[f]) * ref_detail::kWordScale2 +
                     static_cast<double>(x[f + 1]) * ref_detail::kWordScale1 + static_cast<double>(x[f + 2]);
  const double den = static_cast<double>(y[f]) * ref_detail::kWordScale2 +
                     static_cast<double>(y[f + 1]) * ref_detail::kWordScale1 + static_cast<double>(y[f + 2]) + 1.0;
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

// A zero divisor aborts, as the library does; the tests never pass one.
inline LongDecimal ref_ld_div(LongDecimal a, LongDecimal b) {
  if (b[kLdSign] == 0) std::abort();
  LongDecimal r{};
  if (a[kLdSign] == 0) return r;
  LongDecimal x = a;
  LongDecimal y = b;
  ref_ld_normalize(x);
  ref_ld_normalize(y);
  LongDecimalWide q{};
  LongDecimalWide rem{};
  ref_ld_widen(x, rem);
  LongDecimalWide div{};
  ref_ld_widen(y, div);
  q[kLdSign] = x[kLdSign] * y[kLdSign];
  q[kLdWideExponent] = x[kLdExponent] - y[kLdExponent] + kLdDigitsPerWord;
  int k = 1;
  while (k <= ref_detail::kQuotientPositions) {
    if (ref_ld_compare_wide(rem, div) == 1) {
      const std::int32_t est = ref_estimate_quotient_word(rem, div);
      q[k + 1] += est;
      LongDecimalWide copy = rem;
      rem = ref_ld_sub_wide(copy, ref_times_word(est, div));
    }
    if (ref_ld_compare_wide(rem, div) == 1) {
      rem = ref_ld_sub_wide(rem, div);
      q[k + 1] += 1;
    } else {
      ref_ld_shift_right_wide(div, kLdDigitsPerWord);
      ++k;
    }
  }
  if (q[kLdFirstDigit] == 0) {
    for (int w = kLdFirstDigit; w <= kLdWideLastDigit - 1; ++w) q[w] = q[w + 1];
    q[kLdWideExponent] -= kLdDigitsPerWord;
  }
  ref_ld_narrow(q, r);
  return r;
}
