// LAE_Solver_3diag: a tridiagonal system of order 1..199, solved by the
// tridiagonal sweep without pivoting, entirely in long decimals, then checked
// by one refinement step whose largest relative correction (poi) must not
// exceed 1e-15. Row i of the band is (a_i, b_i, c_i) at flat indices
// i*n + 1..3 of the caller's A: a_i*x(i-1) + b_i*x(i) + c_i*x(i+1) = d_i.
//
//   band storage   load_band, diagonal_has_zero
//   sweep          sweep
//   refinement     band_residual
//   core           lae::solver_3diag_core
//   entry point    LAE_Solver_3diag
#include "lae/lae_cores.h"
#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "layout/flat_index.h"
#include "longdec/longdec.h"

namespace {

using lae::BandMatrix;
using lae::BandVector;

// Band columns of a row.
constexpr int kSub = 1;    // a_i, coefficient of x(i-1)
constexpr int kDiag = 2;   // b_i, coefficient of x(i)
constexpr int kSuper = 3;  // c_i, coefficient of x(i+1)

void load_band(int n, const double* A, int row_stride, const double* B, BandMatrix& AA, BandVector& BB) {
  for (int i = 1; i <= n; ++i) {
    for (int j = kSub; j <= kSuper; ++j) ld_from_double(A[layout::flat_index(i, j, row_stride)], AA(i, j));
  }
  for (int k = 1; k <= n; ++k) ld_from_double(B[k], BB[k]);
}

bool diagonal_has_zero(const BandMatrix& AA) {
  for (int i = 1; i <= AA.n; ++i) {
    if (ld_is_zero(AA(i, kDiag))) return true;
  }
  return false;
}

// Forward sweep with right-hand side D, then back substitution into XX, with
// x(i) = L(i+1)*x(i+1) + P(i+1). The sweep denominator a_i*L(i) + b_i can be
// zero for a singular band even when every b_i is not; it is tested before it
// divides, and the function returns false then.
bool sweep(const BandMatrix& AA, const BandVector& D, BandVector& L, BandVector& P, BandVector& XX) {
  const int n = AA.n;
  ld_clear(L[1]);
  ld_clear(P[1]);
  for (int i = 1; i <= n; ++i) {
    LongDecimal rabdl1 = ld_mul(AA(i, kSub), L[i]);
    const LongDecimal rabdl2 = ld_add(rabdl1, AA(i, kDiag));
    if (ld_is_zero(rabdl2)) return false;
    L[i + 1] = ld_negate(ld_div(AA(i, kSuper), rabdl2));
    rabdl1 = ld_negate(ld_mul(AA(i, kSub), P[i]));
    rabdl1 = ld_add(D[i], rabdl1);
    P[i + 1] = ld_div(rabdl1, rabdl2);
  }
  XX[n] = P[n + 1];
  for (int i = n - 1; i >= 1; --i) XX[i] = ld_add(ld_mul(L[i + 1], XX[i + 1]), P[i + 1]);
  return true;
}

// RR = BB - A*XX. Each row sums its products from the super-diagonal down to
// the sub-diagonal, leaving out the terms that would involve x(0) or x(n+1).
void band_residual(const BandMatrix& AA, const BandVector& BB, const BandVector& XX, BandVector& RR) {
  const int n = AA.n;
  for (int i = 1; i <= n; ++i) {
    LongDecimal S{};
    if (n == 1) {
      S = ld_mul(AA(i, kDiag), XX[i]);
    } else if (i == 1) {
      S = ld_add(ld_mul(AA(i, kSuper), XX[i + 1]), ld_mul(AA(i, kDiag), XX[i]));
    } else if (i == n) {
      S = ld_add(ld_mul(AA(i, kDiag), XX[i]), ld_mul(AA(i, kSub), XX[i - 1]));
    } else {
      S = ld_add(ld_add(ld_mul(AA(i, kSuper), XX[i + 1]), ld_mul(AA(i, kDiag), XX[i])), ld_mul(AA(i, kSub), XX[i - 1]));
    }
    RR[i] = ld_add(BB[i], ld_negate(S));
  }
}

}  // namespace

namespace lae {

CoreOutcome solver_3diag_core(int n, const double* A, int row_stride, const double* B, double* X, SweepWork& w) {
  if (const auto refused = refuse_entry(n, kBandMaxOrder, A, row_stride, kBandWidth, B, X)) return *refused;

  load_band(n, A, row_stride, B, w.AA, w.BB);
  for (int k = 1; k <= n; ++k) {
    ld_clear(w.L[k]);
    ld_clear(w.P[k]);
    ld_clear(w.XX[k]);
    ld_clear(w.RR[k]);
    ld_clear(w.DD[k]);
  }

  // No pivoting: a zero diagonal entry stops the solver before any sweep.
  if (diagonal_has_zero(w.AA)) return stop_with_zero_solution(n, X);
  if (!sweep(w.AA, w.BB, w.L, w.P, w.XX)) return stop_with_zero_solution(n, X);

  // Refinement step: the correction from the residual by the same sweep,
  // whose denominators repeat those that have just passed.
  band_residual(w.AA, w.BB, w.XX, w.RR);
  if (!sweep(w.AA, w.RR, w.L, w.P, w.DD)) return stop_with_zero_solution(n, X);

  for (int k = 1; k <= n; ++k) ld_to_double(w.XX[k], X[k]);
  if (!solution_representable(n, X)) return stop_with_zero_solution(n, X);
  return judge(n, largest_relative_correction(n, w.DD, X), kBandPoiLimit, X);
}

}  // namespace lae

void LAE_Solver_3diag(const int* n, const double* A, const double* B, double* X, int* ier) {
  lae::SweepWork work(*n);
  lae::report_outcome(lae::solver_3diag_core(*n, A, *n, B, X, work), nullptr, ier);
}
