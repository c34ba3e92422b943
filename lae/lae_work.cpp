// Shared pieces of the linear solvers.
//
//   checks and exits   full_input_finite, solution_representable,
//                      fail_with_zero_solution
//   full systems       load_full_system, full_residual
//   estimate           largest_relative_correction
#include "lae/lae_work.h"

#include <cmath>

namespace lae {

bool full_input_finite(int n, const double* A, const double* B) {
  for (int i = 1; i <= n; ++i) {
    if (!std::isfinite(B[i])) return false;
    for (int j = 1; j <= n; ++j) {
      if (!std::isfinite(A[flat_index(n, i, j)])) return false;
    }
  }
  return true;
}

bool solution_representable(int n, const double* X) {
  for (int k = 1; k <= n; ++k) {
    if (std::isinf(X[k])) return false;
  }
  return true;
}

void fail_with_zero_solution(int n, double* X, int* ier) {
  *ier = kIerFailure;
  for (int k = 1; k <= n; ++k) X[k] = 0.0;
}

void load_full_system(int n, const double* A, const double* B, FullMatrix& AA, FullVector& BB) {
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      ld_clear(AA(i, j));
      ld_from_double(A[flat_index(n, i, j)], AA(i, j));
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

}  // namespace lae
