// Correct rounding of exact values to double.
//
//   helpers        scale_ratio, binary_exponent
//   rationals      nearest_double(num, den)
//   long decimals  nearest_double(v)
#include "lae/lae_rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace lae {

namespace {

constexpr long kFractionBits = 52;          // stored fraction bits of a double
constexpr long kMaxExponent = 1023;         // binary exponent of the largest double
constexpr long kMinNormalExponent = -1022;  // below it the spacing stays 2^-1074

// p/q times 2^k, kept as integers: p shifted up for k >= 0, q for k < 0.
void scale_ratio(mpz_class& p, mpz_class& q, long k) {
  if (k >= 0) {
    p <<= static_cast<mp_bitcnt_t>(k);
  } else {
    q <<= static_cast<mp_bitcnt_t>(-k);
  }
}

// floor(log2(p/q)) for positive p and q.
long binary_exponent(const mpz_class& p, const mpz_class& q) {
  const long e =
      static_cast<long>(mpz_sizeinbase(p.get_mpz_t(), 2)) - static_cast<long>(mpz_sizeinbase(q.get_mpz_t(), 2));
  // p/q lies in (2^(e-1), 2^(e+1)); it is below 2^e exactly when p*2^-e < q.
  mpz_class lhs = p;
  mpz_class rhs = q;
  scale_ratio(lhs, rhs, -e);
  return lhs < rhs ? e - 1 : e;
}

}  // namespace

double nearest_double(const mpz_class& num, const mpz_class& den) {
  if (sgn(num) == 0) return 0.0;
  const bool negative = (sgn(num) < 0) != (sgn(den) < 0);
  const mpz_class p = abs(num);
  const mpz_class q = abs(den);
  const long e = binary_exponent(p, q);
  if (e > kMaxExponent)
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();

  // Scale so that one unit of the integer quotient is one unit in the last
  // place of the result: 2^(e-52) for a normal result, 2^-1074 for a
  // subnormal one. The quotient then has at most 53 bits.
  const long shift = kFractionBits - std::max(e, kMinNormalExponent);
  mpz_class scaled_p = p;
  mpz_class scaled_q = q;
  scale_ratio(scaled_p, scaled_q, shift);
  mpz_class quotient;
  mpz_class remainder;
  mpz_fdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), scaled_p.get_mpz_t(), scaled_q.get_mpz_t());
  const int against_half = cmp(2 * remainder, scaled_q);
  if (against_half > 0 || (against_half == 0 && mpz_odd_p(quotient.get_mpz_t()) != 0)) ++quotient;

  // Exact: the quotient fits in 53 bits, and a quotient rounded up to 2^53 at
  // the top exponent is 2^1024, which ldexp turns into the infinity it is.
  const double magnitude = std::ldexp(quotient.get_d(), static_cast<int>(-shift));
  return negative ? -magnitude : magnitude;
}

double nearest_double(const LongDecimal& v) {
  if (ld_is_zero(v)) return 0.0;
  // value = sign * digits * 10^(e - 132), digits the 33 words as one integer.
  constexpr long kFractionDigits = kLdDigitsPerWord * (kLdLastDigit - kLdFirstDigit + 1);
  mpz_class digits = 0;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) digits = digits * kLdBase + v[w];
  if (v[kLdSign] < 0) digits = -digits;

  const long exponent = v[kLdExponent] - kFractionDigits;
  mpz_class power;
  mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(std::labs(exponent)));
  return exponent >= 0 ? nearest_double(digits * power, mpz_class(1)) : nearest_double(digits, power);
}

}  // namespace lae
