// LAE_Solver_01: a dense system A*x = b of order 1..15, solved by Gaussian
// elimination with row exchanges entirely in long decimals, then checked by
// one refinement step whose largest relative correction (poi) must not exceed
// 1e-16.
//
//   elimination   exchange_rows, eliminate_with_exchanges, back_substitute
//   entry point   LAE_Solver_01
#include <cmath>
#include <cstdio>
#include <utility>

#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "longdec/longdec.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace {

using lae::FullMatrix;
using lae::FullVector;

// A solution whose poi exceeds this is rejected like a singular matrix.
constexpr double kPoiLimit = 1e-16;

constexpr const char* kBanner =
    "LAE_Solver_01 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: Full matrix(50x50 max)\n";

void exchange_rows(FullMatrix& AA, FullVector& BB, int k, int i) {
  for (int m = 1; m <= AA.n; ++m) std::swap(AA(k, m), AA(i, m));
  std::swap(BB[k], BB[i]);
}

// Forward elimination of AA with right-hand side BB. In column k each row
// below is compared, in double, with the row in position k at that moment and
// exchanged with it when strictly larger in magnitude; so each exchange sends
// the former pivot row down to position i. Multipliers are formed and applied
// even for zero entries. Returns false at a zero pivot, AA(n, n) included.
bool eliminate_with_exchanges(FullMatrix& AA, FullVector& BB) {
  const int n = AA.n;
  for (int k = 1; k <= n - 1; ++k) {
    for (int i = k + 1; i <= n; ++i) {
      double rab1 = 0.0;
      double rab2 = 0.0;
      ld_to_double(AA(i, k), rab1);
      ld_to_double(AA(k, k), rab2);
      if (std::fabs(rab2) < std::fabs(rab1)) exchange_rows(AA, BB, k, i);
    }
    if (ld_is_zero(AA(k, k))) return false;
    for (int i = k + 1; i <= n; ++i) {
      const LongDecimal Mik = ld_div(AA(i, k), AA(k, k));
      ld_clear(AA(i, k));
      for (int m = k + 1; m <= n; ++m) {
        const LongDecimal rabdl1 = ld_mul(Mik, AA(k, m));
        AA(i, m) = ld_add(AA(i, m), ld_negate(rabdl1));
      }
      const LongDecimal rabdl1 = ld_mul(Mik, BB[k]);
      BB[i] = ld_add(BB[i], ld_negate(rabdl1));
    }
  }
  return !ld_is_zero(AA(n, n));
}

// XX from the upper triangle of AA and BB. The zero tests repeat those of the
// elimination (a pivot row is not changed afterwards), so they never fail
// after it; they keep every division guarded.
bool back_substitute(const FullMatrix& AA, const FullVector& BB, FullVector& XX) {
  const int n = AA.n;
  XX[n] = ld_div(BB[n], AA(n, n));
  for (int i = n - 1; i >= 1; --i) {
    LongDecimal SUM{};
    for (int m = i + 1; m <= n; ++m) {
      const LongDecimal rabdl1 = ld_mul(AA(i, m), XX[m]);
      SUM = ld_add(SUM, rabdl1);
    }
    if (ld_is_zero(AA(i, i))) return false;
    const LongDecimal rabdl1 = ld_add(BB[i], ld_negate(SUM));
    XX[i] = ld_div(rabdl1, AA(i, i));
  }
  return true;
}

}  // namespace

void LAE_Solver_01(const int* order, const double* A, const double* B, double* X, int* ier) {
  const int n = *order;
  // Above capacity nothing is written; below 1 there is no system to solve.
  if (n > lae::kFullMaxOrder) return;
  if (n < 1) {
    *ier = lae::kIerFailure;
    return;
  }
  *ier = lae::kIerSuccess;
  if (!lae::full_input_finite(n, A, B)) return lae::fail_with_zero_solution(n, X, ier);

  FullMatrix AA(n);
  FullVector BB;
  FullVector XX;
  FullVector RR;
  FullVector DD;

  // Load, eliminate and solve in long decimals.
  lae::load_full_system(n, A, B, AA, BB);
  for (int k = 1; k <= n; ++k) ld_clear(XX[k]);
  if (!eliminate_with_exchanges(AA, BB)) return lae::fail_with_zero_solution(n, X, ier);
  if (!back_substitute(AA, BB, XX)) return lae::fail_with_zero_solution(n, X, ier);
  for (int k = 1; k <= n; ++k) ld_to_double(XX[k], X[k]);
  if (!lae::solution_representable(n, X)) return lae::fail_with_zero_solution(n, X, ier);

  // Refinement step: residual of the long-decimal solution against the
  // caller's system, then the correction from the same elimination. The
  // correction only measures the precision; it is not added to XX.
  lae::load_full_system(n, A, B, AA, BB);
  for (int k = 1; k <= n; ++k) {
    ld_clear(RR[k]);
    ld_clear(DD[k]);
  }
  lae::full_residual(AA, BB, XX, RR);
  if (!eliminate_with_exchanges(AA, RR)) return lae::fail_with_zero_solution(n, X, ier);
  if (!back_substitute(AA, RR, DD)) return lae::fail_with_zero_solution(n, X, ier);

  const double poi = lae::largest_relative_correction(n, DD, X);
  textout::out_printf(textout::diagnostics_stream(), "poi=%e\n", poi);
  if (poi > kPoiLimit) return lae::fail_with_zero_solution(n, X, ier);
  textout::out_printf(textout::diagnostics_stream(), "%s", kBanner);
}
