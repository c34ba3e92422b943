// The C++ layer against the specified entry points on systems of the linear
// battery (singular, inconsistent, ill-conditioned, mixed scales, the band):
// the same ier, the same poi (present exactly when the "poi=" line is
// printed), and x, l, u the nearest doubles to the long-decimal values that
// the core computed, judged by exact distances. The layer's own cases: a
// solution that the specified conversion misses by an ulp, the order-2 band
// that the flat layout cannot hold, and refused sizes.
//
// The battery's data live in driver/, which lae does not see; the systems
// below are copies of a representative few (D1, D2, D5, D8, D9, D10, D13).
// The check over all 24 tasks belongs to the battery's own tests.
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

using lae_test::Vec;

struct System {
  const char* name;
  Vec a;  // row-major n x n, or 3n band entries
  Vec b;
};

Vec hilbert10() {
  const Vec h = {1,
                 0.5,
                 0.33333333333333,
                 0.25,
                 0.2,
                 0.16666666666667,
                 0.14285714285714,
                 0.125,
                 0.11111111111111,
                 0.1,
                 0.09090909090909,
                 0.08333333333333,
                 0.07692307692308,
                 0.07142857142857,
                 0.06666666666667,
                 0.0625,
                 0.05882352941177,
                 0.05555555555556,
                 0.05263157894737};
  Vec a;
  for (std::size_t i = 0; i < 10; ++i) {
    for (std::size_t j = 0; j < 10; ++j) a.push_back(h[i + j]);
  }
  return a;
}

const std::vector<System>& dense_systems() {
  static const std::vector<System> systems = {
      {"D1 singular", {1, 2, 2, 4}, {3, 6}},
      {"D2 inconsistent", {1, 2, 3, 4, 5, 6, 7, 8, 9}, {6, 15, 16}},
      {"D5", {33, 16, 72, -24, -10, -57, -8, -4, -17}, {-359, 281, 85}},
      {"D8 Wilkinson", {0.78, 0.563, 0.913, 0.659}, {0.217, 0.254}},
      {"D9 Hilbert 10",
       hilbert10(),
       {2.92896825396825, 2.01987734487734, 1.60321067821067, 1.34680042180042, 1.16822899322899,
        1.03489565989566, 0.93072899322899, 0.84669537978362, 0.77725093533918, 0.71877140317544}},
      {"D10 mixed scales",
       {0.119,  -3.47, 1.78e-07, -0.524,  0.00535,   438000, 0.866,  3.25e-07, -0.00566,
        -1.94e-06, 5600,  0.035,    -7.74e-06, 0.0218, 14100,     458000, -0.86, 8e-09,
        0.57,   -0.000715, -16900, -6120,  -5.12e-06, -261000, -6.45e-07},
       {-3.869649822, 438000.860338385, 19700.05679226, 457999.709285008, -284020.000005765}},
      {"3x3 with solution (1, 2, 3)", {4, 1, 0, 1, 5, 2, 0, 2, 6}, {6, 17, 22}},
  };
  return systems;
}

// The exact value of a long decimal over its 33 fraction words.
mpq_class value_of(const LongDecimal& v) {
  mpz_class digits = 0;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) digits = digits * kLdBase + v[w];
  mpz_class power;
  const int e = v[kLdExponent] - kLdDigitsPerWord * (kLdLastDigit - kLdFirstDigit + 1);
  mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(e < 0 ? -e : e));
  const mpq_class magnitude = e < 0 ? mpq_class(digits, power) : mpq_class(digits * power);
  return v[kLdSign] * magnitude;
}

// What the entry point printed, rebuilt from the layer's record.
std::string printed_by(const lae::LinearSolution& r, const std::string& banner) {
  if (!r.poi) return "";
  return textout::out_format("poi=%e\n", *r.poi) + (r.ier == LAE_IER_OK ? banner : "");
}

std::optional<double> estimate_of(const lae::CoreOutcome& core) {
  if (core.stage != lae::Stage::kJudged) return std::nullopt;
  return core.poi;
}

// x[k] the nearest double to XX(k + 1) when solved, all zeros otherwise.
void expect_rounded(const lae::LinearSolution& r, std::span<const LongDecimal> XX) {
  for (std::size_t k = 0; k < r.x.size(); ++k) {
    EXPECT_TRUE(r.ier == LAE_IER_OK ? lae_test::is_nearest(value_of(XX[k + 1]), r.x[k]) : r.x[k] == 0.0)
        << "x[" << k << "] = " << r.x[k];
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

const std::string kBanner01 =
    "LAE_Solver_01 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: Full matrix(50x50 max)\n";
const std::string kBanner02 =
    "LAE_Solver_02 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: full matrix(40x40 max)\n";

TEST(LaeLinearSolve, DenseSolversAgreeWithTheEntryPoints) {
  for (const System& s : dense_systems()) {
    SCOPED_TRACE(s.name);
    int n = static_cast<int>(s.b.size());
    lae_test::Rows rows(s.b.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].assign(s.a.begin() + i * n, s.a.begin() + (i + 1) * n);
    const Vec A = lae_test::flat(rows, NAN);
    const Vec B = lae_test::one_based(s.b);
    Vec X(B.size()), L(A.size()), U(A.size());
    int ier01 = -7, ier02 = -7;
    const std::string out01 = test_support::stdout_of([&] { LAE_Solver_01(&n, A.data(), B.data(), X.data(), &ier01); });
    const std::string out02 = test_support::stdout_of(
        [&] { LAE_Solver_02(&n, A.data(), B.data(), L.data(), U.data(), X.data(), &ier02); });

    const lae::LinearSolution r01 = lae::solve_01(s.a, s.b);
    EXPECT_EQ(r01.ier, ier01);
    EXPECT_EQ(printed_by(r01, kBanner01), out01);
    lae::GaussWork gauss(n);
    const lae::CoreOutcome core01 = lae::solver_01_core(n, A.data(), B.data(), X.data(), gauss);
    EXPECT_EQ(r01.poi, estimate_of(core01));
    expect_rounded(r01, gauss.XX);

    const lae::FactoredSolution r02 = lae::solve_02(s.a, s.b);
    EXPECT_EQ(r02.ier, ier02);
    EXPECT_EQ(printed_by(r02, kBanner02), out02);
    auto crout = std::make_unique<lae::CroutWork>(n);
    const lae::CoreOutcome core02 = lae::solver_02_core(n, A.data(), B.data(), L.data(), U.data(), X.data(), *crout);
    EXPECT_EQ(r02.poi, estimate_of(core02));
    expect_rounded(r02, crout->XX);
    EXPECT_EQ(r02.l.empty(), !crout->factors_written);
    if (crout->factors_written) {
      expect_rounded(r02.l, crout->LL);
      expect_rounded(r02.u, crout->UU);
    }
  }
}

TEST(LaeLinearSolve, BandSolverAgreesWithTheEntryPoint) {
  // D13, rows (a_i, b_i, c_i), entries from 1e-5 to 5e5; and a zero diagonal.
  const System systems[] = {
      {"D13", {0, 1e-05, 200000, -1, 0.0003, 400000, 500000, 2e-05, -1, 3, 1, 0},
       {200000.00001, 399999.0003, 499999.00002, 4}},
      {"3x3 with solution (1, 2, 3)", {0, 4, 1, 1, 5, 2, 2, 6, 0}, {6, 17, 22}},
      {"zero diagonal", {0, 1, 2, 1, 0, 1, 2, 1, 0}, {1, 1, 1}},
  };
  for (const System& s : systems) {
    SCOPED_TRACE(s.name);
    int n = static_cast<int>(s.b.size());
    lae_test::Rows rows;
    for (std::size_t i = 0; i < s.b.size(); ++i) rows.push_back({s.a[3 * i], s.a[3 * i + 1], s.a[3 * i + 2]});
    const Vec A = lae_test::flat(rows, NAN);
    const Vec B = lae_test::one_based(s.b);
    Vec X(B.size());
    int ier = -7;
    const std::string out = test_support::stdout_of([&] { LAE_Solver_3diag(&n, A.data(), B.data(), X.data(), &ier); });

    const lae::LinearSolution r = lae::solve_3diag(s.a, s.b);
    EXPECT_EQ(r.ier, ier);
    EXPECT_EQ(printed_by(r, ""), out);
    auto sweep = std::make_unique<lae::SweepWork>(n);
    const lae::CoreOutcome core = lae::solver_3diag_core(n, A.data(), n, B.data(), X.data(), *sweep);
    EXPECT_EQ(r.poi, estimate_of(core));
    expect_rounded(r, sweep->XX);
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
