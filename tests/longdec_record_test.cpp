// The LongDecimal record: conversions from and to double, normalisation and
// shifts, against words worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "longdec/longdec.h"
#include "tests/longdec_records.h"

namespace {

using test_support::make;
using test_support::with_word;

TEST(LdFromDouble, ExactWords) {
  struct Case {
    const char* what;
    double x;
    LongDecimal expected;
  };
  const Case cases[] = {
      {"0.0", 0.0, LongDecimal{}},
      {"-0.0", -0.0, LongDecimal{}},
      {"1.0", 1.0, make(1, {1}, 4)},
      {"3.0", 3.0, make(1, {3}, 4)},
      {"0.1", 0.1, make(1, {1000}, 0)},
      {"1e-5", 1e-5, make(1, {1000}, -4)},
      {"123", 123.0, make(1, {123}, 4)},
      {"-0.00123", -0.00123, make(-1, {12, 3000}, 0)},
      {"15 digits kept, z = 0", 0.1234567890123456789, make(1, {1234, 5678, 9012, 3460}, 0)},
      {"15 digits kept, z = 1", 1234567.89012345678, make(1, {123, 4567, 8901, 2346}, 8)},
      {"15 digits kept, z = 3", 12345.6789012345678, make(1, {1, 2345, 6789, 123, 4600}, 8)},
      {"just below 0.1 is 0.1", std::nextafter(0.1, 0.0), make(1, {1000}, 0)},
      // The scaled fraction stops just below 0.1 and keeps its 15 digits
      // 0.0999999999999999; that leading zero and three alignment zeros empty
      // word 2, so the fraction moves up a word.
      {"1e-300", 1e-300, make(1, {9999, 9999, 9999, 9990}, -300)},
      // The fraction rounds up to 1 at 15 digits: 0.1 with the exponent one higher.
      {"just below 1", std::nextafter(1.0, 0.0), make(1, {1}, 4)},
      {"just below -1e-4", -std::nextafter(1e-4, 0.0), make(-1, {1}, 0)},
  };
  for (const Case& c : cases) {
    LongDecimal v;
    v.fill(77);  // the conversion must clear what was there
    ld_from_double(c.x, v);
    EXPECT_EQ(v, c.expected) << c.what;
  }
}

// m in [0.1, 1) scaled by 10 one rounded step at a time; a fraction a
// rounding step short of 0.1 stops there.
TEST(LdSplitDouble, FractionAndExponent) {
  const double below_tenth = std::nextafter(0.1, 0.0);
  const struct {
    double x, m;
    int e;
  } cases[] = {{1.0, 0.1, 1},
               {-7.0, 0.7, 1},
               {0.5, 0.5, 0},
               {1234.5, 1234.5 / 10 / 10 / 10 / 10, 4},
               {0.001, 0.001 * 10 * 10, -2},
               {below_tenth, below_tenth, 0}};
  for (const auto& c : cases) {
    double m = -1.0;
    EXPECT_EQ(ld_split_double(c.x, m), c.e) << c.x;
    EXPECT_EQ(m, c.m) << c.x;
  }
}

TEST(LdToDouble, ExactResults) {
  const struct {
    const char* what;
    LongDecimal v;
    double expected;
    double relative_tolerance = 0;  // 0: exactly
  } cases[] = {
      {"zero record", LongDecimal{}, 0.0},
      {"sign 0 ignores the words", make(0, {1234, 5678}, 12), 0.0},
      {"1.0", make(1, {1}, 4), 1.0},
      {"3.0: 10^-4 * 3 and then 10^4 times that, each rounded", make(1, {3}, 4), 3.0000000000000004},
      {"-0.5", make(-1, {5000}, 0), -0.5},
      {"0.1", make(1, {1000}, 0), 0.1},
      {"1e-300 comes back within 2e-15", make(1, {9999, 9999, 9999, 9990}, -300), 1e-300, 2e-15},
      {"word 34 is not read", with_word(make(1, {}, 0), kLdLastDigit, 7), 0.0},
      {"word 33 is", with_word(make(1, {}, 0), kLdLastDigit - 1, 7), 7e-128, 1e-15},
      {"overflow word is not read", with_word(make(1, {5}, 0), kLdOverflow, 3), 0.0005},
      {"10^e underflows, 5e-324 does not", make(1, {5}, -320), 5e-324},
      {"10^e overflows, 1e308 does not", make(1, {1}, 312), 1e308},
  };
  for (const auto& c : cases) {
    double out = -1.0;
    ld_to_double(c.v, out);
    EXPECT_NEAR(out, c.expected, c.relative_tolerance * c.expected) << c.what;
  }
}

TEST(LdShiftAndNormalize, WholeWords) {
  const LongDecimal v = with_word(with_word(make(1, {1234, 5678}, 8), kLdLastDigit - 1, 33), kLdLastDigit, 34);
  const struct {
    const char* what;
    LongDecimal in;
    int d;
    LongDecimal expected;
  } shifts[] = {
      {"two words: words 33 and 34 drop out", v, 8, make(1, {0, 0, 1234, 5678}, 16)},
      {"word 1 moves into the fraction", with_word(make(1, {2, 3}, 0), kLdOverflow, 1), 4, make(1, {1, 2, 3}, 4)},
      {"d = 3 moves nothing, clears word 1", with_word(make(-1, {7}, -4), kLdOverflow, 9), 3, make(-1, {7}, -4)},
      {"32 words: word 2 lands in word 34", v, 4 * 32, with_word(make(1, {}, 136), kLdLastDigit, 1234)},
      {"33 words: nothing is left", v, 4 * 33, make(1, {}, 140)},
      {"40 words", v, 4 * 40, make(1, {}, 168)},
  };
  for (const auto& c : shifts) {
    LongDecimal r = c.in;
    ld_shift_right(r, c.d);
    EXPECT_EQ(r, c.expected) << c.what;
  }

  const struct {
    LongDecimal in, expected;
  } normalized[] = {
      {with_word(make(-1, {0, 0, 5, 6}, 12), kLdLastDigit, 99), with_word(make(-1, {5, 6}, 4), kLdLastDigit - 2, 99)},
      {make(1, {12, 3000}, 0), make(1, {12, 3000}, 0)},  // 0.0012 keeps word 2 = 12
      {make(1, {}, 8), make(1, {}, 8)},                  // an empty fraction is left as it is
  };
  for (const auto& c : normalized) {
    LongDecimal r = c.in;
    ld_normalize(r);
    EXPECT_EQ(r, c.expected);
  }

  LongDecimalWide w{};
  LongDecimalWide expected{};
  w[kLdSign] = expected[kLdSign] = 1;
  w[kLdFirstDigit + 2] = expected[kLdFirstDigit] = 5;
  w[kLdWideLastDigit] = expected[kLdWideLastDigit - 2] = 7;
  expected[kLdWideExponent] = -8;
  ld_normalize_wide(w);
  EXPECT_EQ(w, expected);
}

}  // namespace
