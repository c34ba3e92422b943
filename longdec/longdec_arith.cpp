// LongDecimal arithmetic: addition (which also subtracts), multiplication and
// division, on base-10000 digit words with carries swept from the least
// significant word up. Additions truncate what alignment shifts out;
// multiplication and division round once, on the first word they drop.
//
// Every operation has two paths that yield the same words:
//  - the word path follows the digit recurrences literally on whole records
//    and accepts any record;
//  - the fast path computes the exact result with integer arithmetic on
//    packed base-10^8 digits, over the digits in use only. It is taken when
//    the operands' words lie in range (word 1 zero, words 2..33 in 0..9999,
//    word 34 in 0..9999 or, where stated, 10000). On such operands the word
//    recurrences are exact, so their words are those of the exact result,
//    which the fast path forms; each fast path says why.
// Every record the operations make is in range. The word paths serve a
// divisor or dividend whose word 34 holds the 10000 that rounding may leave,
// two such factors of one product, a dividend with a zero fraction under a
// non-zero sign, and records made by hand. A copy of the plain word-by-word
// operations is kept with the tests, which compare the two on millions of
// operands.
//
//   operations     ld_add, ld_mul, ld_div
//   operand tests  digits_in_range, fraction_is_zero
//   word paths     add_by_words (add_magnitudes, subtract_magnitudes),
//                  multiply_by_words,
//                  divide_by_words (first_nonzero_word, estimate_quotient_word,
//                  times_word)
//   packed digits  pack, unpack, packed_length, floor_div, carry_packed,
//                  packed_below, place_words
//   fast paths     add_exact, multiply_exact,
//                  divide_exact (correct_last_digit, quotient_rounds_up)
//   wide form      ld_order, ld_widen, ld_narrow, ld_compare_wide,
//                  ld_shift_right_wide, ld_sub_wide
//   failure        divide_by_zero
//
// Integer / and % are C's: truncation toward zero, remainder with the sign of
// the dividend. Every working variable is a local: the operations are re-entrant.
#include "longdec/longdec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "textout/textout.h"

namespace {

// The one abnormal end of the program.
constexpr const char* kDivideByZeroMessage = "Divide by null in Divide";

// Narrowing rounds the last kept word up when the first dropped word reaches this.
constexpr std::int32_t kRoundHalf = 5000;

// Largest digit of a word in range; word 34 may also hold kLdBase after rounding.
constexpr std::int32_t kMaxDigit = kLdBase - 1;

// Scales of the three leading words in the quotient-digit estimate of the word path.
constexpr double kWordScale1 = 1e4;
constexpr double kWordScale2 = 1e8;

// Division builds quotient words 2..36 (35 words), one position per k = 1..35.
constexpr int kQuotientPositions = 35;
// Word 68 of the wide form: the first index past the fraction.
constexpr int kLdWidePastDigits = kLdWideLastDigit + 1;

// Packed form of a fraction for the fast paths: word 2 alone, then the word
// pairs (3,4), (5,6) .. (33,34), each pair one digit in base 10^8. As integers
// the fraction and its packed digits are the same number.
constexpr int kPackedDigits = 17;
constexpr std::int64_t kPackedBase = std::int64_t{kLdBase} * kLdBase;
constexpr double kPackedScale = 1e8;
constexpr double kPackedInverse = 1e-8;
// Added before an unsigned division so that it rounds toward minus infinity:
// a multiple of 10^8 above the magnitude of every packed digit and carry the
// division meets (below 10^18).
constexpr std::uint64_t kFloorOffset = 40000000000ULL * static_cast<std::uint64_t>(kPackedBase);
using Packed = std::array<std::uint32_t, kPackedDigits>;

// ------------------------------------------------------------ operand tests

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

bool fraction_is_zero(const LongDecimal& r) {
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (r[w] != 0) return false;
  }
  return true;
}

// ---------------------------------------------------------------- word paths

// x and y share their exponent; r receives |x| + |y| in words 1..34, with
// a carry into word 1 shifted back down into the fraction.
void add_magnitudes(const LongDecimal& x, const LongDecimal& y, LongDecimal& r) {
  std::int32_t carry = 0;
  for (int w = kLdLastDigit; w >= kLdOverflow; --w) {
    const std::int32_t t = x[w] + y[w] + carry;
    r[w] = t % kLdBase;
    carry = t / kLdBase;  // the carry out of word 1 is 0 for finished operands
  }
  if (r[kLdOverflow] != 0) ld_shift_right(r, kLdDigitsPerWord);
}

// x and y share their exponent and |x| >= |y|; r receives |x| - |y| in words
// 2..34. x is first rewritten to the same value with word 2 lowered by one and
// every lower word raised, so that no word difference below word 2 is negative.
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
    carry = t / kLdBase;  // the carry out of word 2 is dropped
  }
}

// a + b for non-zero a and b, any words.
LongDecimal add_by_words(const LongDecimal& a, const LongDecimal& b) {
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
    if (fraction_is_zero(r)) {
      ld_clear(r);
      return r;
    }
    ld_normalize(r);
    r[kLdSign] = x[kLdSign];
  }

  if (fraction_is_zero(r)) ld_clear(r);
  return r;
}

// a * b for non-zero a and b, any words.
LongDecimal multiply_by_words(const LongDecimal& a, const LongDecimal& b) {
  LongDecimalWide w;
  ld_clear_wide(w);
  w[kLdSign] = a[kLdSign] * b[kLdSign] > 0 ? 1 : -1;
  w[kLdWideExponent] = a[kLdExponent] + b[kLdExponent];

  // Schoolbook: word b[j+1] (j = 33..1) times words a[i+1] (i = 33..0); the
  // step with i = 0 takes the overflow word a[1] and leaves the final carry in
  // w[j+1]. The product fills words 2..67.
  for (int j = kLdLastDigit - 1; j >= 1; --j) {
    std::int32_t carry = 0;
    for (int i = kLdLastDigit - 1; i >= 0; --i) {
      const std::int32_t t = a[i + 1] * b[j + 1] + carry + w[i + j + 1];
      w[i + j + 1] = t % kLdBase;
      carry = t / kLdBase;
    }
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
  const double num = static_cast<double>(x[f]) * kWordScale2 +
                     static_cast<double>(x[f + 1]) * kWordScale1 + static_cast<double>(x[f + 2]);
  const double den = static_cast<double>(y[f]) * kWordScale2 +
                     static_cast<double>(y[f + 1]) * kWordScale1 + static_cast<double>(y[f + 2]) + 1.0;
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

// x / y for normalised x and y with sign words not 0, any words.
LongDecimal divide_by_words(const LongDecimal& x, const LongDecimal& y) {
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

// ------------------------------------------------------------ packed digits

// The packed digits of v's fraction moved down by shift >= 0 words, as
// ld_shift_right moves them: words moved past word 34 fall away, and word 1,
// which must be 0, moves in above the fraction. Digit i is made of words
// 2i+1 and 2i+2 after the move (word 1 and word 2 for i = 0).
Packed pack(const LongDecimal& v, int shift = 0) {
  Packed p{};
  const int first = std::min(kPackedDigits, shift / 2 + shift % 2);  // digits above it are 0
  for (int i = first; i < kPackedDigits; ++i) {
    p[i] = static_cast<std::uint32_t>(v[2 * i + 1 - shift] * kLdBase + v[2 * i + 2 - shift]);
  }
  return p;
}

// Words 2..34 of r from packed digits 0..16, each in 0..10^8-1 (digit 0 below 10000).
void unpack(const std::array<std::int32_t, kPackedDigits>& p, LongDecimal& r) {
  r[kLdFirstDigit] = p[0];
  for (int i = 1; i < kPackedDigits; ++i) {
    r[2 * i + 1] = p[i] / kLdBase;
    r[2 * i + 2] = p[i] % kLdBase;
  }
}

// Number of packed digits up to the last non-zero one; the rest add nothing.
int packed_length(const Packed& p) {
  int n = kPackedDigits;
  while (n > 0 && p[n - 1] == 0) --n;
  return n;
}

// t / 10^8 rounded toward minus infinity, for |t| below 4 * 10^18.
std::int64_t floor_div(std::int64_t t) {
  constexpr std::uint64_t base = kPackedBase;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t) + kFloorOffset) / base - kFloorOffset / base);
}

// Brings digits 1.. of a packed number to 0..10^8-1 by carries from the
// lowest up; digit 0 takes what remains and carries the sign.
void carry_packed(std::span<std::int64_t> n) {
  for (std::size_t i = n.size() - 1; i > 0; --i) {
    const std::int64_t c = floor_div(n[i]);
    n[i] -= c * kPackedBase;
    n[i - 1] += c;
  }
}

// n < y for n as left by carry_packed and y of the same length.
bool packed_below(std::span<const std::int64_t> n, const Packed& y) {
  for (std::size_t i = 0; i < n.size(); ++i) {
    if (n[i] != y[i]) return n[i] < y[i];
  }
  return false;
}

// A result's words from 18 packed digits read as one string of words, from
// the high word of digit 0 (high_first) or from its low word: words 2..34 of
// r, and the returned next word, the first one dropped.
std::int32_t place_words(std::span<const std::uint32_t, kPackedDigits + 1> d, bool high_first, LongDecimal& r) {
  const auto high = [d](int k) { return static_cast<std::int32_t>(d[k] / kLdBase); };
  const auto low = [d](int k) { return static_cast<std::int32_t>(d[k] % kLdBase); };
  if (high_first) {
    for (int j = 0; j < kPackedDigits - 1; ++j) {
      r[2 * j + 2] = high(j);
      r[2 * j + 3] = low(j);
    }
    r[kLdLastDigit] = high(kPackedDigits - 1);
    return low(kPackedDigits - 1);
  }
  r[kLdFirstDigit] = low(0);
  for (int j = 1; j < kPackedDigits; ++j) {
    r[2 * j + 1] = high(j);
    r[2 * j + 2] = low(j);
  }
  return high(kPackedDigits);
}

// ---------------------------------------------------------------- fast paths

// a + b for non-zero a and b whose words are in range, word 34 up to 10000.
// With such operands the word path is exact: the sum sweeps non-negative
// totals, and after the pre-borrow of the difference every total below word 2
// is non-negative and the one of word 2 is the exact leading digit, so both
// leave the unique digits 0..9999 of the exact sum or difference of the
// aligned fractions. Two edges: ordering by the first differing word may call
// equal values different (..c+1,0..0 against ..c,9999..9999,10000), whose
// difference is zero either way; and the one difference of exactly 1 (the
// fraction 9999..9999,10000 less an operand aligned to nothing) loses its
// leading word with the carry out of word 2. Here the same digits come from
// one carry sweep over packed digits (each at most 10^8, the last pair
// holding 10000).
LongDecimal add_exact(const LongDecimal& a, const LongDecimal& b) {
  // Align on the larger exponent: the other operand moves down, losing its lowest words.
  const bool a_leads = a[kLdExponent] > b[kLdExponent];
  const LongDecimal& lead = a_leads ? a : b;
  const LongDecimal& other = a_leads ? b : a;
  const int gap = lead[kLdExponent] - other[kLdExponent];
  const Packed u = pack(lead);
  const Packed v = pack(other, gap > 0 ? gap / kLdDigitsPerWord : 0);
  constexpr auto base = static_cast<std::int32_t>(kPackedBase);

  LongDecimal r{};
  r[kLdExponent] = lead[kLdExponent];
  std::array<std::int32_t, kPackedDigits> digit;
  if (a[kLdSign] * b[kLdSign] > 0) {
    // Totals reach 2 * 10^8 only when both words 34 are 10000 (and then carry 2).
    std::int32_t carry = 0;
    for (int i = kPackedDigits - 1; i > 0; --i) {
      const std::int32_t t = static_cast<std::int32_t>(u[i] + v[i]) + carry;
      carry = static_cast<std::int32_t>(t >= base) + static_cast<std::int32_t>(t >= 2 * base);
      digit[i] = t - carry * base;
    }
    const std::int32_t t = static_cast<std::int32_t>(u[0] + v[0]) + carry;  // word 2
    const std::int32_t overflow = static_cast<std::int32_t>(t >= kLdBase) + static_cast<std::int32_t>(t >= 2 * kLdBase);
    digit[0] = t - overflow * kLdBase;
    unpack(digit, r);
    r[kLdSign] = a[kLdSign];
    if (overflow != 0) {  // into word 1, then back down into the fraction
      r[kLdOverflow] = overflow;
      ld_shift_right(r, kLdDigitsPerWord);
    }
  } else {
    int i = 0;
    while (i < kPackedDigits && u[i] == v[i]) ++i;
    if (i == kPackedDigits) return LongDecimal{};
    const bool lead_larger = u[i] > v[i];
    const Packed& larger = lead_larger ? u : v;
    const Packed& smaller = lead_larger ? v : u;
    // Differences lie in -10^8..10^8, so each total does too and its carry is -1, 0 or 1.
    std::int32_t carry = 0;
    for (int k = kPackedDigits - 1; k > 0; --k) {
      const std::int32_t t = static_cast<std::int32_t>(larger[k]) - static_cast<std::int32_t>(smaller[k]) + carry;
      carry = static_cast<std::int32_t>(t >= base) - static_cast<std::int32_t>(t < 0);
      digit[k] = t - carry * base;
    }
    // Word 2, at most 10000 (a difference of 1), whose carry is dropped.
    digit[0] = (static_cast<std::int32_t>(larger[0]) - static_cast<std::int32_t>(smaller[0]) + carry) % kLdBase;
    unpack(digit, r);
    if (r[kLdFirstDigit] == 0) {
      if (fraction_is_zero(r)) return LongDecimal{};
      ld_normalize(r);
    }
    r[kLdSign] = (lead_larger ? lead : other)[kLdSign];
  }

  if (fraction_is_zero(r)) r = LongDecimal{};
  return r;
}

// a * b for non-zero a and b whose words are in range, word 34 up to 10000 in
// at most one of them. Then one fraction is below 1 and the other at most 1, so
// every partial sum of the word path fits its words, the carry it drops is 0,
// and its 66 words are the exact product's digits. Here the product is formed
// in packed digits over the non-zero ones only, then cut into words.
LongDecimal multiply_exact(const LongDecimal& a, const LongDecimal& b) {
  const Packed pa = pack(a);
  const Packed pb = pack(b);
  const int na = packed_length(pa);
  const int nb = packed_length(pb);

  // Column c has weight 10^8^(32-c) and holds words 2c+2, 2c+3 of the wide
  // product; a column sums at most 17 products below 10^16.
  constexpr int kColumns = 2 * kPackedDigits - 1;
  const int last_column = na + nb - 2;  // -1 when a fraction is all zero
  std::array<std::uint64_t, kColumns> column;
  std::fill_n(column.begin(), last_column + 1, 0);
  for (int i = 0; i < na; ++i) {
    for (int j = 0; j < nb; ++j) column[i + j] += std::uint64_t{pa[i]} * pb[j];
  }
  std::uint64_t carry = 0;
  for (int c = last_column; c >= 0; --c) {
    const std::uint64_t t = column[c] + carry;
    column[c] = t % kPackedBase;
    carry = t / kPackedBase;  // 0 out of column 0: the product is below 1
  }

  LongDecimal r{};
  r[kLdSign] = a[kLdSign] * b[kLdSign] > 0 ? 1 : -1;
  r[kLdExponent] = a[kLdExponent] + b[kLdExponent];
  int lead = 0;  // first non-zero column; an all-zero product is not shifted
  while (lead <= last_column && column[lead] == 0) ++lead;
  if (lead > last_column) return r;

  // Normalising: the words from the first non-zero one on, the high or the low
  // half of the lead column, become words 2..34 and the rounding word. The
  // columns past the last are 0, as normalising the wide form shifts zeros in.
  std::array<std::uint32_t, kPackedDigits + 1> top{};  // columns lead..lead+17
  for (int k = 0; k <= std::min(kPackedDigits, last_column - lead); ++k) {
    top[k] = static_cast<std::uint32_t>(column[lead + k]);
  }
  const bool high_first = top[0] >= static_cast<std::uint32_t>(kLdBase);
  const std::int32_t next_word = place_words(top, high_first, r);
  r[kLdExponent] -= kLdDigitsPerWord * (high_first ? 2 * lead : 2 * lead + 1);
  if (next_word >= kRoundHalf) r[kLdLastDigit] += 1;
  return r;
}

// Correction after the last quotient digit: carries the remainder R to digits
// 0..10^8-1 and brings it into 0 <= R < Y, moving the last digit by the
// divisors added or taken off.
void correct_last_digit(std::span<std::int64_t, kPackedDigits> rem, const Packed& y, std::int64_t& last_digit) {
  carry_packed(rem);
  while (rem[0] < 0) {
    for (int i = 0; i < kPackedDigits; ++i) rem[i] += y[i];
    carry_packed(rem);
    --last_digit;
  }
  while (!packed_below(rem, y)) {
    for (int i = 0; i < kPackedDigits; ++i) rem[i] -= y[i];
    carry_packed(rem);
    ++last_digit;
  }
}

// Whether the word path's 35th quotient word reaches 5000 when its 34th word
// is 4999. At position 35 the word path's divisor has lost its last word y34
// (it is shifted past word 67), so it divides the remainder R' of 34 words by
// the truncated divisor Y' = (Y - y34) / 10000. That word is the 35th word of
// the exact quotient, 4999 here, or one more exactly when R' >= 5000 * Y',
// that is when Y - R <= 5000 * y34 for the remainder R of 35 exact words.
// rem holds R as left by carry_packed, 0 <= R < Y.
bool quotient_rounds_up(std::span<const std::int64_t> rem, const Packed& y, std::int32_t y34) {
  std::array<std::int64_t, kPackedDigits> gap;  // Y - R > 0
  for (int i = 0; i < kPackedDigits; ++i) gap[i] = std::int64_t{y[i]} - rem[i];
  carry_packed(gap);
  const std::int64_t limit = std::int64_t{kRoundHalf} * y34;  // below 10^8: one packed digit
  for (int i = 0; i < kPackedDigits - 1; ++i) {
    if (gap[i] != 0) return false;
  }
  return gap[kPackedDigits - 1] <= limit;
}

// x / y for normalised x and y with sign words not 0, words in range (word
// 34 below 10000) and non-zero fractions. With such operands every comparison
// of the word path compares values and every subtraction is exact, so its
// quotient words are the digits q1..q34 of floor(X * 10000^33 / Y), X and Y
// the fractions as integers, and the 35th is the digit described at
// quotient_rounds_up. Here the quotient is found in packed digits by schoolbook
// division with an estimate from the leading digits: the estimate may be one
// off either way, the remainder then goes slightly negative or stays above the
// divisor, and the next digit makes up for it; digits are carried and the last
// one corrected at the end. The estimate, from three digits of each side,
// lies within 1.01 of the running remainder over Y, which therefore stays
// within (-2Y, 2Y), and the packed digits stay well below 10^18.
LongDecimal divide_exact(const LongDecimal& x, const LongDecimal& y) {
  const Packed px = pack(x);
  const Packed py = pack(y);
  const int ny = packed_length(py);

  // rem: X * 10^8^17 in 34 packed digits; quotient digit p (0..17) is taken
  // with the divisor's leading digit at rem[p]. Digit 0 is q1, digit p > 0
  // holds the words q2p, q2p+1.
  constexpr int kRemainderDigits = 2 * kPackedDigits;
  constexpr int kQuotientDigits = kPackedDigits + 1;
  std::array<std::int64_t, kRemainderDigits> rem{};
  std::copy(px.begin(), px.end(), rem.begin());
  std::array<std::int64_t, kQuotientDigits> digit{};
  const double divisor_lead = static_cast<double>(py[0]) * kPackedScale + static_cast<double>(py[1]) +
                              static_cast<double>(py[2]) * kPackedInverse;
  const double divisor_inverse = 1.0 / divisor_lead;

  // The remainder's three leading digits, on which each estimate waits, are
  // kept in locals (the window); rem holds the digits below them.
  std::int64_t lead0 = rem[0];
  std::int64_t lead1 = rem[1];
  std::int64_t lead2 = rem[2];
  for (int p = 0; p < kQuotientDigits; ++p) {
    // Estimate from three leading digits each, truncated.
    const double lead = static_cast<double>(lead0) * kPackedScale + static_cast<double>(lead1) +
                        static_cast<double>(lead2) * kPackedInverse;
    const std::int64_t q = static_cast<std::int64_t>(lead * divisor_inverse);
    digit[p] = q;
    // Multiply and subtract, without carries: the window, the digit that
    // enters it next, and the digits below.
    lead0 -= q * std::int64_t{py[0]};
    lead1 -= q * std::int64_t{py[1]};
    lead2 -= q * std::int64_t{py[2]};
    const std::int64_t entering = rem[p + 3] - q * std::int64_t{py[3]};
    for (int i = 3; i < ny; ++i) rem[p + i] -= q * std::int64_t{py[i]};
    if (p + 1 == kQuotientDigits) {
      rem[p] = lead0;
      rem[p + 1] = lead1;
      rem[p + 2] = lead2;
      break;
    }
    // Shift: the divisor moves one digit down, the leading digit folds into the next.
    lead0 = lead0 * kPackedBase + lead1;
    lead1 = lead2;
    lead2 = entering;
  }

  const std::span<std::int64_t, kPackedDigits> remainder(rem.begin() + kPackedDigits, kPackedDigits);
  correct_last_digit(remainder, py, digit[kQuotientDigits - 1]);
  carry_packed(digit);  // q1 < 10000 since X < 10000 * Y

  // As the word path: with q1 = 0 the words move up one place and the 35th
  // becomes the rounding word. words: digit 0 (q1), digits 1..17 (q2..q35), 0.
  std::array<std::uint32_t, kQuotientDigits + 1> words{};
  std::copy(digit.begin(), digit.end(), words.begin());
  LongDecimal r{};
  r[kLdSign] = x[kLdSign] * y[kLdSign];
  r[kLdExponent] = x[kLdExponent] - y[kLdExponent] + kLdDigitsPerWord;
  bool round_up = false;
  if (digit[0] != 0) {
    round_up = place_words(std::span(words).first<kQuotientDigits>(), false, r) >= kRoundHalf;  // q34
  } else {
    const std::int32_t q35 = place_words(std::span(words).subspan<1, kQuotientDigits>(), true, r);
    r[kLdExponent] -= kLdDigitsPerWord;
    round_up = q35 >= kRoundHalf || (q35 == kRoundHalf - 1 && quotient_rounds_up(remainder, py, y[kLdLastDigit]));
  }
  if (round_up) r[kLdLastDigit] += 1;
  return r;
}

[[noreturn]] void divide_by_zero() {
  textout::out_printf(stdout, "%s", kDivideByZeroMessage);
  std::fflush(stdout);
  std::abort();
}

}  // namespace

// ---------------------------------------------------------------- operations

LongDecimal ld_add(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a)) return b;
  if (ld_is_zero(b)) return a;
  if (digits_in_range(a, kLdBase) && digits_in_range(b, kLdBase)) return add_exact(a, b);
  return add_by_words(a, b);
}

LongDecimal ld_mul(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(a) || ld_is_zero(b)) return LongDecimal{};
  const bool both_last_full = a[kLdLastDigit] == kLdBase && b[kLdLastDigit] == kLdBase;
  if (!both_last_full && digits_in_range(a, kLdBase) && digits_in_range(b, kLdBase)) return multiply_exact(a, b);
  return multiply_by_words(a, b);
}

LongDecimal ld_div(const LongDecimal& a, const LongDecimal& b) {
  if (ld_is_zero(b)) divide_by_zero();
  if (ld_is_zero(a)) return LongDecimal{};
  // Normalising a fraction that starts with a non-zero word changes nothing.
  LongDecimal x = a;
  LongDecimal y = b;
  if (x[kLdFirstDigit] == 0) ld_normalize(x);
  if (y[kLdFirstDigit] == 0) ld_normalize(y);
  if (x[kLdFirstDigit] != 0 && y[kLdFirstDigit] != 0 && digits_in_range(x, kMaxDigit) &&
      digits_in_range(y, kMaxDigit)) {
    return divide_exact(x, y);
  }
  return divide_by_words(x, y);
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
