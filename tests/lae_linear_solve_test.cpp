// The C++ layer against the specified entry points on systems of the linear
// battery (singular, inconsistent, ill-conditioned, mixed scales, the band):
// the same ier, the same poi (present exactly when the "poi=" line is
// printed), and x, l, u the nearest doubles to the long-decimal values that
// the core computed, judged by exact distances. The layer's own cases: a
// solution that the specified conversion misses by an ulp, the order-2 band
// that the flat layout cannot hold, and refused sizes.
//
// The battery's data live in driver/, which lae does not see; the systems
// below are copies of a representative few (D1, D2, D5, D8, D10, D13).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lae/lae_cores.h"
#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "lae_test_support.h"
#include "test_support.h"
#include "textout/textout.h"

namespace {

using lae_test::kBanner01;
using lae_test::kBanner02;
using lae_test::Rows;
using lae_test::Vec;

struct System {
  const char* name;
  Rows a;  // the matrix, or the band's rows (a_i, b_i, c_i)
  Vec b;
};

Vec row_major(const Rows& rows) {
  Vec out;
  for (const Vec& row : rows) out.insert(out.end(), row.begin(), row.end());
  return out;
}

// The exact value of a long decimal over its 33 fraction words.
mpq_class value_of(const LongDecimal& v) {
  mpz_class digits = 0;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) digits = digits * kLdBase + v[w];
  mpz_class power;
  const int e = v[kLdExponent] - kLdDigitsPerWord * (kLdLastDigit - kLdFirstDigit + 1);
  mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(e < 0 ? -e : e));
  return v[kLdSign] * (e < 0 ? mpq_class(digits, power) : mpq_class(digits * power));
}

// The layer's record against what the entry point wrote and printed, and
// against the estimate and long-decimal solution XX(1..n) of the same core.
void expect_agreement(const lae::LinearSolution& r, int entry_ier, const std::string& printed,
                      const std::string& banner, const lae::CoreOutcome& core, std::span<const LongDecimal> XX) {
  EXPECT_EQ(r.ier, entry_ier);
  const std::string poi_line = r.poi ? textout::out_format("poi=%e\n", *r.poi) : "";
  EXPECT_EQ(poi_line + (r.poi && r.ier == LAE_IER_OK ? banner : ""), printed);
  EXPECT_EQ(r.poi, core.stage == lae::Stage::kJudged ? std::optional(core.poi) : std::nullopt);
  for (std::size_t k = 0; k < r.x.size(); ++k) {
    EXPECT_TRUE(r.ier == LAE_IER_OK ? lae_test::is_nearest(value_of(XX[k + 1]), r.x[k]) : r.x[k] == 0.0) << k;
  }
}

void expect_rounded(const std::vector<double>& m, const lae::FullMatrix& M) {
  ASSERT_EQ(m.size(), static_cast<std::size_t>(M.n * M.n));
  for (int i = 1; i <= M.n; ++i) {
    for (int j = 1; j <= M.n; ++j) {
      EXPECT_TRUE(lae_test::is_nearest(value_of(M(i, j)), m[static_cast<std::size_t>((i - 1) * M.n + j - 1)]));
    }
  }
}

TEST(LaeLinearSolve, DenseSolversAgreeWithTheEntryPoints) {
  const System systems[] = {
      {"D1 singular", {{1, 2}, {2, 4}}, {3, 6}},
      {"D2 inconsistent", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {6, 15, 16}},
      {"D5", {{33, 16, 72}, {-24, -10, -57}, {-8, -4, -17}}, {-359, 281, 85}},
      {"D8 Wilkinson", {{0.78, 0.563}, {0.913, 0.659}}, {0.217, 0.254}},
      {"D10 mixed scales",
       {{0.119, -3.47, 1.78e-07, -0.524, 0.00535},
        {438000, 0.866, 3.25e-07, -0.00566, -1.94e-06},
        {5600, 0.035, -7.74e-06, 0.0218, 14100},
        {458000, -0.86, 8e-09, 0.57, -0.000715},
        {-16900, -6120, -5.12e-06, -261000, -6.45e-07}},
       {-3.869649822, 438000.860338385, 19700.05679226, 457999.709285008, -284020.000005765}},
      {"3x3 with solution (1, 2, 3)", {{4, 1, 0}, {1, 5, 2}, {0, 2, 6}}, {6, 17, 22}},
  };
  for (const System& s : systems) {
    SCOPED_TRACE(s.name);
    int n = static_cast<int>(s.b.size());
    const Vec A = lae_test::flat(s.a, NAN);
    const Vec B = lae_test::one_based(s.b);
    Vec X(B.size()), L(A.size()), U(A.size());
    int ier01 = -7, ier02 = -7;
    const std::string out01 = test_support::stdout_of([&] { LAE_Solver_01(&n, A.data(), B.data(), X.data(), &ier01); });
    const std::string out02 =
        test_support::stdout_of([&] { LAE_Solver_02(&n, A.data(), B.data(), L.data(), U.data(), X.data(), &ier02); });

    lae::GaussWork gauss(n);
    const lae::CoreOutcome core01 = lae::solver_01_core(n, A.data(), B.data(), X.data(), gauss);
    expect_agreement(lae::solve_01(row_major(s.a), s.b), ier01, out01, kBanner01, core01, gauss.XX);

    auto crout = std::make_unique<lae::CroutWork>(n);
    const lae::CoreOutcome core02 = lae::solver_02_core(n, A.data(), B.data(), L.data(), U.data(), X.data(), *crout);
    const lae::FactoredSolution r02 = lae::solve_02(row_major(s.a), s.b);
    expect_agreement(r02, ier02, out02, kBanner02, core02, crout->XX);
    EXPECT_EQ(r02.l.empty(), !crout->factors_written);
    if (crout->factors_written) {
      expect_rounded(r02.l, crout->LL);
      expect_rounded(r02.u, crout->UU);
    }
  }
}

TEST(LaeLinearSolve, BandSolverAgreesWithTheEntryPoint) {
  const System systems[] = {
      {"D13, entries from 1e-5 to 5e5",
       {{0, 1e-05, 200000}, {-1, 0.0003, 400000}, {500000, 2e-05, -1}, {3, 1, 0}},
       {200000.00001, 399999.0003, 499999.00002, 4}},
      {"3x3 with solution (1, 2, 3)", {{0, 4, 1}, {1, 5, 2}, {2, 6, 0}}, {6, 17, 22}},
      {"zero diagonal", {{0, 1, 2}, {1, 0, 1}, {2, 1, 0}}, {1, 1, 1}},
  };
  for (const System& s : systems) {
    SCOPED_TRACE(s.name);
    int n = static_cast<int>(s.b.size());
    const Vec A = lae_test::flat(s.a, NAN);
    const Vec B = lae_test::one_based(s.b);
    Vec X(B.size());
    int ier = -7;
    const std::string out = test_support::stdout_of([&] { LAE_Solver_3diag(&n, A.data(), B.data(), X.data(), &ier); });
    auto sweep = std::make_unique<lae::SweepWork>(n);
    const lae::CoreOutcome core = lae::solver_3diag_core(n, A.data(), n, B.data(), X.data(), *sweep);
    expect_agreement(lae::solve_3diag(row_major(s.a), s.b), ier, out, "", core, sweep->XX);
  }
}

TEST(LaeLinearSolve, OwnCases) {
  const Vec a3 = {4, 1, 0, 1, 5, 2, 0, 2, 6};
  const Vec b3 = {6, 17, 22};
  // The specified conversion gives X(3) = 2.9999999999999991 here.
  EXPECT_EQ(lae::solve_01(a3, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_02(a3, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_3diag(Vec{0, 4, 1, 1, 5, 2, 2, 6, 0}, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_exact(a3, b3).x, (Vec{1, 2, 3}));

  // c_0 = 1 and a_1 = 3 would share one cell of the flat layout.
  const lae::LinearSolution band2 = lae::solve_3diag(Vec{0, 2, 1, 3, 4, 0}, Vec{3, 7});
  EXPECT_EQ(band2.ier, LAE_IER_OK);
  EXPECT_EQ(band2.x, (Vec{1, 1}));

  // LL(2, 2) = 0 stops the factorisation before the factors are complete.
  const lae::FactoredSolution unfactored = lae::solve_02(Vec{1, 1, 0, 1, 1, 1, 0, 1, 1}, Vec{1, 1, 1});
  EXPECT_EQ(unfactored.ier, LAE_IER_FAILED);
  EXPECT_TRUE(unfactored.l.empty() && unfactored.u.empty());

  const lae::LinearSolution singular = lae::solve_exact(Vec{1.0 / 3, 1, 2.0 / 3, 2}, Vec{1, 2});
  EXPECT_EQ(singular.ier, LAE_IER_SINGULAR_CONSISTENT);
  EXPECT_EQ(singular.x, (Vec{1 / (1.0 / 3), 0}));
  EXPECT_FALSE(singular.poi.has_value());

  struct Refused {
    const char* name;
    lae::LinearSolution r;
    int ier;
  };
  const Refused refused[] = {
      {"order 16", lae::solve_01(Vec(256, 1.0), Vec(16, 1.0)), lae::kIerNotSolved},
      {"order 200 band", lae::solve_3diag(Vec(600, 1.0), Vec(200, 1.0)), lae::kIerNotSolved},
      {"a not n x n", lae::solve_exact(Vec(3, 1.0), Vec(2, 1.0)), lae::kIerNotSolved},
      {"band not 3n", lae::solve_3diag(Vec(5, 1.0), Vec(2, 1.0)), lae::kIerNotSolved},
      {"order 0", lae::solve_02(Vec{}, Vec{}), LAE_IER_FAILED},
  };
  for (const Refused& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.r.ier, c.ier);
    EXPECT_FALSE(c.r.poi.has_value());
    EXPECT_EQ(c.r.x, Vec(c.r.x.size(), 0.0));
  }
}

}  // namespace
