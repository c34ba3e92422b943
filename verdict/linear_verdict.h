// The verdict on the linear battery: the X that each of the 24 tasks prints,
// against the exact solution of the system as given in doubles.
//
//   measures     LinearErrors, ulp_distance, linear_errors
//   classes      LinearClass, class_key, class_label, Judgement, judge_solution
//   the tasks    LinearRow, tridiagonal_full_matrix, judge_linear_tasks
//
// How a component is measured. x_i is LAE_Solver_exact's component (the exact
// rational rounded to nearest), X_i the component the entry point returns, which
// is what the battery prints. The relative error is |X_i - x_i| / |x_i|; where
// x_i is zero it is 0 when X_i is zero (of either sign) and infinite otherwise,
// since no relative error is small next to an exact zero. The distance in ulps
// counts the doubles from X_i to x_i, +0 and -0 being one point, so it stays
// finite across zero (from 1e-17 to 0 it is about 4.4e18).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/linear_tasks.h"

namespace verdict {

// --- measures --------------------------------------------------------------------------

struct LinearErrors {
  double max_relative_error;  // over the components; +inf, see above
  std::uint64_t max_ulps;     // over the components
};

// Doubles from a to b (0 when equal, +0 == -0); UINT64_MAX when either is NaN.
std::uint64_t ulp_distance(double a, double b);

// Both measures over the components of x against exact (same sizes).
LinearErrors linear_errors(std::span<const double> x, std::span<const double> exact);

// --- classes ---------------------------------------------------------------------------

// A computed answer is correct when every component lies within this many
// doubles of the correctly rounded one: the conversions into and out of the
// long decimals may cost a few roundings, a wrong elimination costs many more.
inline constexpr std::uint64_t kCorrectUlps = 4;

enum class LinearClass {
  Correct,                   // accepted, within kCorrectUlps of the exact solution
  AcceptedButWrong,          // accepted, beyond kCorrectUlps
  RejectedAlthoughSolvable,  // rejected, the system has a unique solution in doubles
  RightlyRejected,           // rejected, no unique solution in doubles (singular, or beyond the range)
  AcceptedAlthoughSingular,  // accepted, the matrix is singular
};

inline constexpr LinearClass kAllClasses[] = {LinearClass::Correct, LinearClass::AcceptedButWrong,
                                              LinearClass::RejectedAlthoughSolvable, LinearClass::RightlyRejected,
                                              LinearClass::AcceptedAlthoughSingular};

// "correct", "accepted_but_wrong", ... (the JSON's names).
const char* class_key(LinearClass c);
// "correct", "accepted but wrong", ... (the table's names).
const char* class_label(LinearClass c);

struct Judgement {
  std::optional<LinearErrors> errors;  // present when the solver accepted and the solution is unique
  LinearClass verdict;
};

// The solver's ier and X against LAE_Solver_exact's ier and X (0-based, same
// sizes).
Judgement judge_solution(int ier, std::span<const double> x, int exact_ier, std::span<const double> exact);

// --- the tasks -------------------------------------------------------------------------

struct LinearRow {
  int number;                 // 1..24 in the battery's order
  const char* solver;         // "LAE_Solver_01", "LAE_Solver_02" or "LAE_Solver_3diag"
  std::string title;          // the task's title without its trailing separators
  int n;                      // order
  int ier;                    // the entry point's
  std::optional<double> poi;  // the solver's estimate, when it made one
  int exact_ier;              // LAE_Solver_exact's
  std::vector<double> x;      // the entry point's X(1..n), 0-based
  std::vector<double> exact;  // LAE_Solver_exact's X(1..n), 0-based
  Judgement judgement;
};

// The tridiagonal task's band as a full n x n matrix, row-major (a_1 and c_n
// left out, as the sweep leaves them).
std::vector<double> tridiagonal_full_matrix(const battery::LinearData& band);

// Every task of the three series through its solver, on fresh storage and
// with the solvers' console lines silenced.
std::vector<LinearRow> judge_linear_tasks();

}  // namespace verdict
