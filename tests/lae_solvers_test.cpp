// The three linear solvers: worked examples with their printed lines and
// factors, the input guards, the row-exchange rule, the precision verdict at
// its limit, and random systems checked through A*X = B and L*U = the
// row-exchanged A.
#include "lae/lae_solvers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lae_test_support.h"
#include "layout/flat_index.h"
#include "test_support.h"

namespace {

using lae_test::flat;
using lae_test::kBanner01;
using lae_test::kBanner02;
using lae_test::Rows;
using lae_test::Vec;

enum class Solver { k01, k02, k3diag };
const char* const kSolverName[] = {"LAE_Solver_01", "LAE_Solver_02", "LAE_Solver_3diag"};

constexpr double kUnset = 7.5;  // sentinel: an entry the solver must not write
constexpr int kUnsetIer = -7;

const std::string kPoiZero = "poi=0.000000e+000\n";

struct Outcome {
  int ier = kUnsetIer;
  Vec X;     // X(1..n)
  Vec L, U;  // the flat factor arrays of LAE_Solver_02
  std::string out;
  bool operator==(const Outcome&) const = default;
};

// Calls a solver of order n (by default that of A) on A and b in the flat
// layout, every other cell NaN (it must never be read), with every output
// array filled with sentinels.
Outcome solve(Solver s, const Rows& rows, const Vec& b, std::optional<int> order = std::nullopt) {
  int n = order.value_or(static_cast<int>(rows.size()));
  const Vec A = flat(rows, NAN);
  Vec B{NAN};
  B.insert(B.end(), b.begin(), b.end());
  Vec X(B.size(), kUnset);
  Outcome r{kUnsetIer, {}, Vec(A.size(), kUnset), Vec(A.size(), kUnset), ""};
  r.out = test_support::stdout_of([&] {
    if (s == Solver::k01) LAE_Solver_01(&n, A.data(), B.data(), X.data(), &r.ier);
    if (s == Solver::k02) LAE_Solver_02(&n, A.data(), B.data(), r.L.data(), r.U.data(), X.data(), &r.ier);
    if (s == Solver::k3diag) LAE_Solver_3diag(&n, A.data(), B.data(), X.data(), &r.ier);
  });
  r.X.assign(X.begin() + 1, X.end());
  return r;
}

TEST(LaeSolvers, WorkedExamples) {
  struct Case {
    Solver s;
    const char* name;
    Rows A;
    Vec B;
    int ier;
    Vec X;
    std::string out;
    Rows L = {}, U = {};  // expected factors; empty: left unwritten
  };
  using enum Solver;
  const Case cases[] = {
      {k01, "2x = 4", {{2}}, {4}, 0, {2}, kPoiZero + kBanner01},
      {k01, "singular: rows exchanged, then AA(2,2) = 0", {{1, 2}, {2, 4}}, {3, 6}, 1, {0, 0}, ""},
      // x = (1, 0); X(2) is rounding noise below 1e-308, whose correction is as
      // large: the correction itself counts, not the ratio of about 1.
      {k01,
       "subnormal X(2)",
       {{3, 1e181}, {1, 2e181}},
       {3, 1},
       0,
       {1, 5.9999999999999817e-310},
       "poi=2.000000e-129\n" + kBanner01},
      // A non-finite entry fails before any conversion, which would never end.
      {k01, "inf in A", {{INFINITY, 1}, {1, 1}}, {1, 1}, 1, {0, 0}, ""},
      {k02, "2x = 4", {{2}}, {4}, 0, {2}, kPoiZero + kBanner02, {{2}}, {{1}}},
      // Rows exchanged; LL(2,2) = 0 is met by the forward substitution, after
      // the factors are written.
      {k02, "singular", {{1, 2}, {2, 4}}, {3, 6}, 1, {0, 0}, "", {{2, 0}, {1, 0}}, {{1, 2}, {0, 1}}},
      // The first-column test must stop it: for n = 1 nothing else would.
      {k02, "first column zero", {{0}}, {1}, 1, {0}, ""},
      // LL(2,2) = 0 must divide UU(2,3): fails inside the factorisation.
      {k02, "zero pivot while factorising", {{1, 1, 0}, {1, 1, 1}, {0, 1, 1}}, {1, 1, 1}, 1, {0, 0, 0}, ""},
      // Column 2 would exchange rows 2 and 3 if it were searched.
      {k02,
       "no exchange beyond column 1",
       {{2, 0, 0}, {0, 1, 0}, {0, 4, 1}},
       {2, 1, 5},
       0,
       {1, 1, 1},
       kPoiZero + kBanner02,
       {{2, 0, 0}, {0, 1, 0}, {0, 4, 1}},
       {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
      {k02, "nan in B", {{1, 0}, {0, 1}}, {1, NAN}, 1, {0, 0}, ""},
      // L(2) = -0.5, P(2) = 1.5, denominator 2.5 in row 2, P(3) = 1.
      {k3diag, "2x2 sweep", {{0, 2, 1}, {1, 3, 0}}, {3, 4}, 0, {1, 1}, kPoiZero},
      // Non-singular (sweep denominators 1 and -1), but b_2 = 0 stops it first.
      {k3diag, "zero diagonal", {{0, 1, 1}, {1, 0, 0}}, {1, 1}, 1, {0, 0}, ""},
      // The same inside the band (sweep denominators 1, -1 and 2).
      {k3diag, "zero diagonal in row 2", {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}}, {1, 1, 1}, 1, {0, 0, 0}, ""},
      // Singular: a_2*L(2) + b_2 = 1*(-1) + 1 = 0 must fail, not divide.
      {k3diag, "zero sweep denominator", {{0, 1, 1}, {1, 1, 0}}, {1, 1}, 1, {0, 0}, ""},
      // a_1 plays no part but is read.
      {k3diag, "inf in a_1", {{INFINITY, 2, 1}, {1, 3, 0}}, {3, 4}, 1, {0, 0}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(kSolverName[static_cast<int>(c.s)]) + ": " + c.name);
    const Outcome r = solve(c.s, c.A, c.B);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.X, c.X);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.L, c.L.empty() ? Vec(r.L.size(), kUnset) : flat(c.L, kUnset));
    EXPECT_EQ(r.U, c.U.empty() ? Vec(r.U.size(), kUnset) : flat(c.U, kUnset));
  }
}

// The way back to double must not overflow or underflow on the way: a
// solution the double range holds comes back finite (beyond 1e308) or as its
// subnormal (below 1e-308), one that it does not hold fails with X zeroed and
// nothing printed. Within the range of 10^e the usual conversion stays,
// with its last-bit behaviour (3 comes back as 3.0000000000000004).
TEST(LaeSolvers, SolutionsAtTheEdgesOfTheDoubleRange) {
  constexpr double kMax = std::numeric_limits<double>::max();
  struct Case {
    const char* name;
    Rows A;  // full matrix; the band solver gets the same diagonal system
    Vec B;
    int ier;
    Vec X;
  };
  const Case cases[] = {
      {"1e308", {{1}}, {1e308}, 0, {1e308}},
      {"-1.5e308", {{0.5}}, {-7.5e307}, 0, {-1.5e308}},
      {"1e600 from finite inputs", {{1e-300}}, {1e300}, 1, {0}},
      // 15 digits of the largest double, 1.79769313486232e308, lie beyond it.
      {"15 digits of the largest double", {{1}}, {kMax}, 1, {0}},
      {"subnormal 1e-320", {{1e300}}, {1e-20}, 0, {1e-320}},
      {"smallest subnormal", {{1}}, {5e-324}, 0, {5e-324}},
      {"1e-600 rounds to zero", {{1e300}}, {1e-300}, 0, {0}},
      {"the usual rounding kept", {{1}}, {3}, 0, {3.0000000000000004}},
      {"one component beyond the range", {{1e-300, 0}, {0, 1}}, {1e300, 1}, 1, {0, 0}},
  };
  for (const Solver s : {Solver::k01, Solver::k02, Solver::k3diag}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kSolverName[static_cast<int>(s)]) + ": " + c.name);
      Rows A = c.A;
      if (s == Solver::k3diag) {
        for (std::size_t i = 0; i < A.size(); ++i) A[i] = {0, c.A[i][i], 0};
      }
      const Outcome r = solve(s, A, c.B);
      EXPECT_EQ(r.ier, c.ier);
      EXPECT_EQ(r.X, c.X);
      if (c.ier != 0) {
        EXPECT_EQ(r.out, "");
      }
    }
  }
}

// Above its limit a solver writes and prints nothing; below order 1 it only
// sets ier = 1.
TEST(LaeSolvers, OrderOutsideLimits) {
  for (const auto& [s, above] : {std::pair{Solver::k01, 16}, {Solver::k02, 16}, {Solver::k3diag, 200}}) {
    for (const int n : {above, 0, -3}) {
      SCOPED_TRACE(std::string(kSolverName[static_cast<int>(s)]) + ", n=" + std::to_string(n));
      const Outcome r = solve(s, Rows(above, Vec(above, 1.0)), Vec(above, 1.0), n);
      EXPECT_EQ(r.ier, n > 0 ? kUnsetIer : 1);
      EXPECT_EQ(r.X, Vec(above, kUnset));
      EXPECT_EQ(r.L, Vec(r.L.size(), kUnset));
      EXPECT_EQ(r.U, Vec(r.U.size(), kUnset));
      EXPECT_EQ(r.out, "");
    }
  }
}

// Each row is compared with the row then in position 1, and only a strictly
// larger magnitude exchanges: column (1, 3, 5) ends in row order 3, 1, 2 (not
// 3, 2, 1), column (2, -2, 3) in 3, 2, 1 (not 3, 1, 2). A system given in the
// right order meets no exchange in column 1 and then the same operations, so
// its outcome is identical; the wrong order must give another one.
TEST(LaeSolvers, ExchangeAgainstTheRowInPosition) {
  struct Case {
    Rows A;
    Vec b;
    std::vector<int> right, wrong;
  };
  const Case cases[] = {
      {{{1, 6, 3}, {3, 8, 1}, {5, 5, 2}}, {1, 3, 2}, {2, 0, 1}, {2, 1, 0}},
      {{{2, 9, 4}, {-2, 1, 6}, {3, 6, 4}}, {2, 2, 2}, {2, 1, 0}, {2, 0, 1}},
  };
  for (const Solver s : {Solver::k01, Solver::k02}) {
    SCOPED_TRACE(kSolverName[static_cast<int>(s)]);
    for (const Case& c : cases) {
      const auto solve_in = [&](const std::vector<int>& order) {
        Rows A;
        Vec b;
        for (const int i : order) {
          A.push_back(c.A[i]);
          b.push_back(c.b[i]);
        }
        return solve(s, A, b);
      };
      const Outcome right = solve_in(c.right);
      ASSERT_EQ(right.ier, 0);
      EXPECT_TRUE(solve_in({0, 1, 2}) == right);
      EXPECT_FALSE(solve_in(c.wrong) == right);
    }
  }
}

// The full matrix of a band given as (a_i, b_i, c_i) per row.
Rows full_of(const Rows& band) {
  const int n = static_cast<int>(band.size());
  Rows A(n, Vec(n, 0.0));
  for (int i = 0; i < n; ++i) {
    for (int j = std::max(i - 1, 0); j <= std::min(i + 1, n - 1); ++j) A[i][j] = band[i][j - i + 1];
  }
  return A;
}

// Right-hand sides of upper bidiagonal chains: x(9) first, then each
// x(k) = B(k) + x(k+1), with B(k) cancelling the leading digits of x(k+1), so
// that x(1) is tiny and its correction relatively large. For B(1) = `last`
// the poi is the double at the limit exactly (1e-16; 1e-15 for the band); a
// B(1) a few parts in 1e8 smaller gives a poi just above it.
Vec chain_b(bool band, double last) {
  Vec b{last};
  for (int k = 0; k < 6; ++k) {
    b.push_back(std::stod("-3.33333333333333e" + std::to_string((band ? -92 : -90) + 15 * k)));
  }
  b.push_back(band ? -3.33333333333333e-2 : -1.33333333333333);
  b.push_back(band ? 1.0 : 4.0);
  return b;
}

TEST(LaeSolvers, PrecisionLimitIsInclusive) {
  for (const Solver s : {Solver::k01, Solver::k02, Solver::k3diag}) {
    SCOPED_TRACE(kSolverName[static_cast<int>(s)]);
    const bool band = s == Solver::k3diag;
    Rows chain(9, {0, 1, -1});
    chain[8] = {0, band ? 30.0 : 3.0, 0};
    const Rows A = band ? chain : full_of(chain);
    const std::string poi = band ? "poi=1.000000e-015\n" : "poi=1.000000e-016\n";
    const Outcome at = solve(s, A, chain_b(band, band ? -3.3333333e-107 : -3.3333333e-105));
    EXPECT_EQ(at.ier, 0);
    EXPECT_EQ(at.out, poi + (s == Solver::k01 ? kBanner01 : s == Solver::k02 ? kBanner02 : ""));
    const Outcome above = solve(s, A, chain_b(band, band ? -3.33333330000001e-107 : -3.33333330000001e-105));
    EXPECT_EQ(above.ier, 1);
    EXPECT_EQ(above.X, Vec(9, 0.0));
    EXPECT_EQ(above.out, poi);
    if (s == Solver::k02) {
      EXPECT_EQ(above.U[1 * 9 + 2], -1.0) << "a failed verdict keeps the factors";
    }
  }
}

// Row by row, A*X - B within rounding of the terms it is made of.
void expect_solves(const Rows& A, const Vec& b, const Vec& X) {
  for (std::size_t i = 0; i < A.size(); ++i) {
    double ax = 0.0;
    double scale = std::fabs(b[i]);
    for (std::size_t j = 0; j < A.size(); ++j) {
      ax += A[i][j] * X[j];
      scale += std::fabs(A[i][j] * X[j]);
    }
    EXPECT_LE(std::fabs(ax - b[i]), 1e-14 * scale) << "row " << i + 1;
  }
}

// L lower and U unit upper triangular, with L*U = A after the first-column
// exchanges (each later row against the row then in position 1), within
// rounding of the terms of each product entry.
void expect_factors_of_exchanged(Rows A, const Vec& L, const Vec& U) {
  const std::size_t n = A.size();
  const auto at = [n](std::size_t i, std::size_t j) {
    return static_cast<std::size_t>(layout::flat_index(static_cast<int>(i), static_cast<int>(j), static_cast<int>(n)));
  };
  for (std::size_t i = 1; i < n; ++i) {
    if (std::fabs(A[0][0]) < std::fabs(A[i][0])) std::swap(A[0], A[i]);
  }
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= n; ++j) {
      EXPECT_EQ(j > i ? L[at(i, j)] : 0.0, 0.0);
      EXPECT_EQ(j <= i ? U[at(i, j)] : 0.0, j == i ? 1.0 : 0.0);
      double lu = 0.0;
      double scale = std::fabs(A[i - 1][j - 1]);
      for (std::size_t k = 1; k <= n; ++k) {
        lu += L[at(i, k)] * U[at(k, j)];
        scale += std::fabs(L[at(i, k)] * U[at(k, j)]);
      }
      EXPECT_LE(std::fabs(lu - A[i - 1][j - 1]), 1e-14 * scale) << i << "," << j;
    }
  }
}

// Random symmetric (a 2x2 band stores c_1 and a_2 in one cell) diagonally
// dominant matrices of every order up to 15, and of the band solver's largest
// order. The band solver gets their tridiagonal part, the full solvers their
// rows in random order, so that the first column needs exchanges. The seed
// can be replayed through LAE_TEST_SEED.
TEST(LaeSolvers, RandomSystems) {
  const unsigned seed = lae_test::test_seed(20240611u);
  SCOPED_TRACE("LAE_TEST_SEED=" + std::to_string(seed));
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  for (const int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 199}) {
    SCOPED_TRACE("n=" + std::to_string(n));
    Rows A(n, Vec(n));
    Rows band(n);
    Vec b(n);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) A[i][j] = j < i ? A[j][i] : entry(gen) + (i == j ? n + 2 : 0);
      b[i] = 10 * entry(gen);
    }
    for (int i = 0; i < n; ++i) band[i] = {i > 0 ? A[i][i - 1] : 0, A[i][i], i + 1 < n ? A[i][i + 1] : 0};
    const Outcome r3 = solve(Solver::k3diag, band, b);
    ASSERT_EQ(r3.ier, 0);
    expect_solves(full_of(band), b, r3.X);
    if (n > 15) continue;
    std::shuffle(A.begin(), A.end(), gen);
    const Outcome r1 = solve(Solver::k01, A, b);
    const Outcome r2 = solve(Solver::k02, A, b);
    ASSERT_EQ(r1.ier, 0);
    ASSERT_EQ(r2.ier, 0);
    expect_solves(A, b, r1.X);
    expect_solves(A, b, r2.X);
    expect_factors_of_exchanged(A, r2.L, r2.U);
  }
}

}  // namespace
