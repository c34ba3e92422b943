// LongDecimal arithmetic: hand cases with exact words, identities on random
// 15-digit operands, and random full-length operands against an independent
// base-10 big-integer reference that applies the same truncation and rounding
// rules (alignment truncates, products and quotients round half up on the
// first dropped base-10000 word).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "longdec/longdec.h"

namespace {

// ---------------------------------------------------------------- helpers

LongDecimal make(int sign, std::initializer_list<std::int32_t> fraction, int exponent) {
  LongDecimal v{};
  v[kLdSign] = sign;
  int w = kLdFirstDigit;
  for (const std::int32_t digit : fraction) v[w++] = digit;
  v[kLdExponent] = exponent;
  return v;
}

LongDecimal with_word(LongDecimal v, int w, std::int32_t digit) {
  v[w] = digit;
  return v;
}

LongDecimal from_double(double x) {
  LongDecimal v;
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

// A finished result: zero is all words 0; otherwise sign +-1, word 1 zero, word 2
// non-zero, digits in range (word 34 up to 10000 after rounding), exponent a
// multiple of 4.
bool is_finished(const LongDecimal& v) {
  if (v[kLdSign] == 0) return v == LongDecimal{};
  if (v[kLdSign] != 1 && v[kLdSign] != -1) return false;
  if (v[kLdOverflow] != 0 || v[kLdFirstDigit] == 0 || v[kLdExponent] % kLdDigitsPerWord != 0) return false;
  for (int w = kLdFirstDigit; w < kLdLastDigit; ++w) {
    if (v[w] < 0 || v[w] >= kLdBase) return false;
  }
  return v[kLdLastDigit] >= 0 && v[kLdLastDigit] <= kLdBase;
}

// ------------------------------------------------- base-10 reference numbers

// A natural number as decimal digits, least significant first, no high zeros.
using Big = std::vector<int>;

void trim(Big& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

Big big_from(std::uint64_t n) {
  Big a;
  for (; n != 0; n /= 10) a.push_back(static_cast<int>(n % 10));
  return a;
}

int compare(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

Big add(const Big& a, const Big& b) {
  Big r(std::max(a.size(), b.size()) + 1, 0);
  int carry = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const int t = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0) + carry;
    r[i] = t % 10;
    carry = t / 10;
  }
  trim(r);
  return r;
}

Big sub(const Big& a, const Big& b) {  // a >= b
  Big r = a;
  int borrow = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    int t = r[i] - (i < b.size() ? b[i] : 0) - borrow;
    borrow = t < 0 ? 1 : 0;
    r[i] = t + 10 * borrow;
  }
  trim(r);
  return r;
}

Big mul(const Big& a, const Big& b) {
  if (a.empty() || b.empty()) return {};
  std::vector<long> acc(a.size() + b.size() + 1, 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j < b.size(); ++j) acc[i + j] += a[i] * b[j];
  }
  Big r(acc.size(), 0);
  long carry = 0;
  for (std::size_t i = 0; i < acc.size(); ++i) {
    const long t = acc[i] + carry;
    r[i] = static_cast<int>(t % 10);
    carry = t / 10;
  }
  trim(r);
  return r;
}

Big times_ten_to(Big a, int k) {  // a * 10^k
  if (!a.empty()) a.insert(a.begin(), static_cast<std::size_t>(k), 0);
  return a;
}

Big over_ten_to(const Big& a, int k) {  // floor(a / 10^k)
  if (static_cast<std::size_t>(k) >= a.size()) return {};
  return Big(a.begin() + k, a.end());
}

int low_word(const Big& a) {  // a mod 10^4
  int r = 0;
  for (int i = std::min<int>(3, static_cast<int>(a.size()) - 1); i >= 0; --i) r = r * 10 + a[static_cast<std::size_t>(i)];
  return r;
}

Big divide(const Big& a, const Big& b) {  // floor(a / b), b > 0
  Big q(a.size(), 0);
  Big r;
  for (std::size_t i = a.size(); i-- > 0;) {
    r.insert(r.begin(), a[i]);
    trim(r);
    while (compare(r, b) >= 0) {
      r = sub(r, b);
      ++q[i];
    }
  }
  trim(q);
  return q;
}

// sign * n * 10^exp.
struct Exact {
  int sign;
  Big n;
  int exp;
};

// The record's fraction words 2..34 as one integer (word 34 may be 10000).
Big fraction_of(const LongDecimal& v) {
  Big n;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) n = add(times_ten_to(n, 4), big_from(static_cast<std::uint64_t>(v[w])));
  return n;
}

// Value digits in one unit: the last fraction word has weight 10^(e - 132).
constexpr int kFractionDigits = 4 * (kLdLastDigit - 1);

Exact value_of(const LongDecimal& v) { return {v[kLdSign], fraction_of(v), v[kLdExponent] - kFractionDigits}; }

std::string text(Exact x) {
  if (x.sign == 0 || x.n.empty()) return "0";
  std::size_t zeros = 0;
  while (x.n[zeros] == 0) ++zeros;
  std::string s = x.sign < 0 ? "-" : "+";
  for (std::size_t i = x.n.size(); i-- > zeros;) s += static_cast<char>('0' + x.n[i]);
  s += "e";
  s += std::to_string(x.exp + static_cast<int>(zeros));
  return s;
}

std::string text(const LongDecimal& v) { return text(value_of(v)); }

// Rounds T (in units of the last kept word) half up on the next word.
Big rounded(const Big& kept, int next_word) { return next_word >= 5000 ? add(kept, big_from(1)) : kept; }

// a + b: the operand with the smaller exponent loses the words shifted past
// word 34; a carry out of the top word costs the lowest word.
Exact reference_add(const LongDecimal& a, const LongDecimal& b) {
  if (a[kLdSign] == 0) return value_of(b);
  if (b[kLdSign] == 0) return value_of(a);
  Big na = fraction_of(a);
  Big nb = fraction_of(b);
  int e = std::max(a[kLdExponent], b[kLdExponent]);
  na = over_ten_to(na, e - a[kLdExponent]);
  nb = over_ten_to(nb, e - b[kLdExponent]);
  if (a[kLdSign] == b[kLdSign]) {
    Big s = add(na, nb);
    if (static_cast<int>(s.size()) > kFractionDigits) {
      s = over_ten_to(s, 4);
      e += 4;
    }
    return {a[kLdSign], s, e - kFractionDigits};
  }
  const int c = compare(na, nb);
  if (c == 0) return {0, {}, 0};
  return c > 0 ? Exact{a[kLdSign], sub(na, nb), e - kFractionDigits}
               : Exact{b[kLdSign], sub(nb, na), e - kFractionDigits};
}

// a * b of normalised operands: the 66-word product, leading zero words
// dropped, cut to 33 words and rounded on the 34th.
Exact reference_mul(const LongDecimal& a, const LongDecimal& b) {
  if (a[kLdSign] == 0 || b[kLdSign] == 0) return {0, {}, 0};
  const Big p = mul(fraction_of(a), fraction_of(b));
  const int frame = 2 * kFractionDigits;
  const int z = (frame - static_cast<int>(p.size())) / 4;
  const int dropped = 4 * (kLdLastDigit - 1 - z);
  const Big t = rounded(over_ten_to(p, dropped), low_word(over_ten_to(p, dropped - 4)));
  return {a[kLdSign] * b[kLdSign], t, a[kLdExponent] + b[kLdExponent] - frame + dropped};
}

// a / b of normalised operands: 35 exact quotient words from the first
// non-zero one, cut to 33 words and rounded on the 34th.
Exact reference_div(const LongDecimal& a, const LongDecimal& b) {
  if (a[kLdSign] == 0) return {0, {}, 0};
  const Big nx = fraction_of(a);
  const Big ny = fraction_of(b);
  const Big full = divide(times_ten_to(nx, kFractionDigits + 4), ny);
  const int d = a[kLdExponent] - b[kLdExponent] - kFractionDigits;
  const int sign = a[kLdSign] * b[kLdSign];
  if (compare(nx, ny) >= 0) return {sign, rounded(over_ten_to(full, 8), low_word(over_ten_to(full, 4))), d + 4};
  return {sign, rounded(over_ten_to(full, 4), low_word(full)), d};
}

// ------------------------------------------------------------- hand cases

struct BinaryCase {
  const char* what;
  LongDecimal a;
  LongDecimal b;
  LongDecimal expected;
};

TEST(LdAdd, ExactWordsTable) {
  LongDecimal nines = make(1, {}, 0);
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) nines[w] = 9999;
  const LongDecimal tiny = with_word(make(1, {}, 0), kLdLastDigit, 1);  // 10000^-33

  const BinaryCase cases[] = {
      {"0.5 + 0.5 carries into word 1", make(1, {5000}, 0), make(1, {5000}, 0), make(1, {1}, 4)},
      {"1 - 0.0001", make(1, {1}, 4), make(-1, {1}, 0), make(1, {9999}, 0)},
      {"-0.0001 + 1", make(-1, {1}, 0), make(1, {1}, 4), make(1, {9999}, 0)},
      {"-1 + 0.0001", make(-1, {1}, 4), make(1, {1}, 0), make(-1, {9999}, 0)},
      {"a + (-a) is the zero record", make(1, {12, 3456}, -8), make(-1, {12, 3456}, -8), LongDecimal{}},
      {"carry through all 33 words", nines, tiny, make(1, {1}, 4)},
      {"aligned operand loses its last word", make(1, {1}, 4), with_word(make(1, {2}, 0), kLdLastDigit, 7),
       make(1, {1, 2}, 4)},
      {"equal exponents keep every word", make(1, {1}, 4), with_word(make(1, {2}, 4), kLdLastDigit, 7),
       with_word(make(1, {3}, 4), kLdLastDigit, 7)},
      {"132 digits apart contribute nothing", make(1, {1}, 4), make(1, {9999}, 4 - 132), make(1, {1}, 4)},
      {"128 digits apart reach word 34", make(1, {1}, 4), make(1, {9999}, 4 - 128),
       with_word(make(1, {1}, 4), kLdLastDigit, 9999)},
      {"cancellation normalises", make(1, {5, 1}, 0), make(-1, {5}, 0), make(1, {1}, -4)},
      {"smaller magnitude first, larger sign wins", make(1, {2}, 0), make(-1, {7}, 0), make(-1, {5}, 0)},
  };
  for (const BinaryCase& c : cases) {
    EXPECT_EQ(words(ld_add(c.a, c.b)), words(c.expected)) << c.what;
  }
  // 1 - 0.99..99 (33 words of 9999): aligned to 1 the nines lose their last
  // word, so the difference is 10000^-32, not 10000^-33.
  EXPECT_EQ(words(ld_add(make(1, {1}, 4), ld_negate(nines))), words(make(1, {1}, -124)));
}

TEST(LdAdd, ZeroOperandReturnsTheOtherUnchanged) {
  LongDecimal b = make(-1, {17, 0, 5}, 400);
  b[kLdLastDigit] = kLdBase;  // even a rounded last word passes through untouched
  EXPECT_EQ(ld_add(LongDecimal{}, b), b);
  EXPECT_EQ(ld_add(b, LongDecimal{}), b);
  EXPECT_EQ(ld_add(LongDecimal{}, LongDecimal{}), LongDecimal{});
}

TEST(LdAdd, ResultMayOverwriteAnOperand) {
  LongDecimal a = make(1, {1}, 4);
  const LongDecimal b = make(1, {5000}, 0);
  a = ld_add(a, b);
  a = ld_add(a, a);
  EXPECT_EQ(words(a), words(make(1, {3}, 4)));
}

TEST(LdMul, ExactWordsTable) {
  const LongDecimal two_and_tiny = with_word(make(1, {2}, 0), kLdLastDigit, 1);
  const LongDecimal three_and_tiny = with_word(make(1, {3}, 0), kLdLastDigit, 1);
  const BinaryCase cases[] = {
      {"3 * 3 normalises once", make(1, {3}, 4), make(1, {3}, 4), make(1, {9}, 4)},
      {"-2 * 3", make(-1, {2}, 4), make(1, {3}, 4), make(-1, {6}, 4)},
      {"-2 * -0.5", make(-1, {2}, 4), make(-1, {5000}, 0), make(1, {1}, 4)},
      {"0 * a", LongDecimal{}, make(1, {3}, 4), LongDecimal{}},
      {"a * 0", make(1, {3}, 4), LongDecimal{}, LongDecimal{}},
      // first dropped word 5000: word 34 rounds up
      {"0.5 * (2e-4 + tiny)", make(1, {5000}, 0), two_and_tiny, with_word(make(1, {1}, 0), kLdLastDigit, 1)},
      {"0.5 * (3e-4 + tiny)", make(1, {5000}, 0), three_and_tiny, with_word(make(1, {1, 5000}, 0), kLdLastDigit, 1)},
      // first dropped word 4999: left as it is
      {"0.4999 * (3e-4 + tiny)", make(1, {4999}, 0), three_and_tiny, make(1, {1, 4997}, 0)},
      {"12 * 0.0012 spans words", make(1, {12}, 4), make(1, {12}, 0), make(1, {144}, 0)},
  };
  for (const BinaryCase& c : cases) {
    EXPECT_EQ(words(ld_mul(c.a, c.b)), words(c.expected)) << c.what;
  }
}

TEST(LdDiv, ExactWordsTable) {
  LongDecimal third = make(1, {}, 0);
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) third[w] = 3333;
  LongDecimal two_thirds = make(1, {}, 0);
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) two_thirds[w] = 6666;
  two_thirds[kLdLastDigit] = 6667;

  const BinaryCase cases[] = {
      {"1 / 3", make(1, {1}, 4), make(1, {3}, 4), third},
      {"2 / 3 rounds the last word", make(1, {2}, 4), make(1, {3}, 4), two_thirds},
      {"-1 / 3", make(-1, {1}, 4), make(1, {3}, 4), ld_negate(third)},
      {"1 / -3", make(1, {1}, 4), make(-1, {3}, 4), ld_negate(third)},
      {"1 / 1", make(1, {1}, 4), make(1, {1}, 4), make(1, {1}, 4)},
      {"10 / 2", make(1, {10}, 4), make(1, {2}, 4), make(1, {5}, 4)},
      {"15 / 3 is exactly 5", make(1, {15}, 4), make(1, {3}, 4), make(1, {5}, 4)},
      {"0 / 7", LongDecimal{}, make(1, {7}, 4), LongDecimal{}},
      {"unnormalised operands", make(1, {0, 0, 15}, 12), make(1, {0, 3}, 8), make(1, {5}, 4)},
      {"9999 / 0.0001", make(1, {9999}, 4), make(1, {1}, 0), make(1, {9999}, 8)},
  };
  for (const BinaryCase& c : cases) {
    EXPECT_EQ(words(ld_div(c.a, c.b)), words(c.expected)) << c.what;
  }
  // 0.0001 / 9999: the first quotient word is 0 and the quotient moves up a word.
  const LongDecimal q = ld_div(make(1, {1}, 0), make(1, {9999}, 4));
  EXPECT_EQ(text(q), text(reference_div(make(1, {1}, 0), make(1, {9999}, 4))));
  EXPECT_TRUE(is_finished(q)) << words(q);
}

// Runs ld_div(1, 0) in a child process and returns what it wrote on standard
// output; status receives the child's wait status.
std::string divide_by_zero_in_child(int& status) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    const LongDecimal q = ld_div(make(1, {1}, 4), LongDecimal{});
    _exit(q[kLdSign] + 10);  // not reached
  }
  close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  waitpid(pid, &status, 0);
  return out;
}

TEST(LdDiv, DivisionByZeroPrintsAndAborts) {
  int status = 0;
  const std::string out = divide_by_zero_in_child(status);
  EXPECT_EQ(out, "Divide by null in Divide");
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGABRT);
}

TEST(LdDivDeathTest, ZeroDivisorCaughtBeforeZeroDividend) {
  EXPECT_DEATH(ld_div(LongDecimal{}, LongDecimal{}), "");
}

TEST(LdNarrow, RoundsOnOneWordWithoutCarry) {
  LongDecimalWide w{};
  w[kLdSign] = -1;
  w[kLdFirstDigit] = 7;
  w[kLdLastDigit] = 9999;
  w[kLdWideExponent] = -12;
  struct Case {
    std::int32_t dropped;
    std::int32_t below;
    std::int32_t last;
  };
  for (const Case c : {Case{4999, 9999, 9999}, Case{5000, 0, kLdBase}, Case{9999, 0, kLdBase}, Case{0, 9999, 9999}}) {
    LongDecimalWide v = w;
    v[kLdLastDigit + 1] = c.dropped;
    v[kLdLastDigit + 2] = c.below;
    LongDecimal r;
    r.fill(5);
    ld_narrow(v, r);
    EXPECT_EQ(words(r), words(with_word(make(-1, {7}, -12), kLdLastDigit, c.last))) << c.dropped;
  }
}

TEST(LdNarrow, RoundedLastWordIsSweptByLaterOperations) {
  // word 34 = 10000 is one unit of word 33; sums and products see its value.
  const LongDecimal r = with_word(with_word(make(1, {1}, 0), kLdLastDigit - 1, 9999), kLdLastDigit, kLdBase);
  const LongDecimal twice = ld_add(r, r);
  EXPECT_EQ(text(twice), text(reference_add(r, r)));
  EXPECT_TRUE(is_finished(twice)) << words(twice);
  const LongDecimal square = ld_mul(r, r);
  EXPECT_EQ(text(square), text(reference_mul(r, r)));
  const LongDecimal one = make(1, {1}, 4);
  EXPECT_EQ(text(ld_mul(r, one)), text(r));
}

TEST(LdSubWide, DifferenceAndRewrittenMinuend) {
  LongDecimalWide a{};
  a[kLdFirstDigit + 1] = 1;  // 10000^-2
  LongDecimalWide b{};
  b[kLdWideLastDigit] = 1;  // 10000^-66
  const LongDecimalWide before = a;
  const LongDecimalWide d = ld_sub_wide(a, b);
  for (int w = 0; w <= kLdFirstDigit + 1; ++w) EXPECT_EQ(d[w], 0) << w;
  for (int w = kLdFirstDigit + 2; w <= kLdWideLastDigit; ++w) EXPECT_EQ(d[w], 9999) << w;
  for (int w = kLdWideLastDigit + 1; w <= kLdWideExponent; ++w) EXPECT_EQ(d[w], 0) << w;
  // a keeps its value in pre-borrowed form: 0, 0, 9999, ..., 9999, 10000.
  EXPECT_NE(a, before);
  EXPECT_EQ(a[kLdFirstDigit + 1], 0);
  EXPECT_EQ(a[kLdFirstDigit + 2], 9999);
  EXPECT_EQ(a[kLdWideLastDigit], kLdBase);
}

// ------------------------------------------------------------ random tests

// One seed per run: LONGDEC_SEED replays a failure.
std::uint64_t test_seed() {
  static const std::uint64_t seed = [] {
    if (const char* env = std::getenv("LONGDEC_SEED")) return static_cast<std::uint64_t>(std::strtoull(env, nullptr, 10));
    return static_cast<std::uint64_t>(std::random_device{}());
  }();
  return seed;
}

class RandomOperands {
 public:
  explicit RandomOperands(std::uint64_t seed) : rng_(seed) {}

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  // A normalised record with a mix of digit patterns that stress carries and
  // borrows: uniform words, mostly zeros, mostly 9999, or a short fraction.
  LongDecimal full(int min_exponent_word, int max_exponent_word) {
    LongDecimal v{};
    v[kLdSign] = uniform(0, 1) != 0 ? 1 : -1;
    const int style = uniform(0, 3);
    const int length = style == 3 ? uniform(1, 6) : kLdLastDigit - 1;
    for (int w = kLdFirstDigit; w < kLdFirstDigit + length; ++w) {
      switch (style) {
        case 1: v[w] = uniform(0, 5) == 0 ? uniform(0, 9999) : 0; break;
        case 2: v[w] = uniform(0, 5) == 0 ? uniform(0, 9999) : 9999; break;
        default: v[w] = uniform(0, 9999); break;
      }
    }
    if (v[kLdFirstDigit] == 0) v[kLdFirstDigit] = uniform(1, 9999);
    v[kLdExponent] = 4 * uniform(min_exponent_word, max_exponent_word);
    return v;
  }

  // The record of a random double with 15 significant digits.
  LongDecimal fifteen_digits(int min_decimal_exponent, int max_decimal_exponent) {
    const long long a = std::uniform_int_distribution<long long>(1, 999999999999999)(rng_);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%llde%d", uniform(0, 1) != 0 ? "-" : "", a,
                  uniform(min_decimal_exponent, max_decimal_exponent));
    return from_double(std::strtod(buffer, nullptr));
  }

 private:
  std::mt19937_64 rng_;
};

std::uint64_t announce_seed() {
  const std::uint64_t seed = test_seed();
  std::cout << "LONGDEC_SEED=" << seed << '\n';
  return seed;
}

TEST(LdArithRandom, FullLengthAgainstReference) {
  const std::uint64_t seed = announce_seed();
  SCOPED_TRACE("LONGDEC_SEED=" + std::to_string(seed));
  RandomOperands gen(seed);
  for (int i = 0; i < 400; ++i) {
    const LongDecimal a = gen.full(-12, 12);
    // b near a's exponent most of the time, sometimes past the 33-word window
    const int spread = gen.uniform(0, 3) == 0 ? 40 : 3;
    LongDecimal b = gen.full(0, 0);
    b[kLdExponent] = a[kLdExponent] + 4 * gen.uniform(-spread, spread);
    SCOPED_TRACE("a = " + words(a) + "\nb = " + words(b));

    const LongDecimal sum = ld_add(a, b);
    ASSERT_TRUE(is_finished(sum)) << words(sum);
    ASSERT_EQ(text(sum), text(reference_add(a, b)));
    const LongDecimal difference = ld_add(a, ld_negate(b));
    ASSERT_TRUE(is_finished(difference)) << words(difference);
    ASSERT_EQ(text(difference), text(reference_add(a, ld_negate(b))));

    const LongDecimal product = ld_mul(a, b);
    ASSERT_TRUE(is_finished(product)) << words(product);
    ASSERT_EQ(text(product), text(reference_mul(a, b)));
    ASSERT_EQ(product, ld_mul(b, a));

    if (i % 2 == 0) {
      const LongDecimal quotient = ld_div(a, b);
      ASSERT_TRUE(is_finished(quotient)) << words(quotient);
      ASSERT_EQ(text(quotient), text(reference_div(a, b)));
    }
  }
}

TEST(LdArithRandom, CancellingSumsAgainstReference) {
  // Operands that agree in their leading words: long borrows and normalisation.
  const std::uint64_t seed = announce_seed();
  SCOPED_TRACE("LONGDEC_SEED=" + std::to_string(seed));
  RandomOperands gen(seed);
  for (int i = 0; i < 300; ++i) {
    const LongDecimal a = gen.full(-3, 3);
    LongDecimal b = ld_negate(a);
    const int keep = gen.uniform(1, kLdLastDigit - 1);
    for (int w = kLdFirstDigit + keep; w <= kLdLastDigit; ++w) b[w] = gen.uniform(0, 9999);
    SCOPED_TRACE("a = " + words(a) + "\nb = " + words(b));
    const LongDecimal sum = ld_add(a, b);
    ASSERT_TRUE(is_finished(sum)) << words(sum);
    ASSERT_EQ(text(sum), text(reference_add(a, b)));
  }
}

TEST(LdArithRandom, IdentitiesOnFifteenDigitOperands) {
  const std::uint64_t seed = announce_seed();
  SCOPED_TRACE("LONGDEC_SEED=" + std::to_string(seed));
  RandomOperands gen(seed);
  for (int i = 0; i < 2000; ++i) {
    const LongDecimal a = gen.fifteen_digits(-40, 40);
    const LongDecimal b = gen.fifteen_digits(-40, 40);
    SCOPED_TRACE("a = " + words(a) + "\nb = " + words(b));

    // Products of 15-digit values are exact, so dividing back is exact.
    const LongDecimal product = ld_mul(a, b);
    ASSERT_EQ(text(product), text(reference_mul(a, b)));
    ASSERT_EQ(words(ld_div(product, b)), words(a));

    // Within the 33-word window the sum is exact, so is the way back.
    const LongDecimal sum = ld_add(a, b);
    ASSERT_EQ(text(sum), text(reference_add(a, b)));
    ASSERT_EQ(words(ld_add(sum, ld_negate(b))), words(a));

    // a / b * b comes back to within about 10^-127 relative.
    const LongDecimal back = ld_mul(ld_div(a, b), b);
    const LongDecimal error = ld_add(back, ld_negate(a));
    if (!ld_is_zero(error)) {
      ASSERT_LE(error[kLdExponent], a[kLdExponent] - 124) << words(error);
    }
  }
}

}  // namespace
