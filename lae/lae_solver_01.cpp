// LAE_Solver_01: a dense system A*x = b of order 1..15, solved by Gaussian
// elimination with row exchanges entirely in long decimals, then checked by
// one refinement step whose largest relative correction (poi) must not exceed
// 1e-16.
//
//   elimination   exchange_rows, eliminate_with_exchanges, back_substitute
//   core          lae::solver_01_core
//   entry point   LAE_Solver_01
#include <cmath>
#include <utility>

#include "lae/lae_cores.h"
#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "longdec/longdec.h"

namespace {

using lae::FullMatrix;
using lae::FullVector;

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

namespace lae {

CoreOutcome solver_01_core(int n, const double* A, const double* B, double* X, GaussWork& w) {
  if (const auto refused = refuse_entry(n, kFullMaxOrder, A, n, n, B, X)) return *refused;

  // Load, eliminate and solve in long decimals.
  load_full_system(n, A, B, w.AA, w.BB);
  for (int k = 1; k <= n; ++k) ld_clear(w.XX[k]);
  if (!eliminate_with_exchanges(w.AA, w.BB)) return stop_with_zero_solution(n, X);
  if (!back_substitute(w.AA, w.BB, w.XX)) return stop_with_zero_solution(n, X);
  for (int k = 1; k <= n; ++k) ld_to_double(w.XX[k], X[k]);
  if (!solution_representable(n, X)) return stop_with_zero_solution(n, X);

  // Refinement step: residual of the long-decimal solution against the
  // caller's system, then the correction from the same elimination. The
  // correction only measures the precision; it is not added to XX.
  load_full_system(n, A, B, w.AA, w.BB);
  for (int k = 1; k <= n; ++k) {
    ld_clear(w.RR[k]);
    ld_clear(w.DD[k]);
  }
  full_residual(w.AA, w.BB, w.XX, w.RR);
  if (!eliminate_with_exchanges(w.AA, w.RR)) return stop_with_zero_solution(n, X);
  if (!back_substitute(w.AA, w.RR, w.DD)) return stop_with_zero_solution(n, X);
  return judge(n, largest_relative_correction(n, w.DD, X), kFullPoiLimit, X);
}

}  // namespace lae

void LAE_Solver_01(const int* n, const double* A, const double* B, double* X, int* ier) {
  lae::GaussWork work(*n);
  lae::report_outcome(lae::solver_01_core(*n, A, B, X, work), kBanner, ier);
}
