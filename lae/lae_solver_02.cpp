// LAE_Solver_02: a dense system A*x = b of order 1..15, solved by Crout
// factorisation (L with a general diagonal, U with a unit diagonal) after a
// row-exchange search over the first column only, entirely in long decimals.
// Hands back L and U, and checks the solution by one refinement step whose
// largest relative correction (poi) must not exceed 1e-16.
//
//   row exchanges   first_column_zero, exchange_into_first_row
//   factorisation   crout_factorize, store_factors
//   substitutions   forward_substitute, back_substitute_unit
//   core            clear_factors, lae::solver_02_core
//   entry point     LAE_Solver_02
#include <cmath>
#include <utility>

#include "lae/lae_cores.h"
#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "layout/flat_index.h"
#include "longdec/longdec.h"

namespace {

using lae::FullMatrix;
using lae::FullVector;

constexpr const char* kBanner =
    "LAE_Solver_02 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: full matrix(40x40 max)\n";

bool first_column_zero(const FullMatrix& AA) {
  for (int j = 1; j <= AA.n; ++j) {
    if (!ld_is_zero(AA(j, 1))) return false;
  }
  return true;
}

// Each row i = 2..n is compared, in double, with the row in position 1 at
// that moment and exchanged with it when strictly larger in magnitude. This
// is not the same as moving the largest entry up in one exchange: every
// exchange sends the former first row to position i.
void exchange_into_first_row(FullMatrix& AA, FullVector& BB) {
  const int n = AA.n;
  for (int i = 2; i <= n; ++i) {
    double rab1 = 0.0;
    double rab2 = 0.0;
    ld_to_double(AA(i, 1), rab1);
    ld_to_double(AA(1, 1), rab2);
    if (std::fabs(rab2) < std::fabs(rab1)) {
      for (int m = 1; m <= n; ++m) std::swap(AA(1, m), AA(i, m));
      std::swap(BB[1], BB[i]);
    }
  }
}

// Crout's method on the exchanged AA: for each column i the column of LL,
// then the row of UU. LL and UU arrive cleared, with ones on UU's diagonal.
// Returns false when a pivot LL(i, i) that is about to divide is zero; LL(n, n)
// divides nothing here and is tested by the forward substitution.
bool crout_factorize(const FullMatrix& AA, FullMatrix& LL, FullMatrix& UU) {
  const int n = AA.n;
  for (int j = 1; j <= n; ++j) LL(j, 1) = AA(j, 1);
  for (int i = 2; i <= n; ++i) {
    if (ld_is_zero(LL(1, 1))) return false;
    UU(1, i) = ld_div(AA(1, i), LL(1, 1));
  }
  for (int i = 2; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      LongDecimal SUM{};
      for (int k = 1; k <= i - 1; ++k) SUM = ld_add(SUM, ld_mul(LL(j, k), UU(k, i)));
      LL(j, i) = ld_add(AA(j, i), ld_negate(SUM));
    }
    for (int j = i + 1; j <= n; ++j) {
      LongDecimal SUM{};
      for (int k = 1; k <= i - 1; ++k) SUM = ld_add(SUM, ld_mul(LL(i, k), UU(k, j)));
      const LongDecimal rabdl1 = ld_add(AA(i, j), ld_negate(SUM));
      if (ld_is_zero(LL(i, i))) return false;
      UU(i, j) = ld_div(rabdl1, LL(i, i));
    }
  }
  return true;
}

// The whole n x n square of both factors, zeros outside the triangles.
void store_factors(const FullMatrix& LL, const FullMatrix& UU, double* L, double* U) {
  const int n = LL.n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      ld_to_double(LL(i, j), L[layout::flat_index(i, j, n)]);
      ld_to_double(UU(i, j), U[layout::flat_index(i, j, n)]);
    }
  }
}

// LL*Y = BB. LL(1, 1) has passed its zero test in the factorisation (or, for
// n = 1, in the first-column test). Returns false at a zero LL(j, j).
bool forward_substitute(const FullMatrix& LL, const FullVector& BB, FullVector& Y) {
  const int n = LL.n;
  Y[1] = ld_div(BB[1], LL(1, 1));
  for (int j = 2; j <= n; ++j) {
    LongDecimal SUM{};
    for (int i = 1; i <= j - 1; ++i) SUM = ld_add(SUM, ld_mul(LL(j, i), Y[i]));
    const LongDecimal rabdl1 = ld_add(BB[j], ld_negate(SUM));
    if (ld_is_zero(LL(j, j))) return false;
    Y[j] = ld_div(rabdl1, LL(j, j));
  }
  return true;
}

// UU*XX = Y; the unit diagonal of UU needs no division.
void back_substitute_unit(const FullMatrix& UU, const FullVector& Y, FullVector& XX) {
  const int n = UU.n;
  XX[n] = Y[n];
  for (int j = n - 1; j >= 1; --j) {
    LongDecimal SUM{};
    for (int i = j + 1; i <= n; ++i) SUM = ld_add(SUM, ld_mul(UU(j, i), XX[i]));
    XX[j] = ld_add(Y[j], ld_negate(SUM));
  }
}

// LL and UU cleared, with ones on UU's diagonal.
void clear_factors(FullMatrix& LL, FullMatrix& UU) {
  const int n = LL.n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      ld_clear(LL(i, j));
      ld_clear(UU(i, j));
    }
  }
  for (int i = 1; i <= n; ++i) ld_from_double(1.0, UU(i, i));
}

}  // namespace

namespace lae {

CoreOutcome solver_02_core(int n, const double* A, const double* B, double* L, double* U, double* X, CroutWork& w) {
  w.factors_written = false;
  if (const auto refused = refuse_entry(n, kFullMaxOrder, A, n, n, B, X)) return *refused;

  load_full_system(n, A, B, w.AA, w.BB);
  clear_factors(w.LL, w.UU);
  for (int k = 1; k <= n; ++k) ld_clear(w.XX[k]);

  // Factorise; L and U are left unwritten on these failures.
  if (first_column_zero(w.AA)) return stop_with_zero_solution(n, X);
  exchange_into_first_row(w.AA, w.BB);
  if (!crout_factorize(w.AA, w.LL, w.UU)) return stop_with_zero_solution(n, X);
  store_factors(w.LL, w.UU, L, U);
  w.factors_written = true;

  // Solve; from here on L and U stay written whatever the verdict.
  if (!forward_substitute(w.LL, w.BB, w.Y)) return stop_with_zero_solution(n, X);
  back_substitute_unit(w.UU, w.Y, w.XX);
  for (int k = 1; k <= n; ++k) ld_to_double(w.XX[k], X[k]);
  if (!solution_representable(n, X)) return stop_with_zero_solution(n, X);

  // Refinement step: residual in the exchanged row order, to which LL and UU
  // belong, and the correction from the same factors. Every LL(j, j) has
  // passed its zero test, so the forward substitution cannot fail here.
  for (int k = 1; k <= n; ++k) {
    ld_clear(w.RR[k]);
    ld_clear(w.DD[k]);
  }
  full_residual(w.AA, w.BB, w.XX, w.RR);
  if (!forward_substitute(w.LL, w.RR, w.Y)) return stop_with_zero_solution(n, X);
  back_substitute_unit(w.UU, w.Y, w.DD);
  return judge(n, largest_relative_correction(n, w.DD, X), kFullPoiLimit, X);
}

}  // namespace lae

void LAE_Solver_02(const int* n, const double* A, const double* B, double* L, double* U, double* X, int* ier) {
  lae::CroutWork work(*n);
  lae::report_outcome(lae::solver_02_core(*n, A, B, L, U, X, work), kBanner, ier);
}
