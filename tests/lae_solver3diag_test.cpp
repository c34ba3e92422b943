// LAE_Solver_3diag: worked examples, the zero-diagonal and zero-denominator
// failures, limits, the band layout, the precision verdict and random bands.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "lae/lae_solvers.h"

namespace {

using Band = std::vector<std::array<double, 3>>;  // (a_i, b_i, c_i) per row

constexpr double kUnset = 7.5;  // sentinel: an entry the solver must not write
constexpr int kUnsetIer = -7;

const std::string kPoiZero = "poi=0.000000e+000\n";

struct Outcome {
  int ier = kUnsetIer;
  std::vector<double> X;  // X(1..n)
  std::string out;
};

// Row i of the band at flat indices i*n + 1..3; column 4 and beyond of each
// row hold `outside`, which the solver must never read. With n = 2 the
// stride is shorter than the band: c_1 and a_2 share index 5, so a 2x2 band
// must have c_1 = a_2.
std::vector<double> flat(const Band& band, double outside = 0.0) {
  const int n = static_cast<int>(band.size());
  std::vector<double> a(static_cast<std::size_t>(n * n + n + 4), outside);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= 3; ++j) a[static_cast<std::size_t>(i * n + j)] = band[i - 1][j - 1];
  }
  return a;
}

Outcome solve(const Band& band, const std::vector<double>& d, double outside = 0.0) {
  const int n = static_cast<int>(band.size());
  const std::vector<double> A = flat(band, outside);
  std::vector<double> B(1, 0.0);
  B.insert(B.end(), d.begin(), d.end());
  std::vector<double> X(static_cast<std::size_t>(n + 1), kUnset);
  Outcome r;
  testing::internal::CaptureStdout();
  LAE_Solver_3diag(&n, A.data(), B.data(), X.data(), &r.ier);
  r.out = testing::internal::GetCapturedStdout();
  r.X.assign(X.begin() + 1, X.end());
  return r;
}

TEST(LaeSolver3diag, WorkedExamples) {
  const double inf = INFINITY;
  const double nan = NAN;
  struct Case {
    const char* name;
    Band band;
    std::vector<double> d;
    int ier;
    std::vector<double> X;
    std::string out;
  };
  const Case cases[] = {
      // L(2) = -0.5, P(2) = 1.5, denominator 2.5 in row 2, P(3) = 1.
      {"2x2 sweep", {{0, 2, 1}, {1, 3, 0}}, {3, 4}, 0, {1, 1}, kPoiZero},
      {"n=1", {{0, 2, 0}}, {4}, 0, {2}, kPoiZero},
      // Non-singular, sweep denominators 1 and -1, but b_2 = 0 stops it first.
      {"zero diagonal before any sweep", {{0, 1, 1}, {1, 0, 0}}, {1, 1}, 1, {0, 0}, ""},
      // Singular: a_2*L(2) + b_2 = 1*(-1) + 1 = 0; must fail, not abort.
      {"zero sweep denominator", {{0, 1, 1}, {1, 1, 0}}, {1, 1}, 1, {0, 0}, ""},
      {"zero denominator in row 3", {{0, 2, 2}, {1, 3, 2}, {1, 1, 1}}, {1, 1, 1}, 1, {0, 0, 0}, ""},
      // The band entries a_1 and c_n are read although they play no part.
      {"inf in a_1", {{inf, 2, 1}, {1, 3, 0}}, {3, 4}, 1, {0, 0}, ""},
      {"nan in b_2", {{0, 2, 1}, {1, nan, 0}}, {3, 4}, 1, {0, 0}, ""},
      {"-inf in d_1", {{0, 2, 1}, {1, 3, 0}}, {-inf, 4}, 1, {0, 0}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = solve(c.band, c.d);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.X, c.X);
    EXPECT_EQ(r.out, c.out);
  }
}

// Band entries from 1e-5 to 5e5, exact solution (1, 1, 1, 1). Whatever lies
// in column 4 of each row (here NaN) is never read.
TEST(LaeSolver3diag, MixedScaleTaskIgnoresColumnFour) {
  const Band band = {{0, 1e-05, 200000}, {-1, 0.0003, 400000}, {500000, 2e-05, -1}, {3, 1, 0}};
  const std::vector<double> d = {200000.00001, 399999.0003, 499999.00002, 4};
  const Outcome r = solve(band, d, NAN);
  EXPECT_EQ(r.ier, 0);
  EXPECT_EQ(r.X, (std::vector<double>{1, 1, 1, 1}));
  EXPECT_EQ(r.out.rfind("poi=", 0), 0u);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);  // one line, no banner
}

TEST(LaeSolver3diag, OrderOutsideLimits) {
  for (int n : {200, 500, 0, -2}) {
    SCOPED_TRACE(n);
    const std::size_t cells = n > 0 ? static_cast<std::size_t>(n * n + 4) : 4;
    const std::vector<double> A(cells, 1.0);
    const std::vector<double> B(cells, 1.0);
    std::vector<double> X(cells, kUnset);
    int ier = kUnsetIer;
    testing::internal::CaptureStdout();
    LAE_Solver_3diag(&n, A.data(), B.data(), X.data(), &ier);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ier, n > 0 ? kUnsetIer : 1);  // above: untouched; below 1: failure
    EXPECT_EQ(X, std::vector<double>(cells, kUnset));
  }
}

// Bidiagonal chain: x(9) = 1/30, then x(k) = d_k + x(k+1), each d_k cancelling
// the leading digits of x(k+1). The residual's error stays near 1e-129
// while x(1) shrinks to about 3e-114; this d_1 makes poi the double 1e-15.
Outcome solve_chain(double last) {
  Band band(9, {0, 1, -1});
  band[8] = {0, 30, 0};
  const std::vector<double> d = {last,    -3.33333333333333e-92, -3.33333333333333e-77,
                                 -3.33333333333333e-62, -3.33333333333333e-47, -3.33333333333333e-32,
                                 -3.33333333333333e-17, -3.33333333333333e-2,  1.0};
  return solve(band, d);
}

TEST(LaeSolver3diag, PrecisionLimitIsInclusive) {
  const Outcome at = solve_chain(-3.3333333e-107);
  EXPECT_EQ(at.ier, 0);
  EXPECT_EQ(at.out, "poi=1.000000e-015\n");

  const Outcome above = solve_chain(-3.33333330000001e-107);
  EXPECT_EQ(above.ier, 1);
  EXPECT_EQ(above.X, std::vector<double>(9, 0.0));
  EXPECT_EQ(above.out, "poi=1.000000e-015\n");
}

unsigned test_seed() {
  const char* env = std::getenv("LAE_TEST_SEED");
  return env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : 20240611u;
}

// Diagonally dominant random bands up to the largest order: accepted and
// A*X close to B.
TEST(LaeSolver3diag, RandomDominantBands) {
  const unsigned seed = test_seed();
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  for (int n : {1, 3, 4, 7, 50, 198, 199}) {
    SCOPED_TRACE("n=" + std::to_string(n));
    Band band(static_cast<std::size_t>(n));
    std::vector<double> d(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      band[i] = {i > 0 ? entry(gen) : 0.0, 3.0 + entry(gen), i < n - 1 ? entry(gen) : 0.0};
      d[i] = 10 * entry(gen);
    }
    const Outcome r = solve(band, d);
    ASSERT_EQ(r.ier, 0);
    for (int i = 0; i < n; ++i) {
      double ax = band[i][1] * r.X[i];
      double scale = std::fabs(d[i]) + std::fabs(ax);
      if (i > 0) {
        ax += band[i][0] * r.X[i - 1];
        scale += std::fabs(band[i][0] * r.X[i - 1]);
      }
      if (i < n - 1) {
        ax += band[i][2] * r.X[i + 1];
        scale += std::fabs(band[i][2] * r.X[i + 1]);
      }
      EXPECT_LE(std::fabs(ax - d[i]), 1e-14 * scale) << "row " << i + 1;
    }
  }
}

}  // namespace
