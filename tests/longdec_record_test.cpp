// The LongDecimal record: conversions from and to double, normalisation and
// shifts, against exact word expectations and random 15-digit decimals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <limits>
#include <random>
#include <string>

#include "longdec/longdec.h"

namespace {

LongDecimal make(int sign, std::initializer_list<std::int32_t> fraction, int exponent) {
  LongDecimal v{};
  v[kLdSign] = sign;
  int w = kLdFirstDigit;
  for (const std::int32_t digit : fraction) v[w++] = digit;
  v[kLdExponent] = exponent;
  return v;
}

double to_double(const LongDecimal& v) {
  double out = -1.0;
  ld_to_double(v, out);
  return out;
}

LongDecimal from_double(double x) {
  LongDecimal v;
  v.fill(77);  // the conversion must clear what was there
  ld_from_double(x, v);
  return v;
}

std::string words(const LongDecimal& v) {
  std::string s = "sign ";
  s += std::to_string(v[kLdSign]);
  s += " ov ";
  s += std::to_string(v[kLdOverflow]);
  s += " [";
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    s += ' ';
    s += std::to_string(v[w]);
  }
  s += " ] e ";
  s += std::to_string(v[kLdExponent]);
  return s;
}

// The exact decimal value of a record as "-0.DIGITS e X" with no trailing zeros.
std::string decimal_value(const LongDecimal& v) {
  if (v[kLdSign] == 0) return "0";
  std::string digits;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    char group[8];
    std::snprintf(group, sizeof group, "%04d", v[w]);
    digits += group;
  }
  int exponent = v[kLdExponent];
  const std::size_t first = digits.find_first_not_of('0');
  digits = digits.substr(first);
  exponent -= static_cast<int>(first);
  digits.erase(digits.find_last_not_of('0') + 1);
  return std::string(v[kLdSign] < 0 ? "-" : "") + "0." + digits + " e " + std::to_string(exponent);
}

// Sign +-1, word 1 zero, word 2 non-zero, digits in range, exponent a multiple of 4.
bool is_finished_nonzero(const LongDecimal& v) {
  if (v[kLdSign] != 1 && v[kLdSign] != -1) return false;
  if (v[kLdOverflow] != 0 || v[kLdFirstDigit] == 0 || v[kLdExponent] % kLdDigitsPerWord != 0) return false;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) {
    if (v[w] < 0 || v[w] >= kLdBase) return false;
  }
  return true;
}

struct FromDoubleCase {
  const char* what;
  double x;
  LongDecimal expected;
};

TEST(LdFromDouble, ExactWordsTable) {
  const double below_tenth = std::nextafter(0.1, 0.0);
  const FromDoubleCase cases[] = {
      {"0.0", 0.0, LongDecimal{}},
      {"-0.0", -0.0, LongDecimal{}},
      {"1.0", 1.0, make(1, {1}, 4)},
      {"3.0", 3.0, make(1, {3}, 4)},
      {"0.1", 0.1, make(1, {1000}, 0)},
      {"1e-5", 1e-5, make(1, {1000}, -4)},
      {"123", 123.0, make(1, {123}, 4)},
      {"-0.00123", -0.00123, make(-1, {12, 3000}, 0)},
      {"-2.5e-7", -2.5e-7, make(-1, {25}, -4)},
      {"12345678.9", 12345678.9, make(1, {1234, 5678, 9000}, 8)},
      {"15 digits survive", 0.1234567890123456789, make(1, {1234, 5678, 9012, 3460}, 0)},
      {"15 digits, z = 1", 1234567.89012345678, make(1, {123, 4567, 8901, 2346}, 8)},
      {"15 digits, z = 3", 12345.6789012345678, make(1, {1, 2345, 6789, 123, 4600}, 8)},
      {"just below 0.1 is 0.1", below_tenth, make(1, {1000}, 0)},
      // m stops just below 0.1 and keeps 0.0999999999999999 (15 digits of m);
      // the extra leading zero with three alignment zeros moves the fraction up a word.
      {"1e-300", 1e-300, make(1, {9999, 9999, 9999, 9990}, -300)},
      // m rounds up to 1 at 15 digits: fraction 0.1, decimal exponent one higher.
      {"just below 1", std::nextafter(1.0, 0.0), make(1, {1}, 4)},
      {"just below 1e6", 9.9999999999999995e5, make(1, {100}, 8)},
      {"just below -1e-4", -std::nextafter(1e-4, 0.0), make(-1, {1}, 0)},
  };
  for (const FromDoubleCase& c : cases) {
    EXPECT_EQ(words(from_double(c.x)), words(c.expected)) << c.what;
  }
}

TEST(LdFromDouble, FractionBelowTenthKeepsItsFifteenDigits) {
  // The scaled fraction of 1e-300 lies about 8e-16 below 0.1; the record holds
  // its 15-digit value 0.0999999999999999e-299, so the way back is 1e-15 low.
  double m = 0.0;
  ASSERT_EQ(ld_split_double(1e-300, m), -299);
  ASSERT_LT(m, 0.1);
  const LongDecimal v = from_double(1e-300);
  EXPECT_TRUE(is_finished_nonzero(v)) << words(v);
  EXPECT_EQ(decimal_value(v), "0.999999999999999 e -300");
  EXPECT_NEAR(to_double(v) / 1e-300, 1.0, 2e-15);
}

struct SplitCase {
  double x;
  double m;
  int e;
};

TEST(LdSplitDouble, FractionAndExponentTable) {
  const SplitCase cases[] = {
      {1.0, 0.1, 1},   {-7.0, 0.7, 1},      {0.5, 0.5, 0},       {1234.5, 1234.5 / 10 / 10 / 10 / 10, 4},
      {0.05, 0.5, -1}, {0.1, 0.1, 0},       {std::nextafter(0.1, 0.0), std::nextafter(0.1, 0.0), 0},
      {0.001, 0.001 * 10 * 10, -2},
  };
  for (const SplitCase& c : cases) {
    double m = -1.0;
    EXPECT_EQ(ld_split_double(c.x, m), c.e) << c.x;
    EXPECT_EQ(m, c.m) << c.x;
  }
}

struct ToDoubleCase {
  const char* what;
  LongDecimal v;
  double expected;
};

TEST(LdToDouble, ExactResultsTable) {
  LongDecimal garbage_zero = make(0, {1234, 5678}, 12);
  const ToDoubleCase cases[] = {
      {"zero record", LongDecimal{}, 0.0},
      {"sign 0 ignores the rest", garbage_zero, 0.0},
      {"1.0", make(1, {1}, 4), 1.0},
      // 10^-4 * 3 and then 10^4 times that, each rounded.
      {"3.0", make(1, {3}, 4), 3.0000000000000004},
      {"-0.5", make(-1, {5000}, 0), -0.5},
      {"0.1", make(1, {1000}, 0), 0.1},
  };
  for (const ToDoubleCase& c : cases) {
    EXPECT_EQ(to_double(c.v), c.expected) << c.what;
  }
  EXPECT_FALSE(std::signbit(to_double(make(0, {5}, 0))));
}

TEST(LdToDouble, IgnoresOverflowWordAndLastFractionWord) {
  LongDecimal a = make(1, {1234, 5678, 9}, 0);
  a[kLdLastDigit - 1] = 4321;
  LongDecimal b = a;
  b[kLdLastDigit] = 9999;
  LongDecimal c = a;
  c[kLdLastDigit] = kLdBase;  // a rounded result may leave 10000 there
  c[kLdOverflow] = 5;
  EXPECT_EQ(to_double(a), to_double(b));
  EXPECT_EQ(to_double(a), to_double(c));
  // In a finished value word 34 is far below the last bit; alone it shows
  // that the sum stops at word 33.
  LongDecimal only_last = make(1, {}, 0);
  only_last[kLdLastDigit] = 7;
  EXPECT_EQ(to_double(only_last), 0.0);
  only_last[kLdLastDigit - 1] = 7;
  EXPECT_DOUBLE_EQ(to_double(only_last), 7e-128);
}

TEST(LdToDouble, PowersOfTenByBinaryPowering) {
  // 10^-8 is 1/(10^8) here, not the nearest double to 1e-8 scaled otherwise;
  // 10^-4 * 1 * 10^-4 and the word 2 = 1 record at exponent -4 agree with it.
  EXPECT_EQ(to_double(make(1, {1}, 0)), 1.0 / 10000.0);
  EXPECT_EQ(to_double(make(1, {1}, -4)), 1.0 / 10000.0 * (1.0 / 10000.0));
  // Exponents beyond the double range: 10^e overflows, the value goes to 0 or inf.
  EXPECT_EQ(to_double(make(1, {5}, -320)), 0.0);
  EXPECT_TRUE(std::isinf(to_double(make(1, {1, 7976}, 312))));
}

TEST(LdShiftRight, WholeWordsTable) {
  LongDecimal v = make(1, {1234, 5678}, 8);
  v[kLdLastDigit - 1] = 33;
  v[kLdLastDigit] = 34;

  LongDecimal by8 = v;
  ld_shift_right(by8, 8);
  LongDecimal expected8 = make(1, {0, 0, 1234, 5678}, 16);
  EXPECT_EQ(words(by8), words(expected8));  // the old words 33 and 34 are gone

  LongDecimal carried = make(1, {2, 3}, 0);
  carried[kLdOverflow] = 1;
  ld_shift_right(carried, 4);
  EXPECT_EQ(words(carried), words(make(1, {1, 2, 3}, 4)));

  LongDecimal small = make(-1, {7}, -4);
  small[kLdOverflow] = 9;
  ld_shift_right(small, 3);  // q = 0: only word 1 is cleared
  EXPECT_EQ(words(small), words(make(-1, {7}, -4)));

  LongDecimal far = v;
  ld_shift_right(far, 4 * 40);
  EXPECT_EQ(words(far), words(make(1, {}, 8 + 160)));

  LongDecimal last = v;
  ld_shift_right(last, 4 * 33);  // word 2 lands in word 35, outside the fraction
  EXPECT_EQ(words(last), words(make(1, {}, 8 + 132)));

  LongDecimal to_last = v;
  ld_shift_right(to_last, 4 * 32);
  LongDecimal expected_last = make(1, {}, 8 + 128);
  expected_last[kLdLastDigit] = 1234;
  EXPECT_EQ(words(to_last), words(expected_last));
}

TEST(LdNormalize, RemovesLeadingZeroWords) {
  LongDecimal v = make(-1, {0, 0, 5, 6}, 12);
  v[kLdLastDigit] = 99;
  ld_normalize(v);
  LongDecimal expected = make(-1, {5, 6}, 4);
  expected[kLdLastDigit - 2] = 99;
  EXPECT_EQ(words(v), words(expected));

  LongDecimal normal = make(1, {12, 3000}, 0);  // 0.0012 stays word 2 = 12
  ld_normalize(normal);
  EXPECT_EQ(words(normal), words(make(1, {12, 3000}, 0)));

  LongDecimal empty = make(1, {}, 8);  // never asked for: left as it is
  ld_normalize(empty);
  EXPECT_EQ(words(empty), words(make(1, {}, 8)));
}

TEST(LdNormalizeWide, RemovesLeadingZeroWords) {
  LongDecimalWide w{};
  w[kLdSign] = 1;
  w[kLdFirstDigit + 2] = 5;
  w[kLdWideLastDigit] = 7;
  w[kLdWideExponent] = 0;
  ld_normalize_wide(w);
  LongDecimalWide expected{};
  expected[kLdSign] = 1;
  expected[kLdFirstDigit] = 5;
  expected[kLdWideLastDigit - 2] = 7;
  expected[kLdWideExponent] = -8;
  EXPECT_EQ(w, expected);
}

// One seed per run: LONGDEC_SEED replays a failure.
std::uint64_t test_seed() {
  static const std::uint64_t seed = [] {
    if (const char* env = std::getenv("LONGDEC_SEED")) return static_cast<std::uint64_t>(std::strtoull(env, nullptr, 10));
    return static_cast<std::uint64_t>(std::random_device{}());
  }();
  return seed;
}

// Random 15-digit decimals A * 10^p: near 1 (at most three scaling steps, so the
// scaled fraction is within half a unit of the 15th digit) the record holds
// exactly A * 10^p, and the way back lands within a few ulps.
TEST(LdFromDouble, RandomFifteenDigitDecimals) {
  const std::uint64_t seed = test_seed();
  std::cout << "LONGDEC_SEED=" << seed << '\n';
  SCOPED_TRACE("LONGDEC_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<std::int64_t> mantissa(100000000000000, 999999999999999);
  std::uniform_int_distribution<int> decimal_exponent(-3, 3);  // of the fraction 0.A
  std::uniform_int_distribution<int> zeros(0, 14);             // trailing zeros of A
  for (int i = 0; i < 20000; ++i) {
    std::int64_t a = mantissa(rng);
    const int z = zeros(rng);
    std::int64_t scale = 1;
    for (int k = 0; k < z; ++k) scale *= 10;
    a = a / scale * scale;
    const bool negative = (rng() & 1) != 0;
    const int e = decimal_exponent(rng);
    char text[40];
    std::snprintf(text, sizeof text, "%s0.%lld" "e%d", negative ? "-" : "", static_cast<long long>(a), e);
    const double x = std::strtod(text, nullptr);

    const LongDecimal v = from_double(x);
    ASSERT_TRUE(is_finished_nonzero(v)) << text << ": " << words(v);
    std::string digits = std::to_string(a);
    digits.erase(digits.find_last_not_of('0') + 1);
    const std::string expected = std::string(negative ? "-" : "") + "0." + digits + " e " + std::to_string(e);
    ASSERT_EQ(decimal_value(v), expected) << text;
    for (int w = kLdFirstDigit + 5; w <= kLdLastDigit; ++w) ASSERT_EQ(v[w], 0) << text;
    ASSERT_NEAR(to_double(v) / x, 1.0, 1e-15) << text;
  }
}

// Across the whole double range the scaling drifts by some ulps, but the value
// stays close and the record well formed.
TEST(LdFromDouble, RandomDoublesAcrossTheRange) {
  const std::uint64_t seed = test_seed();
  std::cout << "LONGDEC_SEED=" << seed << '\n';
  SCOPED_TRACE("LONGDEC_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(1.0, 10.0);
  std::uniform_int_distribution<int> decimal_exponent(-300, 300);
  for (int i = 0; i < 20000; ++i) {
    const double x = unit(rng) * std::pow(10.0, decimal_exponent(rng)) * ((rng() & 1) != 0 ? -1.0 : 1.0);
    const LongDecimal v = from_double(x);
    ASSERT_TRUE(is_finished_nonzero(v)) << x << ": " << words(v);
    ASSERT_EQ(v[kLdSign], x > 0 ? 1 : -1);
    ASSERT_NEAR(to_double(v) / x, 1.0, 1e-14) << x;
  }
}

}  // namespace
