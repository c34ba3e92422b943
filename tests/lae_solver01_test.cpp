// LAE_Solver_01: worked examples, limits, the exchange rule, the precision
// verdict, and random well-conditioned systems.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "lae/lae_solvers.h"
#include "longdec/longdec.h"

namespace {

using Rows = std::vector<std::vector<double>>;

constexpr double kUnsetX = 7.5;  // sentinel: an X entry the solver must not write
constexpr int kUnsetIer = -7;    // sentinel: an ier the solver must not write

const std::string kPoiZero = "poi=0.000000e+000\n";
const std::string kBanner =
    "LAE_Solver_01 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: Full matrix(50x50 max)\n";

struct Outcome {
  int ier = kUnsetIer;
  std::vector<double> X;  // X(1..n); index 0 dropped
  std::string out;        // everything the solver printed
};

// Entry (i, j) at i*n + j, all indices from 1.
std::vector<double> flat(const Rows& rows) {
  const int n = static_cast<int>(rows.size());
  std::vector<double> a(static_cast<std::size_t>(n * n + n + 1), 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) a[static_cast<std::size_t>(i * n + j)] = rows[i - 1][j - 1];
  }
  return a;
}

Outcome solve(const Rows& rows, const std::vector<double>& b) {
  const int n = static_cast<int>(rows.size());
  const std::vector<double> A = flat(rows);
  std::vector<double> B(1, 0.0);
  B.insert(B.end(), b.begin(), b.end());
  std::vector<double> X(static_cast<std::size_t>(n + 1), kUnsetX);
  Outcome r;
  testing::internal::CaptureStdout();
  LAE_Solver_01(&n, A.data(), B.data(), X.data(), &r.ier);
  r.out = testing::internal::GetCapturedStdout();
  r.X.assign(X.begin() + 1, X.end());
  return r;
}

Rows identity(int n) {
  Rows rows(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n), 0.0));
  for (int i = 0; i < n; ++i) rows[i][i] = 1.0;
  return rows;
}

// The value a double has after the round trip through a long decimal.
double through_long_decimal(double x) {
  LongDecimal v{};
  ld_from_double(x, v);
  double back = 0.0;
  ld_to_double(v, back);
  return back;
}

TEST(LaeSolver01, WorkedExamples) {
  const double inf = INFINITY;
  const double nan = NAN;
  struct Case {
    const char* name;
    Rows A;
    std::vector<double> B;
    int ier;
    std::vector<double> X;
    std::string out;
  };
  const Case cases[] = {
      {"n=1 zero pivot", {{0}}, {1}, 1, {0}, ""},
      {"n=1 2x=4", {{2}}, {4}, 0, {2}, kPoiZero + kBanner},
      {"singular, exchanged then zero AA(2,2)", {{1, 2}, {2, 4}}, {3, 6}, 1, {0, 0}, ""},
      {"scale 1e-150", {{1e-150, 1e-150}, {0, 1}}, {2e-150, 1}, 0, {1, 1}, kPoiZero + kBanner},
      {"identity 3, back to double via 1e-4*1e4", identity(3), {1, 2, 3}, 0, {1, 2, 3.0000000000000004},
       kPoiZero + kBanner},
      // Non-finite entries fail before any conversion (an infinity would never
      // finish its decimal conversion).
      {"inf in A(1,1)", {{inf, 1}, {1, 1}}, {1, 1}, 1, {0, 0}, ""},
      {"nan in A(2,1)", {{1, 1}, {nan, 1}}, {1, 1}, 1, {0, 0}, ""},
      {"-inf in B(2)", {{1, 0}, {0, 1}}, {1, -inf}, 1, {0, 0}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = solve(c.A, c.B);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.X, c.X);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(LaeSolver01, IdentityOfOrder15) {
  std::vector<double> b;
  std::vector<double> expected;
  for (int k = 1; k <= 15; ++k) {
    b.push_back(k * 1.25 - 7.0);
    expected.push_back(through_long_decimal(b.back()));
  }
  const Outcome r = solve(identity(15), b);
  EXPECT_EQ(r.ier, 0);
  EXPECT_EQ(r.X, expected);
  EXPECT_EQ(r.out, kPoiZero + kBanner);
}

// Above 15 nothing is written or printed; below 1 only ier is set.
TEST(LaeSolver01, OrderOutsideLimits) {
  for (int n : {16, 40, 0, -3}) {
    SCOPED_TRACE(n);
    const std::size_t cells = n > 0 ? static_cast<std::size_t>(n * n + n + 1) : 4;
    const std::vector<double> A(cells, 1.0);
    const std::vector<double> B(cells, 1.0);
    std::vector<double> X(cells, kUnsetX);
    int ier = kUnsetIer;
    testing::internal::CaptureStdout();
    LAE_Solver_01(&n, A.data(), B.data(), X.data(), &ier);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ier, n > 0 ? kUnsetIer : 1);
    EXPECT_EQ(X, std::vector<double>(cells, kUnsetX));
  }
}

// The search compares each row with the row in position k at that moment.
// Column 1 = (1, 3, 5) must end in the row order 3, 1, 2 (not 3, 2, 1), and
// (2, -2, 3) in the order 3, 2, 1 (equal magnitudes do not exchange; an
// exchange would give 3, 1, 2). A system pre-arranged in the right order
// needs no exchange in column 1 and then meets exactly the same operations,
// so its outcome (solution bits and printed poi) must be identical; the
// wrong order is checked to give a different outcome, so the test can tell.
TEST(LaeSolver01, ExchangeSearchAgainstRowInPosition) {
  struct Case {
    const char* name;
    Rows A;
    std::vector<double> B;
    std::vector<int> right;  // rows of A, 0-based, after the exchanges in column 1
    std::vector<int> wrong;
  };
  const Case cases[] = {
      {"column (1, 3, 5)", {{1, 6, 3}, {3, 8, 1}, {5, 5, 2}}, {1, 3, 2}, {2, 0, 1}, {2, 1, 0}},
      {"column (2, -2, 3)", {{2, 9, 4}, {-2, 1, 6}, {3, 6, 4}}, {2, 2, 2}, {2, 1, 0}, {2, 0, 1}},
  };
  const auto arranged = [](const Case& c, const std::vector<int>& order) {
    Rows rows;
    std::vector<double> b;
    for (int r : order) {
      rows.push_back(c.A[r]);
      b.push_back(c.B[r]);
    }
    return solve(rows, b);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome got = solve(c.A, c.B);
    const Outcome right = arranged(c, c.right);
    const Outcome wrong = arranged(c, c.wrong);
    ASSERT_EQ(got.ier, 0);
    EXPECT_EQ(got.X, right.X);
    EXPECT_EQ(got.out, right.out);
    EXPECT_NE(right.out, wrong.out);
  }
}

// Upper bidiagonal chain: x(9) = 4/3, then x(k) = B(k) + x(k+1), where each
// B(k) cancels the leading digits of x(k+1). The absolute error of the long
// decimal solution stays near 1e-128 while x(1) shrinks to about 3e-113, so
// poi is about 1e-16; this B(1) makes poi the double 1e-16 exactly.
Outcome solve_chain(double last) {
  const int n = 9;
  Rows rows(n, std::vector<double>(n, 0.0));
  for (int k = 0; k < n - 1; ++k) {
    rows[k][k] = 1;
    rows[k][k + 1] = -1;
  }
  rows[n - 1][n - 1] = 3;
  const std::vector<double> b = {last,    -3.33333333333333e-90, -3.33333333333333e-75,
                                 -3.33333333333333e-60, -3.33333333333333e-45, -3.33333333333333e-30,
                                 -3.33333333333333e-15, -1.33333333333333,     4.0};
  return solve(rows, b);
}

TEST(LaeSolver01, PrecisionLimitIsInclusive) {
  const Outcome at = solve_chain(-3.3333333e-105);
  EXPECT_EQ(at.ier, 0);
  EXPECT_EQ(at.out, "poi=1.000000e-016\n" + kBanner);

  // x(1) smaller by a few parts in 1e8: poi just above 1e-16.
  const Outcome above = solve_chain(-3.33333330000001e-105);
  EXPECT_EQ(above.ier, 1);
  EXPECT_EQ(above.X, std::vector<double>(9, 0.0));
  EXPECT_EQ(above.out, "poi=1.000000e-016\n");
}

// x = (1, 0) exactly; the long-decimal X(2) is rounding noise of about
// 1e-128 / (1.67 * scale) and its correction is about as large. Where X(2)
// stays above 1e-308 the ratio is about 1 and the solution is rejected; where
// it is subnormal the correction itself counts and is tiny.
TEST(LaeSolver01, TinySolutionEntryCountsItsCorrection) {
  const auto system = [](double scale) { return solve({{3, scale}, {1, 2 * scale}}, {3, 1}); };

  const Outcome subnormal = system(1e181);
  EXPECT_EQ(subnormal.ier, 0);
  EXPECT_EQ(subnormal.X[0], 1.0);
  EXPECT_NE(subnormal.X[1], 0.0);
  EXPECT_LE(std::fabs(subnormal.X[1]), 1e-308);

  const Outcome normal = system(1e178);
  EXPECT_EQ(normal.ier, 1);
  EXPECT_EQ(normal.out, "poi=1.000000e+000\n");
}

unsigned test_seed() {
  const char* env = std::getenv("LAE_TEST_SEED");
  return env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : 20240611u;
}

// Diagonally dominant random systems of every order: accepted, A*X close to
// B, and A and B left as they were.
TEST(LaeSolver01, RandomWellConditionedSystems) {
  const unsigned seed = test_seed();
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  for (int rep = 0; rep < 30; ++rep) {
    const int n = 1 + rep % 15;
    SCOPED_TRACE("n=" + std::to_string(n) + " rep=" + std::to_string(rep));
    Rows rows(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n)));
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) rows[i][j] = entry(gen);
      rows[i][i] += n;
      b[i] = 10 * entry(gen);
    }
    const int order = n;
    const std::vector<double> A = flat(rows);
    std::vector<double> B(1, 0.0);
    B.insert(B.end(), b.begin(), b.end());
    const std::vector<double> A0 = A;
    const std::vector<double> B0 = B;
    std::vector<double> X(static_cast<std::size_t>(n + 1), kUnsetX);
    int ier = kUnsetIer;
    testing::internal::CaptureStdout();
    LAE_Solver_01(&order, A.data(), B.data(), X.data(), &ier);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(ier, 0);
    EXPECT_EQ(out.rfind("poi=", 0), 0u);
    EXPECT_TRUE(out.ends_with(kBanner));
    EXPECT_EQ(A, A0);
    EXPECT_EQ(B, B0);
    for (int i = 1; i <= n; ++i) {
      double ax = 0.0;
      double scale = std::fabs(B[i]);
      for (int j = 1; j <= n; ++j) {
        ax += A[i * n + j] * X[j];
        scale += std::fabs(A[i * n + j] * X[j]);
      }
      EXPECT_LE(std::fabs(ax - B[i]), 1e-14 * scale) << "row " << i;
    }
  }
}

}  // namespace
