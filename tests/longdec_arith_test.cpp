// LongDecimal arithmetic on hand-worked cases, every word compared: alignment
// truncates, products and quotients round half up on the first dropped word,
// records carrying 10000 in word 34 come out finished, and a zero divisor ends
// the program. Constructed edges (the rounding word of a quotient, sums of
// equal values written differently) and random programs, checked against exact
// arithmetic and the word path, run in tests/fuzz/longdec_fuzz_test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <initializer_list>

#include "longdec/longdec.h"
#include "tests/longdec_records.h"

namespace {

using test_support::make;
using test_support::with_word;

// All 32 words 2..33 set to digit, then word 34 to last.
LongDecimal repeated(int sign, std::int32_t digit, std::int32_t last, int exponent) {
  LongDecimal v = make(sign, {}, exponent);
  for (int w = kLdFirstDigit; w < kLdLastDigit; ++w) v[w] = digit;
  v[kLdLastDigit] = last;
  return v;
}

using Operation = LongDecimal (*)(const LongDecimal&, const LongDecimal&);

struct Case {
  const char* what;
  Operation op;
  LongDecimal a, b, expected;
};

void expect_words(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(c.op(c.a, c.b), c.expected) << c.what;
}

TEST(LdArithmetic, HandWorkedWords) {
  const LongDecimal b = with_word(make(-1, {17, 0, 5}, 400), kLdLastDigit, kLdBase);
  const LongDecimal three_and_tiny = with_word(make(1, {3}, 0), kLdLastDigit, 1);
  const LongDecimal third = repeated(1, 3333, 3333, 0);
  expect_words({
      {"0.5 + 0.5 carries into word 1", ld_add, make(1, {5000}, 0), make(1, {5000}, 0), make(1, {1}, 4)},
      {"1 - 0.0001", ld_add, make(1, {1}, 4), make(-1, {1}, 0), make(1, {9999}, 0)},
      {"-0.0001 + 1", ld_add, make(-1, {1}, 0), make(1, {1}, 4), make(1, {9999}, 0)},
      {"a + (-a) is the zero record", ld_add, make(1, {12, 3456}, -8), make(-1, {12, 3456}, -8), LongDecimal{}},
      {"the larger magnitude gives the sign", ld_add, make(1, {2}, 0), make(-1, {7}, 0), make(-1, {5}, 0)},
      {"cancellation normalises", ld_add, make(1, {5, 1}, 0), make(-1, {5}, 0), make(1, {1}, -4)},
      {"carry through all 33 words", ld_add, repeated(1, 9999, 9999, 0), with_word(make(1, {}, 0), kLdLastDigit, 1),
       make(1, {1}, 4)},
      {"aligned operand loses its last word", ld_add, make(1, {1}, 4), with_word(make(1, {2}, 0), kLdLastDigit, 7),
       make(1, {1, 2}, 4)},
      {"128 digits apart reach word 34", ld_add, make(1, {1}, 4), make(1, {9999}, 4 - 128),
       with_word(make(1, {1}, 4), kLdLastDigit, 9999)},
      {"132 digits apart contribute nothing", ld_add, make(1, {1}, 4), make(1, {9999}, 4 - 132), make(1, {1}, 4)},
      // Aligned to 1 the nines lose their last word: 10000^-32, not 10000^-33.
      {"1 - 0.9999..9999", ld_add, make(1, {1}, 4), repeated(-1, 9999, 9999, 0), make(1, {1}, -124)},
      {"0 + b returns b untouched", ld_add, LongDecimal{}, b, b},
      {"b + 0 returns b untouched", ld_add, b, LongDecimal{}, b},
      {"3 * 3 normalises once", ld_mul, make(1, {3}, 4), make(1, {3}, 4), make(1, {9}, 4)},
      {"-2 * -0.5", ld_mul, make(-1, {2}, 4), make(-1, {5000}, 0), make(1, {1}, 4)},
      {"a * 0", ld_mul, make(1, {3}, 4), LongDecimal{}, LongDecimal{}},
      {"12 * 0.0012 spans words", ld_mul, make(1, {12}, 4), make(1, {12}, 0), make(1, {144}, 0)},
      {"first dropped word 5000 rounds up", ld_mul, make(1, {5000}, 0), three_and_tiny,
       with_word(make(1, {1, 5000}, 0), kLdLastDigit, 1)},
      {"first dropped word 4999 does not", ld_mul, make(1, {4999}, 0), three_and_tiny, make(1, {1, 4997}, 0)},
      {"1 / 3", ld_div, make(1, {1}, 4), make(1, {3}, 4), third},
      {"2 / 3 rounds the last word", ld_div, make(1, {2}, 4), make(1, {3}, 4), repeated(1, 6666, 6667, 0)},
      {"1 / -3", ld_div, make(1, {1}, 4), make(-1, {3}, 4), ld_negate(third)},
      {"a dropped quotient word of 5000 rounds up", ld_div, with_word(make(1, {3}, 0), kLdLastDigit, 1),
       make(1, {2}, 0), with_word(make(1, {1, 5000}, 4), kLdLastDigit, 1)},
      {"15 / 3 is exactly 5", ld_div, make(1, {15}, 4), make(1, {3}, 4), make(1, {5}, 4)},
      {"0 / 7", ld_div, LongDecimal{}, make(1, {7}, 4), LongDecimal{}},
      {"unnormalised operands", ld_div, make(1, {0, 0, 15}, 12), make(1, {0, 3}, 8), make(1, {5}, 4)},
      {"9999 / 0.0001", ld_div, make(1, {9999}, 4), make(1, {1}, 0), make(1, {9999}, 8)},
      // The first quotient word is 0: the quotient moves up a word.
      {"0.0001 / 9999", ld_div, make(1, {1}, 0), make(1, {9999}, 4), repeated(1, 1, 1, -4)},
  });
}

// A rounded product or quotient may leave 10000 in word 34: 0.9999..9999(10000)
// is exactly 1. Every operation on such records gives a finished record.
TEST(LdArithmetic, TenThousandInWordThirtyFour) {
  const LongDecimal product = repeated(1, 9999, kLdBase, -4);  // 1e-4
  const LongDecimal one = repeated(1, 9999, kLdBase, 0);
  expect_words({
      {"0.0001 0000..0001 * 0.9999..9999 0000 rounds into word 34", ld_mul, with_word(make(1, {1}, 0), kLdLastDigit, 1),
       repeated(1, 9999, 0, 0), product},
      {"1e-4 less 1e-200 aligned to nothing", ld_add, product, make(-1, {1}, -196), make(1, {1}, 0)},
      {"1e-4 / 1", ld_div, product, make(1, {1}, 4), make(1, {1}, 0)},
      {"1 / 1", ld_div, one, one, make(1, {1}, 4)},
      {"1 * 1", ld_mul, one, one, make(1, {1}, 4)},
      {"1e-4 * 1e-4", ld_mul, product, product, make(1, {1}, -4)},
      {"a sign without digits divides to zero", ld_div, make(1, {}, 8), make(1, {3}, 4), LongDecimal{}},
  });
}

// A divisor of value zero, also one with a sign but no digits, prints the
// message on standard output (sent to standard error for the death test to
// read) and aborts; the alarm turns a division that never ends into a failure.
TEST(LdDivDeathTest, ZeroDivisorPrintsAndAborts) {
  for (const LongDecimal& divisor : {LongDecimal{}, make(-1, {}, 8)}) {
    for (const LongDecimal& dividend : {make(1, {1}, 4), LongDecimal{}}) {
      EXPECT_EXIT(
          {
            alarm(5);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            static_cast<void>(ld_div(dividend, divisor));
          },
          testing::KilledBySignal(SIGABRT), "^Divide by null in Divide$");
    }
  }
}

}  // namespace
