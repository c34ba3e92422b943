// LAE_Solver_3diag: a tridiagonal system of order 1..199, solved by the
// tridiagonal sweep without pivoting, entirely in long decimals, then checked
// by one refinement step whose largest relative correction (poi) must not
// exceed 1e-15. Row i of the band is (a_i, b_i, c_i) at flat indices
// i*n + 1..3 of the caller's A: a_i*x(i-1) + b_i*x(i) + c_i*x(i+1) = d_i.
//
//   band storage   BandMatrix, band_input_finite, load_band, diagonal_has_zero
//   sweep          sweep
//   refinement     band_residual
//   entry point    LAE_Solver_3diag
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "longdec/longdec.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace {

using lae::kBandMaxOrder;

// A solution whose poi exceeds this is rejected like a singular matrix.
constexpr double kPoiLimit = 1e-15;

// Band columns of a row.
constexpr int kSub = 1;    // a_i, coefficient of x(i-1)
constexpr int kDiag = 2;   // b_i, coefficient of x(i)
constexpr int kSuper = 3;  // c_i, coefficient of x(i+1)
constexpr int kBandWidth = 3;

// Work vectors hold entries 1..n+1: the sweep coefficients L and P reach
// index n + 1, the others stop at n.
constexpr std::size_t kBandVectorCells = kBandMaxOrder + 2;
using BandVector = std::array<LongDecimal, kBandVectorCells>;

// The three band entries of each row, rows 1..n, band columns 1..3.
struct BandMatrix {
  explicit BandMatrix(int order) : n(order) {}

  LongDecimal& operator()(int i, int j) { return cell[kBandWidth * (i - 1) + (j - 1)]; }
  const LongDecimal& operator()(int i, int j) const { return cell[kBandWidth * (i - 1) + (j - 1)]; }

  int n;
  std::array<LongDecimal, kBandWidth * kBandMaxOrder> cell;
};

// True when every band entry that the load reads, and B(1..n), is finite.
bool band_input_finite(int n, const double* A, const double* B) {
  for (int i = 1; i <= n; ++i) {
    if (!std::isfinite(B[i])) return false;
    for (int j = kSub; j <= kSuper; ++j) {
      if (!std::isfinite(A[lae::flat_index(n, i, j)])) return false;
    }
  }
  return true;
}

void load_band(int n, const double* A, const double* B, BandMatrix& AA, BandVector& BB) {
  for (int i = 1; i <= n; ++i) {
    for (int j = kSub; j <= kSuper; ++j) ld_from_double(A[lae::flat_index(n, i, j)], AA(i, j));
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
      S = ld_add(ld_add(ld_mul(AA(i, kSuper), XX[i + 1]), ld_mul(AA(i, kDiag), XX[i])),
                 ld_mul(AA(i, kSub), XX[i - 1]));
    }
    RR[i] = ld_add(BB[i], ld_negate(S));
  }
}

}  // namespace

void LAE_Solver_3diag(const int* order, const double* A, const double* B, double* X, int* ier) {
  const int n = *order;
  // Above capacity nothing is written; below 1 there is no system to solve.
  if (n > kBandMaxOrder) return;
  if (n < 1) {
    *ier = lae::kIerFailure;
    return;
  }
  *ier = lae::kIerSuccess;
  if (!band_input_finite(n, A, B)) return lae::fail_with_zero_solution(n, X, ier);

  BandMatrix AA(n);
  BandVector BB;
  BandVector L;
  BandVector P;
  BandVector XX;
  BandVector RR;
  BandVector DD;

  load_band(n, A, B, AA, BB);
  for (int k = 1; k <= n; ++k) {
    ld_clear(L[k]);
    ld_clear(P[k]);
    ld_clear(XX[k]);
    ld_clear(RR[k]);
    ld_clear(DD[k]);
  }

  // No pivoting: a zero diagonal entry stops the solver before any sweep.
  if (diagonal_has_zero(AA)) return lae::fail_with_zero_solution(n, X, ier);
  if (!sweep(AA, BB, L, P, XX)) return lae::fail_with_zero_solution(n, X, ier);

  // Refinement step: the correction from the residual by the same sweep,
  // whose denominators repeat those that have just passed.
  band_residual(AA, BB, XX, RR);
  if (!sweep(AA, RR, L, P, DD)) return lae::fail_with_zero_solution(n, X, ier);

  for (int k = 1; k <= n; ++k) ld_to_double(XX[k], X[k]);
  if (!lae::solution_representable(n, X)) return lae::fail_with_zero_solution(n, X, ier);
  const double poi = lae::largest_relative_correction(n, DD, X);
  textout::out_printf(textout::diagnostics_stream(), "poi=%e\n", poi);
  if (poi > kPoiLimit) lae::fail_with_zero_solution(n, X, ier);
}
