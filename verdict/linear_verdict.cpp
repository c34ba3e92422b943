// The verdict on the linear battery (see linear_verdict.h).
//
//   measures     ordered_key, ulp_distance, relative_error, linear_errors
//   classes      class_key, class_label, classify, judge_solution
//   the tasks    trimmed_title, one_based, EntryPoint, run_entry_point, poi_of,
//                exact_of, judge_task, tridiagonal_full_matrix, judge_linear_tasks
#include "verdict/linear_verdict.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>

#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "layout/flat_index.h"
#include "textout/diagnostics.h"

namespace verdict {

// --- measures --------------------------------------------------------------------------

namespace {

// The double's place among all doubles as a signed count from zero, so that
// neighbours differ by one and +0 and -0 meet.
std::int64_t ordered_key(double v) {
  const auto bits = std::bit_cast<std::int64_t>(v);
  const std::int64_t magnitude = bits & std::numeric_limits<std::int64_t>::max();
  return bits < 0 ? -magnitude : magnitude;
}

double relative_error(double x, double exact) {
  if (exact == 0) return x == 0 ? 0.0 : std::numeric_limits<double>::infinity();
  return std::fabs(x - exact) / std::fabs(exact);
}

}  // namespace

std::uint64_t ulp_distance(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<std::uint64_t>::max();
  const std::int64_t ka = ordered_key(a);
  const std::int64_t kb = ordered_key(b);
  // Each key lies within +-(2^63 - 1), so the difference fits unsigned.
  return ka >= kb ? static_cast<std::uint64_t>(ka) - static_cast<std::uint64_t>(kb)
                  : static_cast<std::uint64_t>(kb) - static_cast<std::uint64_t>(ka);
}

LinearErrors linear_errors(std::span<const double> x, std::span<const double> exact) {
  LinearErrors e{0.0, 0};
  for (std::size_t i = 0; i < x.size() && i < exact.size(); ++i) {
    const double r = relative_error(x[i], exact[i]);
    if (!(r <= e.max_relative_error)) e.max_relative_error = r;  // a NaN shows as such
    e.max_ulps = std::max(e.max_ulps, ulp_distance(x[i], exact[i]));
  }
  return e;
}

// --- classes ---------------------------------------------------------------------------

const char* class_key(LinearClass c) {
  switch (c) {
    case LinearClass::Correct:
      return "correct";
    case LinearClass::AcceptedButWrong:
      return "accepted_but_wrong";
    case LinearClass::RejectedAlthoughSolvable:
      return "rejected_although_solvable";
    case LinearClass::RightlyRejected:
      return "rightly_rejected";
    case LinearClass::AcceptedAlthoughSingular:
      return "accepted_although_singular";
  }
  return "";
}

const char* class_label(LinearClass c) {
  switch (c) {
    case LinearClass::Correct:
      return "correct";
    case LinearClass::AcceptedButWrong:
      return "accepted but wrong";
    case LinearClass::RejectedAlthoughSolvable:
      return "rejected although uniquely solvable";
    case LinearClass::RightlyRejected:
      return "rightly rejected (singular)";
    case LinearClass::AcceptedAlthoughSingular:
      return "accepted although singular";
  }
  return "";
}

namespace {

// A solution beyond the double range cannot be printed, so rejecting it is
// right, and accepting it can only be wrong. LAE_IER_FAILED of the exact
// solver also stands for non-finite input, which the battery never has.
LinearClass classify(bool accepted, int exact_ier, const std::optional<LinearErrors>& errors) {
  const bool singular = exact_ier == LAE_IER_FAILED || exact_ier == LAE_IER_SINGULAR_CONSISTENT;
  if (singular) return accepted ? LinearClass::AcceptedAlthoughSingular : LinearClass::RightlyRejected;
  if (exact_ier != LAE_IER_OK) return accepted ? LinearClass::AcceptedButWrong : LinearClass::RightlyRejected;
  if (!accepted) return LinearClass::RejectedAlthoughSolvable;
  return errors->max_ulps <= kCorrectUlps ? LinearClass::Correct : LinearClass::AcceptedButWrong;
}

}  // namespace

Judgement judge_solution(int ier, std::span<const double> x, int exact_ier, std::span<const double> exact) {
  const bool accepted = ier == LAE_IER_OK;
  std::optional<LinearErrors> errors;
  if (accepted && exact_ier == LAE_IER_OK) errors = linear_errors(x, exact);
  return {errors, classify(accepted, exact_ier, errors)};
}

// --- the tasks -------------------------------------------------------------------------

namespace {

// Titles run on into the next printed text: drop the separators at their end.
std::string trimmed_title(const char* title) {
  std::string s(title);
  while (!s.empty() && (s.back() == ' ' || s.back() == ',' || s.back() == '\n')) s.pop_back();
  return s;
}

std::vector<double> one_based(std::span<const double> v) {
  std::vector<double> out{0.0};
  out.insert(out.end(), v.begin(), v.end());
  return out;
}

enum class EntryPoint { Gauss, Crout, Tridiagonal };

struct EntryResult {
  int ier;
  std::vector<double> x;  // 0-based
};

// The entry point on fresh 1-based storage laid out as the battery lays it out.
EntryResult run_entry_point(EntryPoint solver, const battery::LinearData& d) {
  int n = d.n;
  const std::size_t cells = static_cast<std::size_t>(std::max(layout::flat_cells(n), n * n + 4));
  std::vector<double> a(cells, 0.0);
  std::vector<double> l(cells, 0.0);
  std::vector<double> u(cells, 0.0);
  const int width = solver == EntryPoint::Tridiagonal ? 3 : n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= width; ++j) {
      const auto from = static_cast<std::size_t>((i - 1) * width + j - 1);
      a[static_cast<std::size_t>(layout::flat_index(i, j, n))] = d.rows[from];
    }
  }
  const std::vector<double> b = one_based(d.rhs);
  std::vector<double> x(b.size(), 0.0);
  int ier = LAE_IER_FAILED;
  const textout::DiagnosticsTo quiet(nullptr);
  if (solver == EntryPoint::Gauss) LAE_Solver_01(&n, a.data(), b.data(), x.data(), &ier);
  if (solver == EntryPoint::Crout) LAE_Solver_02(&n, a.data(), b.data(), l.data(), u.data(), x.data(), &ier);
  if (solver == EntryPoint::Tridiagonal) LAE_Solver_3diag(&n, a.data(), b.data(), x.data(), &ier);
  return {ier, std::vector<double>(x.begin() + 1, x.end())};
}

// The entry point's estimate, through the C++ layer that runs the same core.
std::optional<double> poi_of(EntryPoint solver, const battery::LinearData& d) {
  if (solver == EntryPoint::Gauss) return lae::solve_01(d.rows, d.rhs).poi;
  if (solver == EntryPoint::Crout) return lae::solve_02(d.rows, d.rhs).poi;
  return lae::solve_3diag(d.rows, d.rhs).poi;
}

lae::LinearSolution exact_of(EntryPoint solver, const battery::LinearData& d) {
  if (solver == EntryPoint::Tridiagonal) return lae::solve_exact(tridiagonal_full_matrix(d), d.rhs);
  return lae::solve_exact(d.rows, d.rhs);
}

LinearRow judge_task(int number, const char* solver_name, EntryPoint solver, const char* title,
                     const battery::LinearData& d) {
  const EntryResult entry = run_entry_point(solver, d);
  const lae::LinearSolution exact = exact_of(solver, d);
  return {number,
          solver_name,
          trimmed_title(title),
          d.n,
          entry.ier,
          poi_of(solver, d),
          exact.ier,
          entry.x,
          exact.x,
          judge_solution(entry.ier, entry.x, exact.ier, exact.x)};
}

}  // namespace

std::vector<double> tridiagonal_full_matrix(const battery::LinearData& band) {
  const auto n = static_cast<std::size_t>(band.n);
  std::vector<double> full(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) full[i * n + i - 1] = band.rows[3 * i];
    full[i * n + i] = band.rows[3 * i + 1];
    if (i + 1 < n) full[i * n + i + 1] = band.rows[3 * i + 2];
  }
  return full;
}

std::vector<LinearRow> judge_linear_tasks() {
  std::vector<LinearRow> rows;
  int number = 0;
  for (const battery::LinearTask& t : battery::first_series()) {
    rows.push_back(judge_task(++number, "LAE_Solver_01", EntryPoint::Gauss, t.title, *t.data));
  }
  for (const battery::LinearTask& t : battery::second_series()) {
    rows.push_back(judge_task(++number, "LAE_Solver_02", EntryPoint::Crout, t.title, *t.data));
  }
  rows.push_back(judge_task(++number, "LAE_Solver_3diag", EntryPoint::Tridiagonal, "Tridiagonal band",
                            battery::tridiagonal_task()));
  return rows;
}

}  // namespace verdict
