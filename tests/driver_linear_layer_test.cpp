// The C++ layer of the linear solvers against their entry points on the 24
// tasks of the battery: the same ier, the same poi (present exactly when the
// "poi=" line is printed), and x, l, u the nearest doubles to the long-decimal
// values that the same core computed, judged by exact distances.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/linear_tasks.h"
#include "lae/lae_cores.h"
#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "lae_test_support.h"
#include "test_support.h"
#include "textout/textout.h"

namespace {

using battery::LinearData;
using lae_test::Vec;

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

// A task in the entry points' 1-based layout, row stride n.
struct OneBased {
  int n;
  Vec A, B;
  explicit OneBased(const LinearData& d) : n(d.n), B(lae_test::one_based({d.rhs.begin(), d.rhs.end()})) {
    const std::size_t columns = d.rows.size() / static_cast<std::size_t>(n);
    lae_test::Rows rows;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
      rows.emplace_back(d.rows.begin() + i * columns, d.rows.begin() + (i + 1) * columns);
    }
    A = lae_test::flat(rows, NAN);
  }
};

TEST(LinearLayerOnTheBattery, SameIerAndPoiAndXRoundedFromTheSameCore) {
  int tasks = 0;
  for (const bool crout : {false, true}) {
    for (const battery::LinearTask& task : crout ? battery::second_series() : battery::first_series()) {
      SCOPED_TRACE(std::string(crout ? "LAE_Solver_02: " : "LAE_Solver_01: ") + task.title);
      OneBased t(*task.data);
      const std::vector<double> rows(task.data->rows.begin(), task.data->rows.end());
      const std::vector<double> rhs(task.data->rhs.begin(), task.data->rhs.end());
      Vec X(t.B.size()), L(t.A.size()), U(t.A.size());
      int ier = -7;
      if (!crout) {
        const std::string out =
            test_support::stdout_of([&] { LAE_Solver_01(&t.n, t.A.data(), t.B.data(), X.data(), &ier); });
        lae::GaussWork gauss(t.n);
        const lae::CoreOutcome core = lae::solver_01_core(t.n, t.A.data(), t.B.data(), X.data(), gauss);
        expect_agreement(lae::solve_01(rows, rhs), ier, out, lae_test::kBanner01, core, gauss.XX);
      } else {
        const std::string out = test_support::stdout_of(
            [&] { LAE_Solver_02(&t.n, t.A.data(), t.B.data(), L.data(), U.data(), X.data(), &ier); });
        auto work = std::make_unique<lae::CroutWork>(t.n);
        const lae::CoreOutcome core =
            lae::solver_02_core(t.n, t.A.data(), t.B.data(), L.data(), U.data(), X.data(), *work);
        const lae::FactoredSolution r = lae::solve_02(rows, rhs);
        expect_agreement(r, ier, out, lae_test::kBanner02, core, work->XX);
        EXPECT_EQ(r.l.empty(), !work->factors_written);
        if (work->factors_written) {
          expect_rounded(r.l, work->LL);
          expect_rounded(r.u, work->UU);
        }
      }
      ++tasks;
    }
  }
  const LinearData& band = battery::tridiagonal_task();
  OneBased t(band);
  Vec X(t.B.size());
  int ier = -7;
  const std::string out =
      test_support::stdout_of([&] { LAE_Solver_3diag(&t.n, t.A.data(), t.B.data(), X.data(), &ier); });
  auto sweep = std::make_unique<lae::SweepWork>(t.n);
  const lae::CoreOutcome core = lae::solver_3diag_core(t.n, t.A.data(), t.n, t.B.data(), X.data(), *sweep);
  const std::vector<double> rows(band.rows.begin(), band.rows.end()), rhs(band.rhs.begin(), band.rhs.end());
  expect_agreement(lae::solve_3diag(rows, rhs), ier, out, "", core, sweep->XX);
  EXPECT_EQ(tasks + 1, 24);
}

}  // namespace
