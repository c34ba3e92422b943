// The linear verdict: classes and error measures on hand-made answers
// (zeros, signed zeros, across zero, singular and overflowing systems), the
// tridiagonal band as a full matrix, and the battery's own tasks where their
// answers are known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "verdict/linear_verdict.h"

namespace {

using verdict::LinearClass;
using Vec = std::vector<double>;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
// The doubles from 0 to 1e-300: the bit pattern of 1e-300 read as an integer.
constexpr std::uint64_t kUlpsTo1em300 = 118622047889322841ULL;

double up(double v, int ulps) {
  for (int k = 0; k < ulps; ++k) v = std::nextafter(v, kInf);
  return v;
}

TEST(VerdictLinear, ClassesAndMeasures) {
  struct Case {
    const char* what;
    int ier;
    Vec x;
    int exact_ier;
    Vec exact;
    LinearClass expected;
    std::optional<std::uint64_t> ulps;  // nullopt: not measured
    double relative;                    // checked when measured
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {"identical", 0, {1, -2.5}, 0, {1, -2.5}, LinearClass::Correct, 0, 0},
      {"4 ulps", 0, {1, up(2, 4)}, 0, {1, 2}, LinearClass::Correct, 4, 4 * 0x1p-52},
      {"5 ulps", 0, {up(1, 5), 2}, 0, {1, 2}, LinearClass::AcceptedButWrong, 5, 5 * 0x1p-52},
      {"zero as -0", 0, {-0.0, 3}, 0, {0, 3}, LinearClass::Correct, 0, 0},
      {"zero missed", 0, {1e-300, 3}, 0, {0, 3}, LinearClass::AcceptedButWrong, kUlpsTo1em300, kInf},
      {"across zero", 0, {-kTiny}, 0, {kTiny}, LinearClass::Correct, 2, 2},
      {"not a number", 0, {nan}, 0, {1}, LinearClass::AcceptedButWrong, UINT64_MAX, nan},
      {"rejected, unique", 1, {0, 0}, 0, {1, 2}, LinearClass::RejectedAlthoughSolvable, std::nullopt, 0},
      {"rejected, inconsistent", 1, {0, 0}, 1, {0, 0}, LinearClass::RightlyRejected, std::nullopt, 0},
      {"rejected, consistent", 1, {0, 0}, 2, {3, 0}, LinearClass::RightlyRejected, std::nullopt, 0},
      {"rejected, overflow", 1, {0}, 3, {0}, LinearClass::RightlyRejected, std::nullopt, 0},
      {"accepted, inconsistent", 0, {1e15, -3e14}, 1, {0, 0}, LinearClass::AcceptedAlthoughSingular, std::nullopt, 0},
      {"accepted, consistent", 0, {3, 0}, 2, {3, 0}, LinearClass::AcceptedAlthoughSingular, std::nullopt, 0},
      {"accepted, overflow", 0, {1e308}, 3, {0}, LinearClass::AcceptedButWrong, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const verdict::Judgement j = verdict::judge_solution(c.ier, c.x, c.exact_ier, c.exact);
    EXPECT_EQ(verdict::class_key(j.verdict), std::string(verdict::class_key(c.expected)));
    ASSERT_EQ(j.errors.has_value(), c.ulps.has_value());
    if (!c.ulps) continue;
    EXPECT_EQ(j.errors->max_ulps, *c.ulps);
    if (std::isnan(c.relative)) {
      EXPECT_TRUE(std::isnan(j.errors->max_relative_error));
    } else {
      EXPECT_EQ(j.errors->max_relative_error, c.relative);
    }
  }
}

// a_1 and c_n (9 here) lie outside the matrix; x = (1, 2, 3).
TEST(VerdictLinear, TridiagonalBandAsFullMatrix) {
  const Vec band = {9, 2, 1, 1, 3, 1, 1, 4, 9};
  const Vec rhs = {4, 10, 14};
  const battery::LinearData d{3, band, rhs};
  const lae::LinearSolution s = lae::solve_exact(verdict::tridiagonal_full_matrix(d), rhs);
  EXPECT_EQ(s.ier, LAE_IER_OK);
  EXPECT_EQ(s.x, (Vec{1, 2, 3}));
}

// Known answers of the battery's data: D1 (tasks 1 and 13) is singular and
// consistent, D2 (2, 14) singular and inconsistent, D5 (5, 16) has the integer
// solution (1, -2, -5), and D13's right-hand side holds the row sums, so its
// solution is near (1, 1, 1, 1).
TEST(VerdictLinear, BatteryTasksWithKnownAnswers) {
  const std::vector<verdict::LinearRow> rows = verdict::judge_linear_tasks();
  ASSERT_EQ(rows.size(), 24U);
  for (const int k : {1, 13}) EXPECT_EQ(rows[k - 1].exact_ier, LAE_IER_SINGULAR_CONSISTENT) << k;
  for (const int k : {2, 14}) EXPECT_EQ(rows[k - 1].exact_ier, LAE_IER_FAILED) << k;
  for (const int k : {5, 16}) {
    EXPECT_EQ(rows[k - 1].exact, (Vec{1, -2, -5})) << k;
    EXPECT_EQ(rows[k - 1].x, (Vec{1, -2, -5})) << k;
    EXPECT_EQ(rows[k - 1].judgement.verdict, LinearClass::Correct) << k;
  }
  EXPECT_STREQ(rows[23].solver, "LAE_Solver_3diag");
  ASSERT_EQ(rows[23].exact.size(), 4U);
  for (const double v : rows[23].exact) EXPECT_NEAR(v, 1, 1e-5);
}

}  // namespace
