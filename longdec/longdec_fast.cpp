// Fast paths of the long decimal arithmetic (longdec_fast.h): the exact sum,
// product and quotient in packed base-10^8 digits, over the digits in use only.
// On the operands each accepts, the word path's recurrences are exact, so its
// words are those of the exact result, which the fast path forms; each says why.
//
//   packed digits  pack, unpack, packed_length, floor_div, carry_packed,
//                  packed_below, place_words
//   sums           packed_sum, packed_difference, compare_packed, finish_total
//   quotients      long_divide, correct_last_digit, quotient_rounds_up
//   fast paths     add_exact, multiply_exact, divide_exact
//
// Every working variable is a local: the operations are re-entrant.
#include "longdec/longdec_fast.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "longdec/longdec_wordwise.h"

namespace {

using ld_internal::fraction_is_zero;
using ld_internal::kRoundHalf;

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
// Long division: the dividend's 17 digits and 17 zeros below them, 18 quotient digits.
constexpr int kRemainderDigits = 2 * kPackedDigits;
constexpr int kQuotientDigits = kPackedDigits + 1;

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

// A sum or difference of two packed fractions, carried: digits 1..16 in
// 0..10^8-1, digit 0 (word 2) in 0..9999, and what carried out of word 2.
struct PackedTotal {
  std::array<std::int32_t, kPackedDigits> digit;
  std::int32_t overflow;
};

// u + v. Totals reach 2 * 10^8 only when both words 34 are 10000 (and then carry 2).
PackedTotal packed_sum(const Packed& u, const Packed& v) {
  constexpr auto base = static_cast<std::int32_t>(kPackedBase);
  PackedTotal s;
  std::int32_t carry = 0;
  for (int i = kPackedDigits - 1; i > 0; --i) {
    const std::int32_t t = static_cast<std::int32_t>(u[i] + v[i]) + carry;
    carry = static_cast<std::int32_t>(t >= base) + static_cast<std::int32_t>(t >= 2 * base);
    s.digit[i] = t - carry * base;
  }
  const std::int32_t t = static_cast<std::int32_t>(u[0] + v[0]) + carry;  // word 2
  s.overflow = static_cast<std::int32_t>(t >= kLdBase) + static_cast<std::int32_t>(t >= 2 * kLdBase);
  s.digit[0] = t - s.overflow * kLdBase;
  return s;
}

// larger - smaller, for larger above smaller by compare_packed. Digit
// differences lie in -10^8..10^8, so each total does too and its carry is -1,
// 0 or 1. Word 2 ends at most at 10000: a difference of exactly 1 (the
// fraction 9999..9999,10000 less an operand aligned to nothing) carries out.
PackedTotal packed_difference(const Packed& larger, const Packed& smaller) {
  constexpr auto base = static_cast<std::int32_t>(kPackedBase);
  PackedTotal d;
  std::int32_t carry = 0;
  for (int i = kPackedDigits - 1; i > 0; --i) {
    const std::int32_t t = static_cast<std::int32_t>(larger[i]) - static_cast<std::int32_t>(smaller[i]) + carry;
    carry = static_cast<std::int32_t>(t >= base) - static_cast<std::int32_t>(t < 0);
    d.digit[i] = t - carry * base;
  }
  const std::int32_t t = static_cast<std::int32_t>(larger[0]) - static_cast<std::int32_t>(smaller[0]) + carry;
  d.overflow = static_cast<std::int32_t>(t >= kLdBase);
  d.digit[0] = t - d.overflow * kLdBase;
  return d;
}

// 1, 0 or -1 as u is above, equal to or below v at their first differing digit.
int compare_packed(const Packed& u, const Packed& v) {
  for (int i = 0; i < kPackedDigits; ++i) {
    if (u[i] != v[i]) return u[i] > v[i] ? 1 : -1;
  }
  return 0;
}

// The record of a total: a carry out of word 2 moves back down into the
// fraction (the lowest word falls away), a zero fraction gives the zero record
// and leading zero words are removed. Inlined into each of its three calls:
// it runs on every addition the solvers make.
[[gnu::always_inline]] inline LongDecimal finish_total(const PackedTotal& total, int sign, int exponent) {
  LongDecimal r{};
  unpack(total.digit, r);
  r[kLdExponent] = exponent;
  if (total.overflow != 0) {
    r[kLdOverflow] = total.overflow;
    ld_shift_right(r, kLdDigitsPerWord);
  }
  if (r[kLdFirstDigit] == 0) {
    if (fraction_is_zero(r)) return LongDecimal{};
    ld_normalize(r);
  }
  r[kLdSign] = sign;
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

// Quotient digits p = 0..17 of floor(X * 10^8^17 / Y) for packed fractions X
// and Y: digit 0 is q1, digit p > 0 holds the words q2p, q2p+1. The working
// remainder ends as R, 0 <= R < Y, in its 17 lower digits.
struct PackedQuotient {
  std::array<std::int64_t, kQuotientDigits> digit;
  std::array<std::int64_t, kRemainderDigits> rem;

  std::span<std::int64_t, kPackedDigits> remainder() { return std::span(rem).last<kPackedDigits>(); }
  std::span<const std::int64_t, kPackedDigits> remainder() const { return std::span(rem).last<kPackedDigits>(); }
};

// Schoolbook division with an estimate from the leading digits: the estimate
// may be one off either way, the remainder then goes slightly negative or
// stays above the divisor, and the next digit makes up for it; digits are
// carried and the last one corrected at the end. The estimate, from three
// digits of each side, lies within 1.01 of the running remainder over Y, which
// therefore stays within (-2Y, 2Y), and the packed digits stay well below 10^18.
PackedQuotient long_divide(const Packed& px, const Packed& py) {
  const int ny = packed_length(py);
  // rem: X * 10^8^17 in 34 packed digits; digit p is taken with the divisor's
  // leading digit at rem[p].
  PackedQuotient q{};
  std::array<std::int64_t, kRemainderDigits>& rem = q.rem;
  std::copy(px.begin(), px.end(), rem.begin());
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
    const auto d = static_cast<std::int64_t>(lead * divisor_inverse);
    q.digit[p] = d;
    // Multiply and subtract, without carries: the window, the digit that
    // enters it next, and the digits below.
    lead0 -= d * std::int64_t{py[0]};
    lead1 -= d * std::int64_t{py[1]};
    lead2 -= d * std::int64_t{py[2]};
    const std::int64_t entering = rem[p + 3] - d * std::int64_t{py[3]};
    for (int i = 3; i < ny; ++i) rem[p + i] -= d * std::int64_t{py[i]};
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

  correct_last_digit(q.remainder(), py, q.digit[kQuotientDigits - 1]);
  carry_packed(q.digit);  // q1 < 10000 since X < 10000 * Y
  return q;
}

}  // namespace

// ---------------------------------------------------------------- fast paths

// a + b for non-zero a and b whose words are in range, word 34 up to 10000.
// With such operands the word path is exact: the sum sweeps non-negative
// totals, and after the pre-borrow of the difference every total below word 2
// is non-negative and the one of word 2 is the exact leading digit, so both
// leave the unique digits 0..9999 of the exact sum or difference of the
// aligned fractions. Ordering by the first differing word may call equal
// values different (..c+1,0..0 against ..c,9999..9999,10000), whose difference
// is zero either way. Here the same digits come from one carry sweep over
// packed digits (each at most 10^8, the last pair holding 10000).
LongDecimal ld_internal::add_exact(const LongDecimal& a, const LongDecimal& b) {
  // Align on the larger exponent: the other operand moves down, losing its lowest words.
  const bool a_leads = a[kLdExponent] > b[kLdExponent];
  const LongDecimal& lead = a_leads ? a : b;
  const LongDecimal& other = a_leads ? b : a;
  const int exponent = lead[kLdExponent];
  const Packed u = pack(lead);
  const Packed v = pack(other, (exponent - other[kLdExponent]) / kLdDigitsPerWord);

  if (a[kLdSign] * b[kLdSign] > 0) return finish_total(packed_sum(u, v), a[kLdSign], exponent);
  // Opposite signs: the larger magnitude gives the sign; equal ones cancel.
  const int order = compare_packed(u, v);
  if (order == 0) return LongDecimal{};
  if (order > 0) return finish_total(packed_difference(u, v), lead[kLdSign], exponent);
  return finish_total(packed_difference(v, u), other[kLdSign], exponent);
}

// a * b for non-zero a and b whose words are in range, word 34 up to 10000 in
// at most one of them. Then one fraction is below 1 and the other at most 1, so
// every partial sum of the word path fits its words, the carry it drops is 0,
// and its 66 words are the exact product's digits. Here the product is formed
// in packed digits over the non-zero ones only, then cut into words.
LongDecimal ld_internal::multiply_exact(const LongDecimal& a, const LongDecimal& b) {
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

// x / y for normalised x and y with sign words not 0, words in range (word
// 34 below 10000) and non-zero fractions. With such operands every comparison
// of the word path compares values and every subtraction is exact, so its
// quotient words are the digits q1..q34 of floor(X * 10000^33 / Y), X and Y
// the fractions as integers, and the 35th is the digit described at
// quotient_rounds_up. Here they come from long_divide.
LongDecimal ld_internal::divide_exact(const LongDecimal& x, const LongDecimal& y) {
  const Packed py = pack(y);
  const PackedQuotient q = long_divide(pack(x), py);

  // As the word path: with q1 = 0 the words move up one place and the 35th
  // becomes the rounding word. words: digit 0 (q1), digits 1..17 (q2..q35), 0.
  std::array<std::uint32_t, kQuotientDigits + 1> words{};
  std::copy(q.digit.begin(), q.digit.end(), words.begin());
  LongDecimal r{};
  r[kLdSign] = x[kLdSign] * y[kLdSign];
  r[kLdExponent] = x[kLdExponent] - y[kLdExponent] + kLdDigitsPerWord;
  bool round_up = false;
  if (q.digit[0] != 0) {
    round_up = place_words(std::span(words).first<kQuotientDigits>(), false, r) >= kRoundHalf;  // q34
  } else {
    const std::int32_t q35 = place_words(std::span(words).subspan<1, kQuotientDigits>(), true, r);
    r[kLdExponent] -= kLdDigitsPerWord;
    round_up = q35 >= kRoundHalf || (q35 == kRoundHalf - 1 && quotient_rounds_up(q.remainder(), py, y[kLdLastDigit]));
  }
  if (round_up) r[kLdLastDigit] += 1;
  return r;
}
