// LAE_Solver_exact: a dense system solved exactly as given in doubles. Every
// double is a dyadic rational, so scaling each row (both sides) by a power of
// two gives a system over the integers with the same solution. Fraction-free
// elimination (Bareiss) brings it to echelon form with every entry an exact
// minor; the solution's numerators over the last pivot come from an exact back
// substitution, and each quotient is rounded to the nearest double.
//
//   integer system   IntegerSystem, Dyadic, split_dyadic, load_integer_system
//   elimination      Echelon, eliminate_below, fraction_free_echelon, consistent
//   solution         solution_numerators, write_nearest
//   entry point      LAE_Solver_exact
#include <gmpxx.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "lae/lae_rounding.h"
#include "lae/lae_solvers.h"
#include "lae/lae_work.h"
#include "layout/flat_index.h"

namespace {

// Bits of a double's significand, the implicit one included.
constexpr int kSignificandBits = 53;

// The scaled system [A | B] over the integers, rows 1..n, columns 1..n and
// the right-hand side in column n + 1, in the flat layout with row stride
// n + 1.
struct IntegerSystem {
  explicit IntegerSystem(int order) : n(order), cell(static_cast<std::size_t>(layout::flat_cells(order + 1))) {}

  mpz_class& operator()(int i, int j) { return cell[layout::flat_index(i, j, n + 1)]; }
  const mpz_class& operator()(int i, int j) const { return cell[layout::flat_index(i, j, n + 1)]; }

  int n;
  std::vector<mpz_class> cell;
};

// x = mantissa * 2^exponent with an odd mantissa, or 0 * 2^0.
struct Dyadic {
  std::int64_t mantissa;
  int exponent;
};

Dyadic split_dyadic(double x) {
  if (x == 0.0) return {0, 0};
  int exponent = 0;
  const double fraction = std::frexp(x, &exponent);  // 0.5 <= |fraction| < 1, subnormals too
  const auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, kSignificandBits));
  const int zeros = std::countr_zero(static_cast<std::uint64_t>(mantissa < 0 ? -mantissa : mantissa));
  return {mantissa / (std::int64_t{1} << zeros), exponent - kSignificandBits + zeros};
}

// Row i of [A | B] times 2^-(its smallest exponent): integers, the smallest
// odd, so the numbers stay as short as the row allows.
IntegerSystem load_integer_system(int n, const double* A, const double* B) {
  IntegerSystem M(n);
  std::vector<Dyadic> row(static_cast<std::size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) {
    int lowest = 0;
    bool any = false;
    for (int j = 1; j <= n + 1; ++j) {
      const Dyadic d = split_dyadic(j <= n ? A[layout::flat_index(i, j, n)] : B[i]);
      row[static_cast<std::size_t>(j - 1)] = d;
      if (d.mantissa != 0 && (!any || d.exponent < lowest)) lowest = d.exponent;
      any = any || d.mantissa != 0;
    }
    for (int j = 1; j <= n + 1; ++j) {
      const Dyadic& d = row[static_cast<std::size_t>(j - 1)];
      mpz_set_si(M(i, j).get_mpz_t(), d.mantissa);
      if (d.mantissa != 0) M(i, j) <<= static_cast<mp_bitcnt_t>(d.exponent - lowest);
    }
  }
  return M;
}

struct Echelon {
  std::vector<int> pivot_columns;  // pivot k (row k) stands in column pivot_columns[k - 1]
  mpz_class last_pivot = 1;        // the determinant of the pivot rows and columns, up to sign
};

// One Bareiss step below pivot row r, pivot column c: each entry right of c
// becomes (pivot*a(i,j) - a(i,c)*a(r,j)) / previous pivot, a division that is
// exact by Sylvester's identity (every entry is a minor of the input).
void eliminate_below(IntegerSystem& M, int r, int c, const mpz_class& previous, mpz_class& scratch) {
  for (int i = r + 1; i <= M.n; ++i) {
    for (int j = c + 1; j <= M.n + 1; ++j) {
      mpz_mul(scratch.get_mpz_t(), M(r, c).get_mpz_t(), M(i, j).get_mpz_t());
      mpz_submul(scratch.get_mpz_t(), M(i, c).get_mpz_t(), M(r, j).get_mpz_t());
      mpz_divexact(M(i, j).get_mpz_t(), scratch.get_mpz_t(), previous.get_mpz_t());
    }
    M(i, c) = 0;
  }
}

// Columns scanned left to right; a column with no non-zero entry at or below
// the current row has no pivot and its unknown is free. Which rows serve as
// pivots does not change which columns do, so the basic solution is unique.
Echelon fraction_free_echelon(IntegerSystem& M) {
  Echelon e;
  mpz_class scratch;
  int r = 1;
  for (int c = 1; c <= M.n && r <= M.n; ++c) {
    int p = r;
    while (p <= M.n && sgn(M(p, c)) == 0) ++p;
    if (p > M.n) continue;
    if (p != r) {
      for (int j = c; j <= M.n + 1; ++j) std::swap(M(r, j), M(p, j));
    }
    eliminate_below(M, r, c, e.last_pivot, scratch);
    e.last_pivot = M(r, c);
    e.pivot_columns.push_back(c);
    ++r;
  }
  return e;
}

// The rows without a pivot read 0 = right-hand side.
bool consistent(const IntegerSystem& M, int rank) {
  for (int i = rank + 1; i <= M.n; ++i) {
    if (sgn(M(i, M.n + 1)) != 0) return false;
  }
  return true;
}

// y(k) = d*x(c_k) for the pivot columns c_k, the free unknowns being zero and
// d the last pivot: integers by Cramer's rule, so each division is exact.
std::vector<mpz_class> solution_numerators(const IntegerSystem& M, const Echelon& e) {
  const int rank = static_cast<int>(e.pivot_columns.size());
  std::vector<mpz_class> y(static_cast<std::size_t>(rank) + 1);
  mpz_class t;
  for (int k = rank; k >= 1; --k) {
    t = e.last_pivot * M(k, M.n + 1);
    for (int m = k + 1; m <= rank; ++m) {
      mpz_submul(t.get_mpz_t(), M(k, e.pivot_columns[m - 1]).get_mpz_t(), y[m].get_mpz_t());
    }
    mpz_divexact(y[k].get_mpz_t(), t.get_mpz_t(), M(k, e.pivot_columns[k - 1]).get_mpz_t());
  }
  return y;
}

// X zeroed, then each pivot column's unknown rounded to nearest; one beyond
// the double range stays 0. Returns false when there was such a one.
bool write_nearest(int n, const Echelon& e, const std::vector<mpz_class>& y, double* X) {
  for (int k = 1; k <= n; ++k) X[k] = 0.0;
  bool representable = true;
  for (std::size_t k = 1; k <= e.pivot_columns.size(); ++k) {
    const double x = lae::nearest_double(y[k], e.last_pivot);
    if (std::isinf(x)) {
      representable = false;
    } else {
      X[e.pivot_columns[k - 1]] = x;
    }
  }
  return representable;
}

}  // namespace

void LAE_Solver_exact(const int* n, const double* A, const double* B, double* X, int* ier) {
  const int order = *n;
  if (const auto refused = lae::refuse_entry(order, lae::kFlatMaxOrder, A, order, order, B, X)) {
    return lae::report_outcome(*refused, nullptr, ier);  // stopped before any estimate: prints nothing
  }
  IntegerSystem M = load_integer_system(order, A, B);
  const Echelon e = fraction_free_echelon(M);
  const int rank = static_cast<int>(e.pivot_columns.size());
  if (!consistent(M, rank)) {
    lae::stop_with_zero_solution(order, X);
    *ier = LAE_IER_FAILED;
    return;
  }
  const bool representable = write_nearest(order, e, solution_numerators(M, e), X);
  if (rank < order) {
    *ier = LAE_IER_SINGULAR_CONSISTENT;
  } else {
    *ier = representable ? LAE_IER_OK : LAE_IER_OVERFLOW;
  }
}
