// LongDecimal record: clearing, conversion from and to double, normalisation
// and shifts by whole base-10000 digits.
//
//   clearing         ld_clear, ld_clear_wide
//   from double      ld_split_double, ld_from_double
//                    (helpers: decimal_fraction_digits, set_from_digits)
//   to double        ld_to_double (helper: power_of_ten)
//   normalisation    ld_normalize, ld_normalize_wide
//   shifts           ld_shift_right
//
// Every working variable is a local: the operations are re-entrant.
#include "longdec/longdec.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace {

// ld_split_double scales until 0.1 <= m < 1, or until m lies this close to 0.1
// (a value a rounding step short of 0.1 would otherwise be scaled back and
// forth for ever).
constexpr double kSplitLow = 0.1;
constexpr double kSplitHigh = 1.0;
constexpr double kSplitNearTenth = 1e-16;

// A double enters the arithmetic through its decimal text with this many
// significant digits.
constexpr int kSignificantDigits = 15;

// Longest digit string S of ld_from_double: up to 3 alignment zeros, one zero
// of a fraction just below 0.1, and 15 significant digits.
constexpr int kMaxDigitString = 3 + 1 + kSignificantDigits;

// Digits of m in [0.1, 1) as they stand after "0." in its fixed-notation text
// with 15 significant digits, trailing zeros dropped.
struct FractionDigits {
  char digits[1 + kSignificantDigits];  // not terminated
  int count;                            // number of digits used
  int exponent_step;                    // 1 when m rounded up to 1: the text is "0.1" of 10*m
};

// Formats m with 15 significant digits. m normally lies in [0.1, 1); it may lie
// just below 0.1 (second stop of ld_split_double), and it may round up to 1.
//   - mantissa exponent -1: the digits d1..d15 themselves;
//   - exponent -2 (m below 0.1 that does not round to 0.1): a leading 0, so the
//     stored value is the exact 15-digit value 0.0d1..d15 of m;
//   - exponent 0 (m rounds to 1): fraction 0.1 with the decimal exponent one higher.
FractionDigits decimal_fraction_digits(double m) {
  // "d.dddddddddddddde-xx": 1 + 1 + 14 + exponent part; 32 is ample.
  char text[32];
  const std::to_chars_result res =
      std::to_chars(text, text + sizeof text, m, std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view written(text, static_cast<std::size_t>(res.ptr - text));

  FractionDigits out{};
  const std::size_t e_pos = written.find('e');
  const char* exponent_text = written.data() + e_pos + 1;
  if (*exponent_text == '+') ++exponent_text;
  int exponent = 0;
  std::from_chars(exponent_text, written.data() + written.size(), exponent);

  if (exponent >= 0) {  // m rounded up to 1.00000000000000
    out.digits[0] = '1';
    out.count = 1;
    out.exponent_step = 1;
    return out;
  }
  if (exponent == -2) out.digits[out.count++] = '0';
  for (std::size_t i = 0; i < e_pos; ++i) {
    if (written[i] != '.') out.digits[out.count++] = written[i];
  }
  while (out.count > 1 && out.digits[out.count - 1] == '0') --out.count;
  return out;
}

// Steps 6 to 8 of the conversion: S = z zeros then the digits, padded with zeros
// to whole groups of four; group g goes to word g+1.
void set_from_digits(int leading_zeros, const FractionDigits& f, LongDecimal& out) {
  char s[kMaxDigitString + kLdDigitsPerWord] = {};
  int length = 0;
  for (int i = 0; i < leading_zeros; ++i) s[length++] = '0';
  for (int i = 0; i < f.count; ++i) s[length++] = f.digits[i];
  while (length % kLdDigitsPerWord != 0) s[length++] = '0';

  for (int g = 0; g * kLdDigitsPerWord < length; ++g) {
    std::int32_t word = 0;
    for (int c = 0; c < kLdDigitsPerWord; ++c) word = word * 10 + (s[g * kLdDigitsPerWord + c] - '0');
    out[kLdFirstDigit + g] = word;
  }
}

// 10^n by binary powering in double arithmetic. The last bit of every
// conversion to double depends on this exact sequence of roundings.
double power_of_ten(int n) {
  unsigned bits = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
  double z = 1.0;
  double b = 10.0;
  while (bits != 0) {
    if ((bits & 1u) != 0) z = z * b;
    b = b * b;
    bits >>= 1;
  }
  return n < 0 ? 1.0 / z : z;
}

}  // namespace

void ld_clear(LongDecimal& v) { v.fill(0); }

void ld_clear_wide(LongDecimalWide& w) { w.fill(0); }

// x must be finite and non-zero: an infinity or NaN is scaled for ever, and so is 0.
int ld_split_double(double x, double& m) {
  m = std::fabs(x);
  int e = 0;
  for (;;) {
    if (kSplitLow <= m && m < kSplitHigh) break;
    if (std::fabs(m - kSplitLow) < kSplitNearTenth) break;
    if (m >= kSplitHigh) {
      m = m / 10.0;
      ++e;
    } else {
      m = m * 10.0;
      --e;
    }
  }
  return e;
}

// x must be finite (see ld_split_double).
void ld_from_double(double x, LongDecimal& out) {
  ld_clear(out);
  if (x == 0.0) return;
  out[kLdSign] = x > 0.0 ? 1 : -1;

  double m = 0.0;
  const int split_exponent = ld_split_double(x, m);
  const FractionDigits digits = decimal_fraction_digits(m);
  // Round the decimal exponent up to a multiple of 4; the z digits it rose by
  // become leading zeros of the fraction.
  int e = split_exponent + digits.exponent_step;
  int leading_zeros = 0;
  while (e % kLdDigitsPerWord != 0) {
    ++e;
    ++leading_zeros;
  }
  set_from_digits(leading_zeros, digits, out);
  out[kLdOverflow] = 0;
  out[kLdExponent] = e;
  // A fraction just below 0.1 brings its own leading zero; with three
  // alignment zeros that empties word 2, so move the fraction up one word.
  if (out[kLdFirstDigit] == 0) ld_normalize(out);
}

// Where 10^e is a finite, non-zero double (|e| <= 308) the value is built as
// it always was, and the reports print its last bit. Beyond that the power itself
// overflows or underflows while the value may still be a double (1e308 is
// 0.0001 times 10^312); there the digits go through strtod, which rounds
// correctly and gives an infinity or zero only when the value itself is out of
// range. Its text is an integer mantissa with an exponent, so no decimal point
// and no locale take part.
void ld_to_double(const LongDecimal& v, double& out) {
  const int e = v[kLdExponent];
  const double scale = power_of_ten(e);
  if (scale == 0.0 || std::isinf(scale)) {
    constexpr int kWords = kLdLastDigit - kLdFirstDigit;  // words 2..33
    char text[2 + kWords * kLdDigitsPerWord + 16];        // sign, digits, "e", exponent, NUL
    char* p = text;
    if (v[kLdSign] < 0) *p++ = '-';
    for (int w = kLdFirstDigit; w < kLdFirstDigit + kWords; ++w) {
      for (int unit = kLdBase / 10; unit >= 1; unit /= 10) *p++ = static_cast<char>('0' + v[w] / unit % 10);
    }
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text - 1, e - kWords * kLdDigitsPerWord).ptr;
    *p = '\0';
    out = v[kLdSign] == 0 ? 0.0 : std::strtod(text, nullptr);
    return;
  }
  double s = 0.0;
  for (int k = 1; k <= kLdLastDigit - 2; ++k) {  // words 2..33; word 34 is left out
    s = power_of_ten(-kLdDigitsPerWord * k) * static_cast<double>(v[k + 1]) + s;
  }
  s = static_cast<double>(v[kLdSign]) * s;
  s = scale * s;
  out = s;
}

// An all-zero fraction is left as it is (callers never pass one).
void ld_normalize(LongDecimal& v) {
  int z = 0;
  while (kLdFirstDigit + z <= kLdLastDigit && v[kLdFirstDigit + z] == 0) ++z;
  if (kLdFirstDigit + z > kLdLastDigit) return;
  v[kLdExponent] -= kLdDigitsPerWord * z;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    v[w] = w + z <= kLdLastDigit ? v[w + z] : 0;
  }
}

// An all-zero fraction is left as it is (callers never pass one).
void ld_normalize_wide(LongDecimalWide& w) {
  int z = 0;
  while (kLdFirstDigit + z <= kLdWideLastDigit && w[kLdFirstDigit + z] == 0) ++z;
  if (kLdFirstDigit + z > kLdWideLastDigit) return;
  w[kLdWideExponent] -= kLdDigitsPerWord * z;
  for (int k = kLdFirstDigit; k <= kLdWideLastDigit; ++k) {
    w[k] = k + z <= kLdWideLastDigit ? w[k + z] : 0;
  }
}

// A negative count shifts by nothing (callers pass d >= 0).
void ld_shift_right(LongDecimal& v, int d) {
  const int q = d > 0 ? d / kLdDigitsPerWord : 0;
  for (int k = kLdLastDigit - 1; k >= 1; --k) {  // word k+1 for k = 33..1
    v[k + 1] = k >= q ? v[k + 1 - q] : 0;
  }
  v[kLdOverflow] = 0;
  v[kLdExponent] += kLdDigitsPerWord * q;
}
