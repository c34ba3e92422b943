// Shared pieces of the linear solvers.
//
//   entry and exits   input_finite, refuse_entry, solution_representable,
//                     stop_with_zero_solution
//   full systems      load_full_system, full_residual
//   estimate          largest_relative_correction, judge
//   printing          report_outcome
#include "lae/lae_work.h"

#include <cmath>

#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace lae {

namespace {

// B(1..n) and A(i, 1..columns) for i = 1..n.
bool input_finite(int n, const double* A, int row_stride, int columns, const double* B) {
  for (int i = 1; i <= n; ++i) {
    if (!std::isfinite(B[i])) return false;
    for (int j = 1; j <= columns; ++j) {
      if (!std::isfinite(A[layout::flat_index(i, j, row_stride)])) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<CoreOutcome> refuse_entry(int n, int max_order, const double* A, int row_stride, int columns,
                                        const double* B, double* X) {
  if (n > max_order) return CoreOutcome{Stage::kAboveLimit, LAE_IER_FAILED, 0.0};
  // Below 1 there is no system to solve, and nothing to zero.
  if (n < 1 || !input_finite(n, A, row_stride, columns, B)) return stop_with_zero_solution(n, X);
  return std::nullopt;
}

bool solution_representable(int n, const double* X) {
  for (int k = 1; k <= n; ++k) {
    if (std::isinf(X[k])) return false;
  }
  return true;
}

CoreOutcome stop_with_zero_solution(int n, double* X) {
  for (int k = 1; k <= n; ++k) X[k] = 0.0;
  return {Stage::kStopped, LAE_IER_FAILED, 0.0};
}

void load_full_system(int n, const double* A, const double* B, FullMatrix& AA, FullVector& BB) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      ld_clear(AA(i, j));
      ld_from_double(A[layout::flat_index(i, j, n)], AA(i, j));
    }
  }
  for (int k = 1; k <= n; ++k) {
    ld_clear(BB[k]);
    ld_from_double(B[k], BB[k]);
  }
}

void full_residual(const FullMatrix& AA, const FullVector& BB, const FullVector& XX, FullVector& RR) {
  const int n = AA.n;
  for (int i = 1; i <= n; ++i) {
    LongDecimal SUM{};
    for (int m = 1; m <= n; ++m) {
      const LongDecimal rabdl1 = ld_mul(AA(i, m), XX[m]);
      SUM = ld_add(SUM, rabdl1);
    }
    RR[i] = ld_add(BB[i], ld_negate(SUM));
  }
}

double largest_relative_correction(int n, std::span<const LongDecimal> DD, const double* X) {
  double poi = 0.0;
  for (int k = 1; k <= n; ++k) {
    double dm = 0.0;  // DD(k) in double
    ld_to_double(DD[k], dm);
    const double term = std::fabs(X[k]) > kTinySolution ? std::fabs(dm / X[k]) : std::fabs(dm);
    if (poi < term) poi = term;
  }
  return poi;
}

CoreOutcome judge(int n, double poi, double limit, double* X) {
  if (poi > limit) {
    for (int k = 1; k <= n; ++k) X[k] = 0.0;
    return {Stage::kJudged, LAE_IER_FAILED, poi};
  }
  return {Stage::kJudged, LAE_IER_OK, poi};
}

void report_outcome(const CoreOutcome& outcome, const char* banner, int* ier) {
  if (outcome.stage == Stage::kAboveLimit) return;
  *ier = outcome.ier;
  if (outcome.stage != Stage::kJudged) return;
  textout::out_printf(textout::diagnostics_stream(), "poi=%e\n", outcome.poi);
  if (outcome.ier == LAE_IER_OK && banner != nullptr) {
    textout::out_printf(textout::diagnostics_stream(), "%s", banner);
  }
}

}  // namespace lae
