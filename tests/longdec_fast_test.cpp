// ld_add, ld_mul and ld_div against the plain word-by-word versions kept in
// tests/longdec_reference.h, all 36 words compared, on random operands of every
// shape the solvers make and of some they never make: short and full
// fractions, runs of 0 and 9999, small leading words, 10000 in word 34, wide
// exponent gaps, cancelling sums, exact and near-exact quotients, values from
// chains of operations and from random doubles, unnormalised fractions.
// Each random test prints its seed; LONGDEC_SEED=<n> replays it.
//
//   operand source   Operands (digit, record, decimal, odd, any, keep)
//   helpers          seed_for_test, words, from_text, Mismatches
//   tests            random operands per operation, constructed cases
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "longdec/longdec.h"
#include "tests/longdec_reference.h"
#include "textout/textout.h"

namespace {

// Pairs per random test: a few seconds in all against the plain versions
// (a plain division costs some 15 us, a plain product 2.5 us).
constexpr int kAddPairs = 1500000;
constexpr int kMulPairs = 300000;
constexpr int kDivPairs = 100000;
constexpr int kChainSteps = 10000;

// Failures reported in full before a test stops comparing.
constexpr int kMaxReportedFailures = 5;

std::uint64_t seed_for_test(const char* name) {
  std::uint64_t seed = 0;
  if (const char* text = std::getenv("LONGDEC_SEED"); text != nullptr && *text != '\0') {
    seed = std::strtoull(text, nullptr, 10);
  } else {
    seed = (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  }
  textout::out_printf(stdout, "%s: LONGDEC_SEED=%llu\n", name, static_cast<unsigned long long>(seed));
  return seed;
}

std::string words(const LongDecimal& v) {
  std::string s = "{";
  for (const std::int32_t w : v) {
    s += ' ';
    s += std::to_string(w);
  }
  return s + " }";
}

// A fraction of up to 132 decimal digits, four per word from word 2 on.
LongDecimal from_text(int sign, const std::string& digits, int exponent) {
  LongDecimal v{};
  v[kLdSign] = sign;
  for (std::size_t g = 0; g * kLdDigitsPerWord < digits.size(); ++g) {
    v[kLdFirstDigit + g] = std::stoi(digits.substr(g * kLdDigitsPerWord, kLdDigitsPerWord));
  }
  v[kLdExponent] = exponent;
  return v;
}

// Counts mismatches and reports the first few with their operands.
class Mismatches {
 public:
  explicit Mismatches(const char* op) : op_(op) {}

  // False once enough failures have been reported to stop the test.
  bool check(const LongDecimal& a, const LongDecimal& b, const LongDecimal& fast, const LongDecimal& plain) {
    if (fast == plain) return true;
    if (++count_ <= kMaxReportedFailures) {
      ADD_FAILURE() << op_ << "\n  a     " << words(a) << "\n  b     " << words(b) << "\n  fast  " << words(fast)
                    << "\n  plain " << words(plain);
    }
    return count_ < kMaxReportedFailures;
  }

 private:
  const char* op_;
  int count_ = 0;
};

// Random operands. Words are drawn so that 0, 9999 and their runs, small
// leading words, 10000 in word 34 and short fractions all come up often.
class Operands {
 public:
  explicit Operands(std::uint64_t seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
  int sign() { return chance(50) ? 1 : -1; }
  // An exponent, a multiple of 4; now and then far from the others.
  int exponent() { return kLdDigitsPerWord * (chance(15) ? below(81) - 40 : below(9) - 4); }

  std::int32_t digit() {
    switch (below(10)) {
      case 0:
      case 1:
        return 0;
      case 2:
      case 3:
        return kLdBase - 1;
      case 4:
        return chance(50) ? 4999 : 5000;
      default:
        return below(kLdBase);
    }
  }

  // A normalised record with random words over a random length.
  LongDecimal record() {
    LongDecimal v{};
    v[kLdSign] = sign();
    const int length = chance(40) ? kLdLastDigit - 1 : 1 + below(kLdLastDigit - 1);
    v[kLdFirstDigit] = chance(20) ? 1 + below(9) : 1 + below(kLdBase - 1);
    const int run_from = chance(15) ? kLdFirstDigit + below(kLdLastDigit - 1) : kLdLastDigit + 1;
    for (int w = kLdFirstDigit + 1; w <= kLdFirstDigit + length - 1; ++w) v[w] = w >= run_from ? kLdBase - 1 : digit();
    if (chance(8)) v[kLdLastDigit] = kLdBase;  // as a rounded product or quotient may leave it
    v[kLdExponent] = exponent();
    return v;
  }

  // The record of a random double: 15 significant digits, up to five words.
  LongDecimal decimal() {
    const double mantissa = 1.0 + static_cast<double>(rng_() >> 11) * 0x1p-53 * 9.0;
    double x = mantissa;
    for (int e = below(31) - 15; e != 0; e += e > 0 ? -1 : 1) x = e > 0 ? x * 10.0 : x / 10.0;
    if (chance(10)) x = static_cast<double>(1 + below(1000)) / static_cast<double>(1 + below(30));
    LongDecimal v;
    ld_from_double(sign() * x, v);
    return v;
  }

  // Records no operation makes but every operation accepts: leading zero
  // words, the fraction 1 written as 9999..9999,10000, and, never as a
  // divisor, a zero fraction under a non-zero sign and a zero sign over
  // non-zero words (which counts as zero).
  LongDecimal odd(bool as_divisor) {
    LongDecimal v = record();
    switch (below(as_divisor ? 2 : 4)) {
      case 0:
        ld_shift_right(v, kLdDigitsPerWord * (1 + below(3)));
        v[kLdExponent] = exponent();
        break;
      case 1:
        for (int w = kLdFirstDigit; w < kLdLastDigit; ++w) v[w] = kLdBase - 1;
        v[kLdLastDigit] = kLdBase;
        break;
      case 2:
        for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) v[w] = 0;
        break;
      default:
        v[kLdSign] = 0;
        break;
    }
    return v;
  }

  LongDecimal any(bool as_divisor = false) {
    const int pick = below(100);
    if (pick < 35) return record();
    if (pick < 60) return decimal();
    if (pick < 95 && !pool_.empty()) return pool_[static_cast<std::size_t>(below(static_cast<int>(pool_.size())))];
    return odd(as_divisor);
  }

  // Results feed later operands, as in the solvers' chains; the pool holds
  // non-zero finished values only, so it can also supply divisors.
  void keep(const LongDecimal& v) {
    if (ld_is_zero(v) || v[kLdFirstDigit] == 0) return;
    constexpr std::size_t kPoolSize = 64;
    if (pool_.size() < kPoolSize) {
      pool_.push_back(v);
    } else {
      pool_[static_cast<std::size_t>(below(static_cast<int>(kPoolSize)))] = v;
    }
  }

 private:
  std::mt19937_64 rng_;
  std::vector<LongDecimal> pool_;
};

// A second operand close to a: the same words with one word nudged or the
// tail cut, the exponent moved by up to 36 words, either sign. Sums of such
// pairs cancel deeply and carry far.
LongDecimal near(Operands& src, const LongDecimal& a) {
  LongDecimal b = a;
  b[kLdSign] = src.sign();
  const int w = kLdFirstDigit + src.below(kLdLastDigit - 1);
  switch (src.below(3)) {
    case 0:
      b[w] = b[w] > 0 ? b[w] - 1 : 1;
      break;
    case 1:
      for (int k = w; k <= kLdLastDigit; ++k) b[k] = 0;
      if (b[kLdFirstDigit] == 0) b[kLdFirstDigit] = 1;
      break;
    default:
      break;
  }
  if (src.chance(50)) b[kLdExponent] += kLdDigitsPerWord * src.below(37);
  return b;
}

// --------------------------------------------------------- random operands

TEST(LdFastAdd, MatchesWordByWordOnRandomOperands) {
  Operands src(seed_for_test("LdFastAdd"));
  Mismatches bad("ld_add");
  for (int i = 0; i < kAddPairs; ++i) {
    const LongDecimal a = src.any();
    const LongDecimal b = src.chance(40) ? near(src, a) : src.any();
    const LongDecimal r = ld_add(a, b);
    if (!bad.check(a, b, r, ref_ld_add(a, b))) return;
    src.keep(r);
  }
}

TEST(LdFastMul, MatchesWordByWordOnRandomOperands) {
  Operands src(seed_for_test("LdFastMul"));
  Mismatches bad("ld_mul");
  for (int i = 0; i < kMulPairs; ++i) {
    const LongDecimal a = src.any();
    const LongDecimal b = src.any();
    const LongDecimal r = ld_mul(a, b);
    if (!bad.check(a, b, r, ref_ld_mul(a, b))) return;
    src.keep(r);
  }
}

TEST(LdFastDiv, MatchesWordByWordOnRandomOperands) {
  Operands src(seed_for_test("LdFastDiv"));
  Mismatches bad("ld_div");
  for (int i = 0; i < kDivPairs; ++i) {
    const LongDecimal b = src.any(true);
    LongDecimal a;
    switch (src.below(6)) {
      case 0:  // an exact quotient, or nearly: a product of b and a short factor
        a = ld_mul(b, src.decimal());
        break;
      case 1:  // b itself, or b with one word nudged
        a = src.chance(50) ? b : near(src, b);
        break;
      default:
        a = src.any();
        break;
    }
    const LongDecimal r = ld_div(a, b);
    if (!bad.check(a, b, r, ref_ld_div(a, b))) return;
    src.keep(r);
  }
}

// The tridiagonal sweep's recurrence, l' = -c / (a*l + b), p' = (d - a*p) / (a*l + b),
// run on the fast and the plain operations side by side.
TEST(LdFastChain, SweepRecurrenceStaysWordIdentical) {
  Operands src(seed_for_test("LdFastChain"));
  LongDecimal l{}, p{}, l_plain{}, p_plain{};
  for (int i = 0; i < kChainSteps; ++i) {
    const LongDecimal a = src.decimal(), b = src.decimal(), c = src.decimal(), d = src.decimal();
    const LongDecimal den = ld_add(ld_mul(a, l), b);
    const LongDecimal den_plain = ref_ld_add(ref_ld_mul(a, l_plain), b);
    ASSERT_EQ(den, den_plain) << "step " << i;
    if (ld_is_zero(den)) continue;
    l = ld_negate(ld_div(c, den));
    p = ld_div(ld_add(d, ld_negate(ld_mul(a, p))), den);
    l_plain = ld_negate(ref_ld_div(c, den_plain));
    p_plain = ref_ld_div(ref_ld_add(d, ld_negate(ref_ld_mul(a, p_plain))), den_plain);
    ASSERT_EQ(l, l_plain) << "step " << i;
    ASSERT_EQ(p, p_plain) << "step " << i;
    if (src.chance(5)) l = l_plain = LongDecimal{};  // restart now and then
  }
}

// ------------------------------------------------------- constructed cases

// Quotients whose 34th word is 4999 with the dividend below the divisor. The
// plain division takes its 35th word, the rounding word, with a divisor whose
// last word has fallen away; that word is then 4999 or 5000 (9999 or 10000)
// by how close the exact remainder lies to the divisor. Built so that the
// exact remainder sits at or next to the edge.
TEST(LdFastDiv, RoundingWordOfTheTruncatedDivisor) {
  struct Case {
    const char* name;
    const char* dividend;
    const char* divisor;
    std::int32_t q34;      // last exact word kept
    bool rounds_up;        // whether the rounding word reaches 5000
  };
  const Case cases[] = {
      {"remainder at the edge",
       "2157171606618632312518951023231123485912382015833467396555437187840843844499861322995205871637213838039767"
       "70197024814729111950571075",
       "6100932510334179193181177364773762193439153779930464638670909952003472974363374896851674520005010365041688"
       "70015062453548691504754999",
       5000, true},
      {"remainder one past the edge",
       "2602507772292169038282198656948764609074341269331093276345793579878469894370613475231231389426634481568570"
       "92006144558292840652773407",
       "5463150013905915277050484121992734769941058595222594705664478340609589157288822543940588044959647616521762"
       "26694086132694918329070009",
       6111, true},
      {"remainder one short of the edge",
       "4698349031424292967750295687765753012521899372357692619623801632690949030196549667788228844431111211573871"
       "52697515937972544264297750",
       "6949970989162136606198947766951610739922021576874249902438393141770488639005780465062467379924848571638802"
       "48104926119684070149350001",
       5001, false},
      {"rounding word 10000",
       "0153807593512876870591218248394290079339304761941989991088653601483010127960826874883755370488380544717629"
       "45781980026586127698630053",
       "6933496916906489784525391476108903246579900147410964363685258792590245332828173942883512042042644452316927"
       "00507647456101142099260013",
       0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LongDecimal a = from_text(1, c.dividend, 0);
    const LongDecimal b = from_text(-1, c.divisor, 8);
    const LongDecimal plain = ref_ld_div(a, b);
    EXPECT_EQ(plain[kLdLastDigit], c.q34 + (c.rounds_up ? 1 : 0));
    EXPECT_EQ(ld_div(a, b), plain) << words(ld_div(a, b));
  }
}

// Sums of opposite signs whose words differ though their values are equal or
// nearly so, and carries that run through every word into word 1.
TEST(LdFastAdd, EdgeWordsTable) {
  LongDecimal one_up{};  // 0.0001 0000 ... : c+1 then zeros
  one_up[kLdSign] = 1;
  one_up[kLdFirstDigit] = 2;
  one_up[kLdExponent] = 4;
  LongDecimal one_below = one_up;  // c, 9999 .. 9999, 10000: the same value
  one_below[kLdSign] = -1;
  one_below[kLdFirstDigit] = 1;
  for (int w = kLdFirstDigit + 1; w < kLdLastDigit; ++w) one_below[w] = kLdBase - 1;
  one_below[kLdLastDigit] = kLdBase;
  LongDecimal nines = one_below;  // 0.9999..9999 plus 10000 in word 34: the fraction 1
  nines[kLdSign] = 1;
  nines[kLdFirstDigit] = kLdBase - 1;
  LongDecimal last_unit{};
  last_unit[kLdSign] = 1;
  last_unit[kLdLastDigit] = 1;
  last_unit[kLdExponent] = 4;
  LongDecimal nines_short = nines;
  nines_short[kLdLastDigit] = kLdBase - 1;
  LongDecimal far_below = one_up;  // aligned to nothing against the others
  far_below[kLdExponent] -= 35 * kLdDigitsPerWord;

  const std::array<std::array<LongDecimal, 2>, 9> pairs = {{
      {one_up, one_below},
      {one_below, one_up},
      {nines, nines},
      {nines, ld_negate(nines)},
      {nines_short, last_unit},
      {nines_short, ld_negate(last_unit)},
      {ld_negate(nines), one_up},
      {nines, ld_negate(far_below)},  // a difference of exactly 1 loses its leading word
      {far_below, nines},
  }};
  for (const auto& [a, b] : pairs) {
    EXPECT_EQ(ld_add(a, b), ref_ld_add(a, b)) << words(a) << " + " << words(b);
    EXPECT_EQ(ld_mul(a, b), ref_ld_mul(a, b)) << words(a) << " * " << words(b);
  }
  EXPECT_EQ(ld_add(one_up, one_below), LongDecimal{});
}

}  // namespace
