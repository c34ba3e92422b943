// LAE_Solver_02: worked examples with their factors, which failures leave L
// and U written, the first-column exchange rule, the precision verdict, and
// L*U against the row-exchanged A on random systems.
#include <gtest/gtest.h>

#include <algorithm>
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

constexpr double kUnset = 7.5;  // sentinel: an entry the solver must not write
constexpr int kUnsetIer = -7;

const std::string kPoiZero = "poi=0.000000e+000\n";
const std::string kBanner =
    "LAE_Solver_02 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: full matrix(40x40 max)\n";

struct Outcome {
  int ier = kUnsetIer;
  std::vector<double> X;  // X(1..n)
  Rows L;                 // L(i, j), i, j = 1..n, stored 0-based
  Rows U;
  std::string out;
};

std::vector<double> flat(const Rows& rows) {
  const int n = static_cast<int>(rows.size());
  std::vector<double> a(static_cast<std::size_t>(n * n + n + 1), 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) a[static_cast<std::size_t>(i * n + j)] = rows[i - 1][j - 1];
  }
  return a;
}

Rows unflat(const std::vector<double>& a, int n) {
  Rows rows(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n)));
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) rows[i - 1][j - 1] = a[static_cast<std::size_t>(i * n + j)];
  }
  return rows;
}

Rows filled(int n, double v) {
  return Rows(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n), v));
}

Outcome solve(const Rows& rows, const std::vector<double>& b) {
  const int n = static_cast<int>(rows.size());
  const std::vector<double> A = flat(rows);
  std::vector<double> B(1, 0.0);
  B.insert(B.end(), b.begin(), b.end());
  std::vector<double> L(A.size(), kUnset);
  std::vector<double> U(A.size(), kUnset);
  std::vector<double> X(static_cast<std::size_t>(n + 1), kUnset);
  Outcome r;
  testing::internal::CaptureStdout();
  LAE_Solver_02(&n, A.data(), B.data(), L.data(), U.data(), X.data(), &r.ier);
  r.out = testing::internal::GetCapturedStdout();
  r.X.assign(X.begin() + 1, X.end());
  r.L = unflat(L, n);
  r.U = unflat(U, n);
  return r;
}

Rows identity(int n) {
  Rows rows = filled(n, 0.0);
  for (int i = 0; i < n; ++i) rows[i][i] = 1.0;
  return rows;
}

// The value a double has after the round trip through a long decimal (3
// comes back as 3.0000000000000004): the factors are returned that way.
double through_long_decimal(double x) {
  LongDecimal v{};
  ld_from_double(x, v);
  double back = 0.0;
  ld_to_double(v, back);
  return back;
}

Rows through_long_decimal(Rows rows) {
  for (auto& row : rows) {
    for (double& v : row) v = through_long_decimal(v);
  }
  return rows;
}

TEST(LaeSolver02, WorkedExamples) {
  const double inf = INFINITY;
  const double nan = NAN;
  struct Case {
    const char* name;
    Rows A;
    std::vector<double> B;
    int ier;
    std::vector<double> X;
    Rows L;  // expected factors; a sentinel-filled square means "not written"
    Rows U;
    std::string out;
  };
  const Case cases[] = {
      {"n=1 zero column", {{0}}, {1}, 1, {0}, filled(1, kUnset), filled(1, kUnset), ""},
      {"n=1 2x=4", {{2}}, {4}, 0, {2}, {{2}}, {{1}}, kPoiZero + kBanner},
      // Rows exchanged, LL(2,2) = 0 met by the forward substitution: factors written.
      {"singular (1,2),(2,4)", {{1, 2}, {2, 4}}, {3, 6}, 1, {0, 0}, {{2, 0}, {1, 0}}, {{1, 2}, {0, 1}}, ""},
      {"first column all zero", {{0, 1}, {0, 2}}, {1, 2}, 1, {0, 0}, filled(2, kUnset), filled(2, kUnset),
       ""},
      // LL(2,2) = 1 - 1*1 = 0 must divide UU(2,3): fails inside the factorisation.
      {"zero pivot while factorising",
       {{1, 1, 0}, {1, 1, 1}, {0, 1, 1}},
       {1, 1, 1},
       1,
       {0, 0, 0},
       filled(3, kUnset),
       filled(3, kUnset),
       ""},
      {"scale 1e-150",
       {{1e-150, 1e-150}, {0, 1}},
       {2e-150, 1},
       0,
       {1, 1},
       through_long_decimal(Rows{{1e-150, 0}, {0, 1}}),
       {{1, 1}, {0, 1}},
       kPoiZero + kBanner},
      {"identity 3", identity(3), {1, 2, 3}, 0, {1, 2, 3.0000000000000004}, identity(3), identity(3),
       kPoiZero + kBanner},
      // Non-finite entries fail before any conversion, factors unwritten.
      {"inf in A(1,1)", {{inf, 1}, {1, 1}}, {1, 1}, 1, {0, 0}, filled(2, kUnset), filled(2, kUnset), ""},
      {"nan in A(1,2)", {{1, nan}, {1, 1}}, {1, 1}, 1, {0, 0}, filled(2, kUnset), filled(2, kUnset), ""},
      {"-inf in B(2)", {{1, 0}, {0, 1}}, {1, -inf}, 1, {0, 0}, filled(2, kUnset), filled(2, kUnset), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = solve(c.A, c.B);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.X, c.X);
    EXPECT_EQ(r.L, c.L);
    EXPECT_EQ(r.U, c.U);
    EXPECT_EQ(r.out, c.out);
  }
}

// Above 15 nothing is written or printed; below 1 only ier is set.
TEST(LaeSolver02, OrderOutsideLimits) {
  for (int n : {16, 40, 0, -3}) {
    SCOPED_TRACE(n);
    const std::size_t cells = n > 0 ? static_cast<std::size_t>(n * n + n + 1) : 4;
    const std::vector<double> A(cells, 1.0);
    const std::vector<double> B(cells, 1.0);
    std::vector<double> L(cells, kUnset);
    std::vector<double> U(cells, kUnset);
    std::vector<double> X(cells, kUnset);
    int ier = kUnsetIer;
    testing::internal::CaptureStdout();
    LAE_Solver_02(&n, A.data(), B.data(), L.data(), U.data(), X.data(), &ier);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ier, n > 0 ? kUnsetIer : 1);
    EXPECT_EQ(X, std::vector<double>(cells, kUnset));
    EXPECT_EQ(L, std::vector<double>(cells, kUnset));
    EXPECT_EQ(U, std::vector<double>(cells, kUnset));
  }
}

// Each row is compared with the row then in position 1: column (1, 3, 5)
// leaves the rows of A in the order 3, 1, 2, so L(1..3, 1) = (5, 1, 3); equal
// magnitudes do not exchange. No exchange happens in later columns: in the
// last case an exchange in column 2 would bring row 3 (4.5 against -0.25)
// up to position 2.
TEST(LaeSolver02, FirstColumnExchangeOrder) {
  struct Case {
    const char* name;
    Rows A;
    std::vector<double> L_column1;
  };
  const Case cases[] = {
      {"(1, 3, 5)", {{1, 1, 2}, {3, 1, 1}, {5, 2, 1}}, {5, 1, 3}},
      {"(-2, 2)", {{-2, 1}, {2, 3}}, {-2, 2}},
      {"(-4, 1, 4, -3)", {{-4, 1, 0, 0}, {1, 9, 0, 0}, {4, 0, 1, 0}, {-3, 0, 0, 1}}, {-4, 1, 4, -3}},
      {"(4, 1, 2), first column only", {{4, 1, 0}, {1, 0, 1}, {2, 5, 1}}, {4, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<double> b(c.A.size(), 1.0);
    const Outcome r = solve(c.A, b);
    ASSERT_EQ(r.ier, 0);
    for (std::size_t i = 0; i < c.A.size(); ++i) {
      EXPECT_EQ(r.L[i][0], through_long_decimal(c.L_column1[i])) << "row " << i + 1;
    }
  }
}

// The chain of the LAE_Solver_01 tests: x(9) = 4/3, each B(k) cancels the
// leading digits of x(k+1), so poi is the double 1e-16 exactly for this
// B(1). A failed verdict keeps the factors.
Outcome solve_chain(double last) {
  const int n = 9;
  Rows rows = filled(n, 0.0);
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

TEST(LaeSolver02, PrecisionLimitIsInclusive) {
  const Outcome at = solve_chain(-3.3333333e-105);
  EXPECT_EQ(at.ier, 0);
  EXPECT_EQ(at.out, "poi=1.000000e-016\n" + kBanner);

  const Outcome above = solve_chain(-3.33333330000001e-105);
  EXPECT_EQ(above.ier, 1);
  EXPECT_EQ(above.X, std::vector<double>(9, 0.0));
  EXPECT_EQ(above.out, "poi=1.000000e-016\n");
  EXPECT_EQ(above.L[8][8], through_long_decimal(3.0));
  EXPECT_EQ(above.L[0][1], 0.0);
  EXPECT_EQ(above.U[0][1], -1.0);
  EXPECT_EQ(above.U[4][4], 1.0);
}

// x = (1/3, 0); the long-decimal X(2) is rounding noise of about
// 1e-128 / scale. Subnormal, it contributes its own tiny correction; above
// 1e-308 its ratio to the correction is about 1 and the solution is rejected.
TEST(LaeSolver02, TinySolutionEntryCountsItsCorrection) {
  const auto system = [](double scale) { return solve({{3, scale}, {3, 2 * scale}}, {1, 1}); };

  const Outcome subnormal = system(1e181);
  EXPECT_EQ(subnormal.ier, 0);
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

// Random systems: L lower and U unit upper over the whole square, L*U equal to
// A with the rows exchanged by the first-column rule, A*X close to B.
TEST(LaeSolver02, FactorsReproduceExchangedMatrix) {
  const unsigned seed = test_seed();
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  for (int rep = 0; rep < 30; ++rep) {
    const int n = 1 + rep % 15;
    SCOPED_TRACE("n=" + std::to_string(n) + " rep=" + std::to_string(rep));
    Rows A = filled(n, 0.0);
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) A[i][j] = entry(gen);
      A[i][i] += n;
      b[i] = 10 * entry(gen);
    }
    const Outcome r = solve(A, b);
    ASSERT_EQ(r.ier, 0);
    EXPECT_TRUE(r.out.ends_with(kBanner));

    // The exchanged matrix: each later row against the row then in position 1.
    Rows P = A;
    for (int i = 1; i < n; ++i) {
      if (std::fabs(P[0][0]) < std::fabs(P[i][0])) std::swap(P[0], P[i]);
    }
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        if (j > i) {
          EXPECT_EQ(r.L[i][j], 0.0);
        }
        EXPECT_EQ(r.U[i][j], j < i ? 0.0 : j == i ? 1.0 : r.U[i][j]);
        double lu = 0.0;
        for (int k = 0; k < n; ++k) lu += r.L[i][k] * r.U[k][j];
        EXPECT_NEAR(lu, P[i][j], 1e-13 * (1.0 + std::fabs(P[i][j]))) << i + 1 << "," << j + 1;
      }
      double ax = 0.0;
      double scale = std::fabs(b[i]);
      for (int j = 0; j < n; ++j) {
        ax += A[i][j] * r.X[j];
        scale += std::fabs(A[i][j] * r.X[j]);
      }
      EXPECT_LE(std::fabs(ax - b[i]), 1e-14 * scale) << "row " << i + 1;
    }
  }
}

}  // namespace
