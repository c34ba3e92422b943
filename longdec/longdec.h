/// @file
/// LongDecimal: the multiple-precision decimal number of the linear solvers.
///
/// Record (36 signed 32-bit words, a plain value copied whole):
///   word 0        sign: +1 / -1, 0 for the value zero
///   word 1        overflow word, weight 10000^0
///   words 2..34   33 base-10000 fraction digits, most significant first;
///                 word k+1 has weight 10000^-k
///   word 35       decimal exponent e
/// value = sign * sum(word[k+1] * 10000^-k) * 10^e.
///
/// Every record an operation or conversion returns is finished:
///   - zero is all 36 words 0, and a non-zero sign comes only with digits;
///   - word 1 is 0; word 2 is 1..9999 (normalised by whole words, so 0.0012 is
///     word 2 = 12 at e = 0); words 3..33 are 0..9999;
///   - word 34 is 0..9999, or 10000 where a product or quotient rounded into it
///     without carrying on (one unit of word 33); every operation accepts that,
///     and the conversion to double does not read word 34;
///   - e is a multiple of 4, so that every shift is by whole words.
///
/// LongDecimalWide (71 words) is the double-length form used inside
/// multiplication and division: sign 0, overflow 1, fraction 2..67, exponent 70.
///
/// Operations never allocate and keep no state outside their arguments.
///
///   record and conversions (longdec.cpp)
///     ld_clear, ld_clear_wide, ld_split_double, ld_from_double, ld_to_double,
///     ld_normalize, ld_normalize_wide, ld_shift_right
///   arithmetic (longdec_arith.cpp, choosing between the packed fast paths of
///   longdec_fast.cpp and the word-by-word paths of longdec_wordwise.cpp)
///     ld_add, ld_mul, ld_div
///   wide form (longdec_wordwise.cpp)
///     ld_order, ld_widen, ld_narrow, ld_compare_wide, ld_shift_right_wide,
///     ld_sub_wide
#pragma once

#include <array>
#include <cstdint>

/// The long decimal number; its record is described at the head of longdec.h.
using LongDecimal = std::array<std::int32_t, 36>;
/// The double-length form inside multiplication and division.
using LongDecimalWide = std::array<std::int32_t, 71>;

// Word positions.
inline constexpr int kLdSign = 0;            ///< word of the sign: +1, -1, or 0 for zero
inline constexpr int kLdOverflow = 1;        ///< word of the carry out of the fraction
inline constexpr int kLdFirstDigit = 2;      ///< word of the most significant fraction digit
inline constexpr int kLdLastDigit = 34;      ///< 33 fraction digits: words 2..34
inline constexpr int kLdExponent = 35;       ///< word of the decimal exponent
inline constexpr int kLdWideLastDigit = 67;  ///< 66 fraction digits: words 2..67
inline constexpr int kLdWideExponent = 70;   ///< word of the wide form's decimal exponent

inline constexpr std::int32_t kLdBase = 10000;  ///< one word holds four decimal digits
inline constexpr int kLdDigitsPerWord = 4;      ///< decimal digits per word

/// Zero is recognised by the sign word alone.
inline bool ld_is_zero(const LongDecimal& v) { return v[kLdSign] == 0; }

/// -v: flips the sign word, which leaves zero unchanged.
inline LongDecimal ld_negate(LongDecimal v) {
  v[kLdSign] = -v[kLdSign];
  return v;
}

// --- record and conversions ---
/// v = 0: every word 0.
void ld_clear(LongDecimal& v);
/// w = 0: every word 0.
void ld_clear_wide(LongDecimalWide& w);
/// m in [0.1, 1) and the returned E with |x| = m * 10^E, scaling by 10 one
/// rounded step at a time; m may stop less than 1e-16 below 0.1. x must be
/// finite and non-zero (otherwise the scaling never ends).
int ld_split_double(double x, double& m);
/// The record receives the 15-significant-digit decimal value of the fraction m
/// of x (times 10^E); x must be finite. A fraction that rounds up to 1 is stored
/// as 0.1 with E + 1; one just below 0.1 keeps its 15 digits, 0.0999...
void ld_from_double(double x, LongDecimal& out);
/// out receives the value, built from fraction words 2..33.
void ld_to_double(const LongDecimal& v, double& out);
/// Remove leading zero fraction words, exponent -= 4 per word; an all-zero
/// fraction is left as it is.
void ld_normalize(LongDecimal& v);
/// ld_normalize of the wide form.
void ld_normalize_wide(LongDecimalWide& w);
/// Moves words 1..34 down by d/4 places (truncating), exponent += 4 per place;
/// word 1 becomes 0. A negative d counts as 0.
void ld_shift_right(LongDecimal& v, int d);

// --- arithmetic ---
/// a + b; the operand with the smaller exponent loses what alignment moves past
/// word 34, and a carry into word 1 moves the sum down a word (truncating).
LongDecimal ld_add(const LongDecimal& a, const LongDecimal& b);
/// a * b, rounded half up in magnitude on the first dropped word.
LongDecimal ld_mul(const LongDecimal& a, const LongDecimal& b);
/// a / b; prints "Divide by null in Divide" and aborts when b is zero (sign 0,
/// or a sign over a fraction without digits).
LongDecimal ld_div(const LongDecimal& a, const LongDecimal& b);
/// Swaps x and y when the magnitude (words 2..34) of x is below that of y.
void ld_order(LongDecimal& x, LongDecimal& y);
/// w = v in the wide form, the extra fraction words 0.
void ld_widen(const LongDecimal& v, LongDecimalWide& w);
/// Rounds to 33 fraction words on the first dropped word.
void ld_narrow(const LongDecimalWide& w, LongDecimal& r);
/// 1 if the magnitude of p is at least that of q, else -1.
int ld_compare_wide(const LongDecimalWide& p, const LongDecimalWide& q);
/// Moves the fraction down by d/4 words; the exponent is not changed.
void ld_shift_right_wide(LongDecimalWide& w, int d);
/// |a| - |b| for |a| >= |b|; a is left in its pre-borrowed form.
LongDecimalWide ld_sub_wide(LongDecimalWide& a, const LongDecimalWide& b);
