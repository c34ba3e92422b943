// The plain word-by-word long decimal arithmetic (longdec_wordwise.h) and the
// double-length working form that its multiplication and division rest on.
//
//   operations     add_by_words (add_magnitudes, subtract_magnitudes),
//                  multiply_by_words,
//                  divide_by_words (carry_last_word, first_nonzero_word,
//                  estimate_quotient_word, times_word, divide_by_zero)
//   wide form      ld_order, ld_widen, ld_narrow, ld_compare_wide,
//                  ld_shift_right_wide, ld_sub_wide
//
// Integer / and % are C's: truncation toward zero, remainder with the sign of
// the dividend. Every working variable is a local: the operations are re-entrant.
#include "longdec/longdec_wordwise.h"

#include <cstdio>
#include <cstdlib>

#include "textout/textout.h"

namespace {

using ld_internal::fraction_is_zero;
using ld_internal::kRoundHalf;

// The one abnormal end of the program.
constexpr const char* kDivideByZeroMessage = "Divide by null in Divide";

// Scales of the three leading words in the quotient-digit estimate.
constexpr double kWordScale1 = 1e4;
constexpr double kWordScale2 = 1e8;

// Division builds quotient words 2..36 (35 words), one position per k = 1..35.
constexpr int kQuotientPositions = 35;
// Word 68 of the wide form: the first index past the fraction.
constexpr int kLdWidePastDigits = kLdWideLastDigit + 1;

// x and y share their exponent; r receives |x| + |y| in words 1..34, word 1
// taking the carry out of the fraction.
void add_magnitudes(const LongDecimal& x, const LongDecimal& y, LongDecimal& r) {
  std::int32_t carry = 0;
  for (int w = kLdLastDigit; w >= kLdOverflow; --w) {
    const std::int32_t t = x[w] + y[w] + carry;
    r[w] = t % kLdBase;
    carry = t / kLdBase;  // the carry out of word 1 is 0 for finished operands
  }
}

// x and y share their exponent and |x| >= |y|; r receives |x| - |y| in words
// 1..34. x is first rewritten to the same value with word 2 lowered by one and
// every lower word raised, so that no word difference below word 2 is negative.
// Word 1 takes the carry out of word 2: 1 only for a difference of exactly 1,
// the fraction 9999..9999,10000 less an operand aligned to nothing.
void subtract_magnitudes(LongDecimal x, const LongDecimal& y, LongDecimal& r) {
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
  r[kLdOverflow] = carry;
}

// a + b for non-zero a and b.
LongDecimal add_nonzero(const LongDecimal& a, const LongDecimal& b) {
  // Align both on the larger exponent; the shifted operand loses its lowest words.
  LongDecimal x = a;
  LongDecimal y = b;
  LongDecimal r;
  ld_clear(r);
  if (a[kLdExponent] > b[kLdExponent]) {
    ld_shift_right(y, a[kLdExponent] - b[kLdExponent]);
    r[kLdExponent] = a[kLdExponent];
  } else {
    ld_shift_right(x, b[kLdExponent] - a[kLdExponent]);
    r[kLdExponent] = b[kLdExponent];
  }

  if (a[kLdSign] * b[kLdSign] > 0) {
    add_magnitudes(x, y, r);
    r[kLdSign] = a[kLdSign];
  } else {
    ld_order(x, y);
    subtract_magnitudes(x, y, r);
    r[kLdSign] = x[kLdSign];
  }
  // A carry into word 1 moves back down into the fraction.
  if (r[kLdOverflow] != 0) ld_shift_right(r, kLdDigitsPerWord);
  if (fraction_is_zero(r)) {
    ld_clear(r);
    return r;
  }
  ld_normalize(r);
  return r;
}

// a * b for non-zero a and b.
LongDecimal multiply_nonzero(const LongDecimal& a, const LongDecimal& b) {
  LongDecimalWide w;
  ld_clear_wide(w);
  w[kLdSign] = a[kLdSign] * b[kLdSign] > 0 ? 1 : -1;
  w[kLdWideExponent] = a[kLdExponent] + b[kLdExponent];

  // Schoolbook: word b[j+1] (j = 33..1) times words a[i+1] (i = 33..0); the
  // step with i = 0 takes the overflow word a[1] and leaves the final carry in
  // w[j+1]. The product fills words 2..67. What carries on from there is 0
  // unless both fractions are 9999..9999,10000, exactly 1: it goes into w[j],
  // which the next row sweeps and the last row leaves in word 1.
  for (int j = kLdLastDigit - 1; j >= 1; --j) {
    std::int32_t carry = 0;
    for (int i = kLdLastDigit - 1; i >= 0; --i) {
      const std::int32_t t = a[i + 1] * b[j + 1] + carry + w[i + j + 1];
      w[i + j + 1] = t % kLdBase;
      carry = t / kLdBase;
    }
    w[j] += carry;
  }
  if (w[kLdOverflow] != 0) {  // a product of 1 moves down into the fraction
    ld_shift_right_wide(w, kLdDigitsPerWord);
    w[kLdWideExponent] += kLdDigitsPerWord;
  }
  ld_normalize_wide(w);  // at most one leading zero word for normalised operands
  LongDecimal r;
  ld_narrow(w, r);
  return r;
}

// Index of the first non-zero word of w from word 1 on, or 68 if there is none.
int first_nonzero_word(const LongDecimalWide& w) {
  for (int f = kLdOverflow; f <= kLdWideLastDigit; ++f) {
    if (w[f] != 0) return f;
  }
  return kLdWidePastDigits;
}

// A quotient word that never exceeds the true one: three leading words of the
// remainder over three of the divisor plus one, truncated. Where the remainder
// has fewer than three words left (never met while it is at least the
// divisor) the estimate is 0.
std::int32_t estimate_quotient_word(const LongDecimalWide& x, const LongDecimalWide& y) {
  const int f = first_nonzero_word(x);
  if (f > kLdWideLastDigit - 1) return 0;
  const double num = static_cast<double>(x[f]) * kWordScale2 + static_cast<double>(x[f + 1]) * kWordScale1 +
                     static_cast<double>(x[f + 2]);
  const double den = static_cast<double>(y[f]) * kWordScale2 + static_cast<double>(y[f + 1]) * kWordScale1 +
                     static_cast<double>(y[f + 2]) + 1.0;
  return static_cast<std::int32_t>(num / den);
}

// q times the fraction of y, carries swept; the carry out of word 2 is dropped.
LongDecimalWide times_word(std::int32_t q, const LongDecimalWide& y) {
  LongDecimalWide p;
  ld_clear_wide(p);
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) p[w] = q * y[w];
  std::int32_t carry = 0;
  for (int w = kLdWideLastDigit; w >= kLdFirstDigit; --w) {
    const std::int32_t t = p[w] + carry;
    carry = t / kLdBase;
    p[w] = t % kLdBase;
  }
  return p;
}

// x / y for normalised x and y with sign words not 0.
LongDecimal divide_normalized(const LongDecimal& x, const LongDecimal& y) {
  LongDecimalWide q;  // quotient
  ld_clear_wide(q);
  LongDecimalWide rem;  // running remainder
  ld_clear_wide(rem);
  ld_widen(x, rem);
  LongDecimalWide div;  // divisor, moved one word down per quotient position
  ld_clear_wide(div);
  ld_widen(y, div);
  q[kLdSign] = x[kLdSign] * y[kLdSign];
  q[kLdWideExponent] = x[kLdExponent] - y[kLdExponent] + kLdDigitsPerWord;

  // Quotient word k+1 collects the digits found while the divisor sits at
  // position k; an estimate never overshoots, and each leftover divisor is
  // taken off one at a time before the divisor moves on.
  int k = 1;
  while (k <= kQuotientPositions) {
    if (ld_compare_wide(rem, div) == 1) {
      const std::int32_t est = estimate_quotient_word(rem, div);
      q[k + 1] += est;
      LongDecimalWide copy = rem;
      rem = ld_sub_wide(copy, times_word(est, div));
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
  LongDecimal r;
  ld_narrow(q, r);
  return r;
}

// The same value with a 10000 in word 34, which rounding may leave, carried
// into the words above. A carry out of word 2 moves the fraction one word down;
// the word that falls away is then 0.
void carry_last_word(LongDecimal& v) {
  if (v[kLdLastDigit] != kLdBase) return;
  v[kLdLastDigit] = 0;
  int w = kLdLastDigit - 1;
  while (w >= kLdFirstDigit && v[w] == ld_internal::kMaxDigit) v[w--] = 0;
  v[w] += 1;
  if (v[kLdOverflow] != 0) ld_shift_right(v, kLdDigitsPerWord);
}

[[noreturn]] void divide_by_zero() {
  textout::out_printf(stdout, "%s", kDivideByZeroMessage);
  std::fflush(stdout);
  std::abort();
}

}  // namespace

// ---------------------------------------------------------------- operations

LongDecimal ld_internal::add_by_words(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a)) return b;
  if (ld_is_zero(b)) return a;
  return add_nonzero(a, b);
}

LongDecimal ld_internal::multiply_by_words(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a) || ld_is_zero(b)) return LongDecimal{};
  return multiply_nonzero(a, b);
}

// The word recurrences compare remainder and divisor word by word, which
// compares their values only while every word is a digit: operands are first
// given their digits (carry_last_word) and normalised. A fraction without
// digits under a sign is the value zero.
LongDecimal ld_internal::divide_by_words(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(b) || fraction_is_zero(b)) divide_by_zero();
  if (ld_is_zero(a) || fraction_is_zero(a)) return LongDecimal{};
  LongDecimal x = a;
  LongDecimal y = b;
  carry_last_word(x);
  carry_last_word(y);
  ld_normalize(x);
  ld_normalize(y);
  return divide_normalized(x, y);
}

// ----------------------------------------------------------------- wide form

void ld_order(LongDecimal& x, LongDecimal& y) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (x[w] != y[w]) {
      if (x[w] < y[w]) x.swap(y);
      return;
    }
  }
}

void ld_widen(const LongDecimal& v, LongDecimalWide& w) {
  w[kLdSign] = v[kLdSign];
  for (int k = kLdOverflow; k <= kLdLastDigit; ++k) w[k] = v[k];
  for (int k = kLdLastDigit + 1; k <= kLdWidePastDigits; ++k) w[k] = 0;
  w[kLdWideExponent] = v[kLdExponent];  // word 69 is not written
}

void ld_narrow(const LongDecimalWide& w, LongDecimal& r) {
  for (int k = kLdSign; k <= kLdLastDigit; ++k) r[k] = w[k];
  r[kLdExponent] = w[kLdWideExponent];
  // Half up on one word, no carry: word 34 may become 10000.
  if (w[kLdLastDigit + 1] >= kRoundHalf) r[kLdLastDigit] += 1;
}

int ld_compare_wide(const LongDecimalWide& p, const LongDecimalWide& q) {
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) {
    if (p[w] != q[w]) return p[w] > q[w] ? 1 : -1;
  }
  return 1;
}

// A negative count shifts by nothing (callers pass d >= 0).
void ld_shift_right_wide(LongDecimalWide& w, int d) {
  const int q = d > 0 ? d / kLdDigitsPerWord : 0;
  for (int k = kLdWideLastDigit - 1; k >= 1; --k) {  // word k+1 for k = 66..1
    w[k + 1] = k >= q ? w[k + 1 - q] : 0;
  }
  w[kLdOverflow] = 0;
}

LongDecimalWide ld_sub_wide(LongDecimalWide& a, const LongDecimalWide& b) {
  // Same value, rewritten from its first non-zero word on so that no word
  // difference below that word is negative.
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit - 1; ++w) {
    if (a[w] > 0) {
      a[w] -= 1;
      a[w + 1] += kLdBase;
    }
  }
  LongDecimalWide d;
  ld_clear_wide(d);
  for (int w = kLdFirstDigit; w <= kLdWideLastDigit; ++w) d[w] = a[w] - b[w];
  std::int32_t carry = 0;
  for (int w = kLdWideLastDigit; w >= kLdFirstDigit; --w) {
    const std::int32_t t = d[w] + carry;
    carry = t / kLdBase;
    d[w] = t % kLdBase;  // the carry out of word 2 is dropped
  }
  return d;
}
