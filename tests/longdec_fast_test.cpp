// ld_add, ld_mul and ld_div against the plain word-by-word versions kept in
// tests/longdec_reference.h, all 36 words compared: on random operands of
// every shape the solvers make and of some they never make, and on
// constructed cases too rare to come up at random.
// Each random test prints its seed; LONGDEC_SEED=<n> replays it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "longdec/longdec.h"
#include "longdec/longdec_wordwise.h"
#include "textout/textout.h"

namespace {

std::uint64_t seed_for_test(const char* name) {
  const char* text = std::getenv("LONGDEC_SEED");
  const std::uint64_t seed = text != nullptr && *text != '\0'
                                 ? std::strtoull(text, nullptr, 10)
                                 : (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  textout::out_printf(stdout, "%s: LONGDEC_SEED=%llu\n", name, static_cast<unsigned long long>(seed));
  return seed;
}

// A fraction of up to 132 decimal digits, four per word from word 2 on, and
// word 34 set apart when last_word is given.
LongDecimal from_text(int sign, const std::string& digits, int exponent, std::int32_t last_word = -1) {
  LongDecimal v{};
  v[kLdSign] = sign;
  for (std::size_t g = 0; g * kLdDigitsPerWord < digits.size(); ++g) {
    v[kLdFirstDigit + g] = std::stoi(digits.substr(g * kLdDigitsPerWord, kLdDigitsPerWord));
  }
  v[kLdExponent] = exponent;
  if (last_word >= 0) v[kLdLastDigit] = last_word;
  return v;
}

// Random operands: words 0, 9999, 4999 and 5000 and runs of 9999, small
// leading words, short fractions, 10000 in word 34, exponents near and far,
// values of random doubles, earlier results, and records no operation makes.
class Operands {
 public:
  explicit Operands(std::uint64_t seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
  int sign() { return chance(50) ? 1 : -1; }

  LongDecimal record() {
    const std::int32_t special[] = {0, 0, kLdBase - 1, kLdBase - 1, 4999, 5000};
    LongDecimal v{};
    v[kLdSign] = sign();
    v[kLdFirstDigit] = chance(20) ? 1 + below(9) : 1 + below(kLdBase - 1);
    const int length = chance(40) ? kLdLastDigit - 1 : 1 + below(kLdLastDigit - 1);
    const int run_from = chance(15) ? kLdFirstDigit + below(kLdLastDigit - 1) : kLdLastDigit + 1;
    for (int w = kLdFirstDigit + 1; w < kLdFirstDigit + length; ++w) {
      const int pick = below(10);
      v[w] = w >= run_from ? kLdBase - 1 : pick < 6 ? special[pick] : below(kLdBase);
    }
    if (chance(8)) v[kLdLastDigit] = kLdBase;  // as a rounded product or quotient may leave it
    v[kLdExponent] = kLdDigitsPerWord * (chance(15) ? below(81) - 40 : below(9) - 4);
    return v;
  }

  LongDecimal decimal() {
    double x = 1.0 + static_cast<double>(rng_() >> 11) * 0x1p-53 * 9.0;
    for (int e = below(31) - 15; e != 0; e += e > 0 ? -1 : 1) x = e > 0 ? x * 10.0 : x / 10.0;
    if (chance(10)) x = static_cast<double>(1 + below(1000)) / static_cast<double>(1 + below(30));
    LongDecimal v;
    ld_from_double(sign() * x, v);
    return v;
  }

  LongDecimal any(bool as_divisor = false) {
    const int pick = below(100);
    if (pick < 35) return record();
    if (pick < 60) return decimal();
    if (pick < 95 && !pool_.empty()) return pool_[static_cast<std::size_t>(below(static_cast<int>(pool_.size())))];
    // Records no operation makes: leading zero words, the fraction 1 written as
    // 9999..9999,10000 and, never as a divisor, a zero fraction under a
    // non-zero sign or a zero sign over non-zero words.
    LongDecimal v = record();
    const int kind = below(as_divisor ? 2 : 4);
    if (kind == 0) ld_shift_right(v, kLdDigitsPerWord * (1 + below(3)));
    if (kind == 1 || kind == 2) std::fill(v.begin() + kLdFirstDigit, v.end() - 1, kind == 1 ? kLdBase - 1 : 0);
    if (kind == 1) v[kLdLastDigit] = kLdBase;
    if (kind == 3) v[kLdSign] = 0;
    return v;
  }

  // b close to a: one word nudged or the tail cut, either sign, the exponent
  // moved by up to 36 words. Sums of such pairs cancel deeply and carry far.
  LongDecimal near(const LongDecimal& a) {
    LongDecimal b = a;
    b[kLdSign] = sign();
    const int w = kLdFirstDigit + below(kLdLastDigit - 1);
    if (chance(33)) b[w] = b[w] > 0 ? b[w] - 1 : 1;
    if (chance(33)) std::fill(b.begin() + w, b.end() - 1, 0);
    if (b[kLdFirstDigit] == 0) b[kLdFirstDigit] = 1;
    if (chance(50)) b[kLdExponent] += kLdDigitsPerWord * below(37);
    return b;
  }

  // Non-zero finished results feed later operands, as in the solvers' chains.
  void keep(const LongDecimal& v) {
    if (ld_is_zero(v) || v[kLdFirstDigit] == 0) return;
    if (pool_.size() < 64) pool_.push_back(v);
    else pool_[static_cast<std::size_t>(below(64))] = v;
  }

 private:
  std::mt19937_64 rng_;
  std::vector<LongDecimal> pool_;
};

using Operation = LongDecimal (*)(const LongDecimal&, const LongDecimal&);

// Stops at the first mismatch; its seed replays it.
TEST(LdFast, MatchesWordByWordOnRandomOperands) {
  const struct {
    const char* name;
    Operation fast, plain;
    int pairs;  // a plain quotient costs some 15 us, a plain product 2.5 us
  } cases[] = {{"ld_add", ld_add, ld_internal::add_by_words, 800000},
               {"ld_mul", ld_mul, ld_internal::multiply_by_words, 150000},
               {"ld_div", ld_div, ld_internal::divide_by_words, 50000}};
  for (const auto& c : cases) {
    Operands src(seed_for_test(c.name));
    const bool div = c.fast == ld_div;
    for (int i = 0; i < c.pairs && !HasFailure(); ++i) {
      const LongDecimal b = src.any(div);
      LongDecimal a = src.any();
      // Pairs close in value: deep cancellation, exact or near-exact quotients.
      if (src.chance(40)) a = div && src.chance(50) ? ld_mul(b, src.decimal()) : src.near(b);
      const LongDecimal r = c.fast(a, b);
      EXPECT_EQ(r, c.plain(a, b)) << c.name << " of\n  " << testing::PrintToString(a) << "\n  "
                                  << testing::PrintToString(b);
      src.keep(r);
    }
  }
}

// Quotients whose 34th word is 4999 with the dividend below the divisor. The
// plain division takes its 35th word, the rounding word, with a divisor whose
// last word has fallen away; that word is then 4999 or 5000 (9999 or 10000)
// by how close the exact remainder lies to the divisor. Built so that the
// exact remainder sits at or next to the edge.
TEST(LdFast, DivisionRoundingWordOfTheTruncatedDivisor) {
  struct Case {
    const char* name;
    const char* dividend;
    const char* divisor;
    std::int32_t q34;  // last exact word kept
    bool rounds_up;    // whether the rounding word reaches 5000
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
    const LongDecimal plain = ld_internal::divide_by_words(a, b);
    EXPECT_EQ(plain[kLdLastDigit], c.q34 + (c.rounds_up ? 1 : 0));
    EXPECT_EQ(ld_div(a, b), plain);
  }
}

// Records whose words differ though their values are equal or nearly so
// (c+1,0..0 against c,9999..9999,10000), 10000 in word 34, and carries that
// run through every word into word 1.
TEST(LdFast, EdgeWordsOfSumsAndProducts) {
  const std::string nines(4 * 31, '9');  // words 3..33
  const LongDecimal one_up = from_text(1, "0002", 4);
  const LongDecimal one_below = from_text(-1, "0001" + nines, 4, kLdBase);
  const LongDecimal fraction_one = from_text(1, "9999" + nines, 4, kLdBase);  // exactly 1
  const LongDecimal nines_short = from_text(1, "9999" + nines, 4, kLdBase - 1);
  const LongDecimal last_unit = from_text(1, "", 4, 1);
  const LongDecimal far_below = from_text(1, "0002", 4 - 35 * kLdDigitsPerWord);  // aligned to nothing

  const LongDecimal pairs[][2] = {
      {one_up, one_below},
      {one_below, one_up},
      {fraction_one, fraction_one},
      {fraction_one, ld_negate(fraction_one)},
      {nines_short, last_unit},
      {nines_short, ld_negate(last_unit)},
      {ld_negate(fraction_one), one_up},
      {fraction_one, ld_negate(far_below)},  // a difference of exactly 1 loses its leading word
      {far_below, fraction_one},
  };
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(testing::PrintToString(a) + " and " + testing::PrintToString(b));
    EXPECT_EQ(ld_add(a, b), ld_internal::add_by_words(a, b));
    EXPECT_EQ(ld_mul(a, b), ld_internal::multiply_by_words(a, b));
  }
  EXPECT_EQ(ld_add(one_up, one_below), LongDecimal{});
}

}  // namespace
