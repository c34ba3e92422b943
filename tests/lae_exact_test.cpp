// LAE_Solver_exact: exact solutions of systems with known rational answers,
// correct rounding against an independent check (IEEE division for order 1,
// exact distances to the neighbouring doubles otherwise), halfway cases,
// singular consistent and inconsistent systems, the double range's edges,
// and random systems against an independent rational elimination.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "lae/lae_solvers.h"
#include "lae_test_support.h"

namespace {

using lae_test::exact;
using lae_test::Rows;
using lae_test::Vec;

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
const double kThird = 1.0 / 3.0;
const double kTwoThirds = 2.0 / 3.0;  // exactly 2 * kThird

struct Solved {
  int ier;
  Vec X;  // X(1..n)
};

Solved solve_exact(const Rows& A, const Vec& b) {
  int n = static_cast<int>(A.size());
  const Vec flat_a = lae_test::flat(A, NAN);
  const Vec flat_b = lae_test::one_based(b);
  Vec X(flat_b.size(), 7.5);
  int ier = -7;
  LAE_Solver_exact(&n, flat_a.data(), flat_b.data(), X.data(), &ier);
  return {ier, Vec(X.begin() + 1, X.end())};
}

TEST(LaeExact, KnownSolutions) {
  const double p53 = std::ldexp(1.0, -53);
  struct Case {
    const char* name;
    Rows A;
    Vec b;
    int ier;
    Vec X;
  };
  const Case cases[] = {
      {"3x3 with solution (1, 2, 3)", {{4, 1, 0}, {1, 5, 2}, {0, 2, 6}}, {6, 17, 22}, LAE_IER_OK, {1, 2, 3}},
      // 1-norm condition 100.6; exact zeros in the solution must stay zeros.
      {"5x5 integers, solution (1, 0, 2, 0, 3)",
       {{0, 9, -6, -7, 9}, {-3, -2, -2, 7, -8}, {-2, -7, 1, -6, -8}, {-3, -4, 0, 1, -7}, {5, 9, -4, -9, 1}},
       {15, -31, -24, -24, 0},
       LAE_IER_OK,
       {1, 0, 2, 0, 3}},
      // 3/5 and -1/5 are not doubles: each comes back as the double literal.
      {"rational (3/5, -1/5)", {{2, 1}, {1, 3}}, {1, 0}, LAE_IER_OK, {0.6, -0.2}},
      {"1e-300 and 1e300 in one row", {{1e-300, 1e300}, {0, 1e300}}, {2e-300, 0}, LAE_IER_OK, {2, 0}},
      // x1 = u + v halfway between two doubles: ties to even, both ways.
      {"1 + 2^-53 ties down", {{1, -1}, {0, 1}}, {1, p53}, LAE_IER_OK, {1, p53}},
      {"1 + 3*2^-53 ties up", {{1, -1}, {0, 1}}, {1, 3 * p53}, LAE_IER_OK, {1 + 4 * p53, 3 * p53}},
      {"just above half", {{1, -1}, {0, 1}}, {1, p53 + p53 * p53 * 2}, LAE_IER_OK, {1 + 2 * p53, p53 + p53 * p53 * 2}},
      {"just below half", {{1, -1}, {0, 1}}, {-1, -p53 + p53 * p53}, LAE_IER_OK, {-1, -p53 + p53 * p53}},
      {"halfway to 2^1024 overflows",
       {{1, -1}, {0, 1}},
       {kMax, std::ldexp(1.0, 970)},
       LAE_IER_OVERFLOW,
       {0, std::ldexp(1.0, 970)}},
      {"below halfway to 2^1024",
       {{1, -1}, {0, 1}},
       {kMax, std::ldexp(1.0, 969)},
       LAE_IER_OK,
       {kMax, std::ldexp(1.0, 969)}},
      {"1e600 overflows", {{1e-300, 0}, {0, 1}}, {1e300, 5}, LAE_IER_OVERFLOW, {0, 5}},
      {"1e-600 rounds to zero", {{1e300}}, {1e-300}, LAE_IER_OK, {0}},
      {"subnormal tie to zero", {{2}}, {kTiny}, LAE_IER_OK, {0}},
      {"subnormal tie to two units", {{2}}, {3 * kTiny}, LAE_IER_OK, {2 * kTiny}},
      {"inconsistent: (fl(1/3), 1) and twice that", {{kThird, 1}, {kTwoThirds, 2}}, {1, 3}, LAE_IER_FAILED, {0, 0}},
      {"consistent: x2 free", {{kThird, 1}, {kTwoThirds, 2}}, {1, 2}, LAE_IER_SINGULAR_CONSISTENT, {1 / kThird, 0}},
      {"first column free", {{0, 1, 2}, {0, 2, 4}, {0, 1, 1}}, {3, 6, 2}, LAE_IER_SINGULAR_CONSISTENT, {0, 1, 1}},
      {"middle column free", {{1, 1, 1}, {1, 1, 2}, {2, 2, 3}}, {3, 4, 7}, LAE_IER_SINGULAR_CONSISTENT, {2, 0, 1}},
      {"middle column free, inconsistent", {{1, 1, 1}, {1, 1, 2}, {2, 2, 3}}, {3, 4, 8}, LAE_IER_FAILED, {0, 0, 0}},
      {"zero matrix, zero b", {{0, 0}, {0, 0}}, {0, 0}, LAE_IER_SINGULAR_CONSISTENT, {0, 0}},
      {"zero matrix", {{0, 0}, {0, 0}}, {0, 1}, LAE_IER_FAILED, {0, 0}},
      {"singular, solution beyond the range", {{1e-300, 0}, {0, 0}}, {1e300, 0}, LAE_IER_SINGULAR_CONSISTENT, {0, 0}},
      {"infinity in A", {{INFINITY, 1}, {1, 1}}, {1, 1}, LAE_IER_FAILED, {0, 0}},
      {"NaN in b", {{1, 0}, {0, 1}}, {1, NAN}, LAE_IER_FAILED, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Solved r = solve_exact(c.A, c.b);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.X, c.X);
  }
}

// A random double: a random 53-bit significand, or a short one (so that
// quotients are often exact or halfway), times 2^e for e in [lo, hi].
double random_double(std::mt19937_64& gen, int lo, int hi) {
  const bool short_significand = gen() % 4 == 0;
  const std::uint64_t bits = short_significand ? gen() % 8 : gen() >> 11;
  const double significand = static_cast<double>(bits | (std::uint64_t{1} << 52)) * std::ldexp(1.0, -52);
  const int e = lo + static_cast<int>(gen() % static_cast<std::uint64_t>(hi - lo + 1));
  return (gen() % 2 == 0 ? 1 : -1) * std::ldexp(significand, e);
}

// Order 1 is b/a, and IEEE division rounds it correctly: overflow, subnormal
// results and ties included.
TEST(LaeExact, OrderOneIsTheIeeeQuotient) {
  const unsigned seed = lae_test::test_seed(4417u);
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 gen(seed);
  for (int t = 0; t < 20000; ++t) {
    const double a = random_double(gen, -1074, 1023);
    const double b = random_double(gen, -1074, 1023);
    const double q = b / a;
    const Solved r = solve_exact({{a}}, {b});
    ASSERT_EQ(r.ier, std::isinf(q) ? LAE_IER_OVERFLOW : LAE_IER_OK) << b << " / " << a;
    ASSERT_EQ(r.X[0], std::isinf(q) ? 0.0 : q) << b << " / " << a;
  }
}

// x with A x = b by Gauss-Jordan over the rationals; nothing when singular.
std::optional<std::vector<mpq_class>> rational_solution(const Rows& A, const Vec& b) {
  const std::size_t n = A.size();
  std::vector<std::vector<mpq_class>> M(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (const double a : A[i]) M[i].push_back(exact(a));
    M[i].push_back(exact(b[i]));
  }
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    while (p < n && M[p][c] == 0) ++p;
    if (p == n) return std::nullopt;
    std::swap(M[c], M[p]);
    for (std::size_t i = 0; i < n; ++i) {
      if (i == c || M[i][c] == 0) continue;
      const mpq_class f = M[i][c] / M[c][c];
      for (std::size_t j = c; j <= n; ++j) M[i][j] -= f * M[c][j];
    }
  }
  std::vector<mpq_class> x;
  for (std::size_t i = 0; i < n; ++i) x.push_back(M[i][n] / M[i][i]);
  return x;
}

// Random dense systems of orders up to 40, the smaller ones with entries from
// 1e-300 to 1e300 (2^+-1000): each component is the nearest double to the
// independent rational solution, or 0 with ier 3 where that lies beyond the
// doubles. (Order 40 over the whole range takes the solver seconds and the
// reference minutes, so it is left out.)
TEST(LaeExact, RandomSystemsRoundTheRationalSolution) {
  const unsigned seed = lae_test::test_seed(90210u);
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937_64 gen(seed);
  const struct {
    int n, range;  // order, and the largest binary exponent of an entry
  } sizes[] = {{2, 1000}, {3, 1000}, {5, 1000}, {8, 1000}, {3, 4}, {8, 4}, {40, 4}};
  for (const auto [n, range] : sizes) {
    SCOPED_TRACE("n=" + std::to_string(n) + ", exponents within +-" + std::to_string(range));
    Rows A(n, Vec(n));
    Vec b(n);
    for (int i = 0; i < n; ++i) {
      for (double& a : A[i]) a = random_double(gen, -range, range);
      b[i] = random_double(gen, -range, range);
    }
    const auto x = rational_solution(A, b);
    ASSERT_TRUE(x.has_value());
    const Solved r = solve_exact(A, b);
    bool overflow = false;
    for (int k = 0; k < n; ++k) {
      const bool beyond = lae_test::beyond_doubles((*x)[k]);
      overflow = overflow || beyond;
      EXPECT_TRUE(beyond ? r.X[k] == 0.0 : lae_test::is_nearest((*x)[k], r.X[k])) << "component " << k + 1;
    }
    EXPECT_EQ(r.ier, overflow ? LAE_IER_OVERFLOW : LAE_IER_OK);
  }
}

}  // namespace
