// Newton linear algebra of the DAE integrator.
//
//   entry points
//     dae_factor_solve_one_stage, dae_factor_solve_three_point, dae_copy_column_major
//   one routine per entry point, for an order fixed at compile time or not
//     with_order, capped_to_order, one_stage, three_point, copy_column_major
//   factorisation of one block row (shared by both methods)
//     BlockRow, plain_block, factor_block, lead_columns, prepare_column,
//     eliminate_column, pivot_row, exchange_rows
//   coupling blocks of the three-point method
//     factor_first_block, l21_column, u12_columns
//   substitution
//     copy_defects, forward_substitute, forward_row, back_substitute
//   passes down one column (many independent entries, each rounded in order)
//     subtract_multiple, subtract_two_multiples, subtract_four_multiples, subtract_columns,
//     eliminate_with_lower, subtract_scaled, assign_scaled, subtract_from_zero,
//     subtract_four_from_zero, divide_by
//   small helpers
//     Order, column, swap_entries, swap_rows, is_singular, reset_identity
//
// Each entry takes the operations of the row-by-row (Crout) elimination in
// their order: its leading term, then one product at a time subtracted, index
// ascending, then the division by the pivot. The reports print these digits.
// Within that order the loops run down the columns, so that one pass updates
// many independent entries with the same multiplier, and up to four
// successive multipliers share a pass (each entry is loaded and stored once
// for four products); the compiler vectorises such passes without
// reassociating anything. Columns 1..m are formed before the first step, the
// others are B itself; only B's rows are exchanged, A and L21 are read through
// the permutation.
// The substitutions are chains of dependent subtractions, bound by their
// latency rather than by the work. The three-point method therefore finds each
// z_i as soon as the factorisation has fixed row i, so that those chains run
// alongside the elimination. The back substitution must subtract its terms
// index ascending while the solution is found from the last index down, so it
// stays one chain per row.
//
// The orders of the integrator's problems (1 to 6 and 17) are compiled as
// constants, so that the short loops unroll; other orders share a copy that
// reads n at run time. Both run the same operations.
#include "dae/newton_linalg.h"

#include <cmath>
#include <utility>

#include "layout/flat_index.h"

namespace {

// The order of the system: the constant N, or (N = 0) the value known at run time.
template <int N>
struct Order {
  int run_time;
  constexpr operator int() const { return N > 0 ? N : run_time; }
};

// Column j of a column-major region of row stride n: column(X, n, j)[i] = X(i, j).
inline double* column(double* base, int n, int j) { return base + dae_col_major(n, 0, j); }
inline const double* column(const double* base, int n, int j) { return base + dae_col_major(n, 0, j); }

// The column passes below take restrict-qualified arguments: their columns
// never overlap, and saying so spares the compiler its run-time overlap tests,
// which cost more than the work itself in the short columns of small orders.
// The two that group passes are always inlined, so that each order compiled
// as a constant gets its own unrolled copy rather than one shared call.

// y[i] -= x[i]*a for i = from..to: independent entries, each rounded on its own.
inline void subtract_multiple(double* __restrict y, const double* __restrict x, double a, int from, int to) {
  for (int i = from; i <= to; ++i) y[i] -= x[i] * a;
}

// Two successive updates of each entry, in order: y[i] = (y[i] - x1[i]*a1) -
// x2[i]*a2 for i = from..to; one pass over y instead of two.
inline void subtract_two_multiples(double* __restrict y, const double* __restrict x1, double a1,
                                   const double* __restrict x2, double a2, int from, int to) {
  for (int i = from; i <= to; ++i) y[i] = (y[i] - x1[i] * a1) - x2[i] * a2;
}

// Four successive updates of each entry, in order: y[i] = (((y[i] - x1[i]*a1) -
// x2[i]*a2) - x3[i]*a3) - x4[i]*a4 for i = from..to.
inline void subtract_four_multiples(double* __restrict y, const double* __restrict x1, double a1,
                                    const double* __restrict x2, double a2, const double* __restrict x3, double a3,
                                    const double* __restrict x4, double a4, int from, int to) {
  for (int i = from; i <= to; ++i) y[i] = (((y[i] - x1[i] * a1) - x2[i] * a2) - x3[i] * a3) - x4[i] * a4;
}

// y[i] -= sum of X(i, k)*a[k] for k = first..last, one product at a time, k
// ascending, for i = from..to; X column-major of row stride n. The multipliers
// a[k] are known before the call.
[[gnu::always_inline]] inline void subtract_columns(double* y, const double* X, int n, const double* a, int first,
                                                    int last, int from, int to) {
  int k = first;
  for (; k + 3 <= last; k += 4) {
    subtract_four_multiples(y, column(X, n, k), a[k], column(X, n, k + 1), a[k + 1], column(X, n, k + 2), a[k + 2],
                            column(X, n, k + 3), a[k + 3], from, to);
  }
  for (; k < last; k += 2) {
    subtract_two_multiples(y, column(X, n, k), a[k], column(X, n, k + 1), a[k + 1], from, to);
  }
  if (k == last) subtract_multiple(y, column(X, n, k), a[k], from, to);
}

// Forward elimination of one column with the unit lower triangle of L (rows
// below each k take L(i, k)*x[k] once x[k] is complete), k = 1..last, rows up
// to n. Four columns of L at a time: x[k + 1..k + 3] first take their updates
// from the columns before them in the group.
[[gnu::always_inline]] inline void eliminate_with_lower(double* x, const double* L, int n, int last) {
  int k = 1;
  for (; k + 3 <= last; k += 4) {
    const double* l1 = column(L, n, k);
    const double* l2 = column(L, n, k + 1);
    const double* l3 = column(L, n, k + 2);
    x[k + 1] -= l1[k + 1] * x[k];
    x[k + 2] = (x[k + 2] - l1[k + 2] * x[k]) - l2[k + 2] * x[k + 1];
    x[k + 3] = ((x[k + 3] - l1[k + 3] * x[k]) - l2[k + 3] * x[k + 1]) - l3[k + 3] * x[k + 2];
    subtract_four_multiples(x, l1, x[k], l2, x[k + 1], l3, x[k + 2], column(L, n, k + 3), x[k + 3], k + 4, n);
  }
  for (; k < last; k += 2) {
    const double* lk = column(L, n, k);
    x[k + 1] -= lk[k + 1] * x[k];
    subtract_two_multiples(x, lk, x[k], column(L, n, k + 1), x[k + 1], k + 2, n);
  }
  if (k == last) subtract_multiple(x, column(L, n, k), x[k], k + 1, n);
}

// y[i] = y[i] - a*x[i] for i = 1..n: the leading term B - coef*A.
inline void subtract_scaled(double* __restrict y, double a, const double* __restrict x, int n) {
  for (int i = 1; i <= n; ++i) y[i] = y[i] - a * x[i];
}

// y[i] = a*x[i] for i = 1..n.
inline void assign_scaled(double* __restrict y, double a, const double* __restrict x, int n) {
  for (int i = 1; i <= n; ++i) y[i] = a * x[i];
}

// y[i] = 0 - x[i]*a for i = 1..n: a sum whose leading term is zero.
inline void subtract_from_zero(double* __restrict y, const double* __restrict x, double a, int n) {
  for (int i = 1; i <= n; ++i) y[i] = 0.0 - x[i] * a;
}

// y[i] = (((0 - x1[i]*a1) - x2[i]*a2) - x3[i]*a3) - x4[i]*a4 for i = 1..n: the
// first four products of a sum whose leading term is zero, in one pass.
inline void subtract_four_from_zero(double* __restrict y, const double* __restrict x1, double a1,
                                    const double* __restrict x2, double a2, const double* __restrict x3, double a3,
                                    const double* __restrict x4, double a4, int n) {
  for (int i = 1; i <= n; ++i) y[i] = (((0.0 - x1[i] * a1) - x2[i] * a2) - x3[i] * a3) - x4[i] * a4;
}

// x[from..to] divided by the pivot (never multiplied by its reciprocal).
inline void divide_by(double* __restrict x, double pivot, int from, int to) {
  for (int i = from; i <= to; ++i) x[i] = x[i] / pivot;
}

// Exchanges rows r1 and r2 of an n x n column-major region, four columns per
// round: a swap moves two entries per column, and a loop round per column
// would cost about as much again in bookkeeping.
inline void swap_entries(double* a, double* b) {
  const double t = *a;
  *a = *b;
  *b = t;
}

template <int N>
void swap_rows(double* X, Order<N> n, int r1, int r2) {
  double* a = X + r1;
  double* b = X + r2;
  const int end = n * n;
  int k = 0;
  for (; k + 3 * n < end; k += 4 * n) {
    swap_entries(a + k, b + k);
    swap_entries(a + k + n, b + k + n);
    swap_entries(a + k + 2 * n, b + k + 2 * n);
    swap_entries(a + k + 3 * n, b + k + 3 * n);
  }
  for (; k < end; k += n) swap_entries(a + k, b + k);
}

inline bool is_singular(double pivot) { return std::fabs(pivot) < kNewtonPivotMin; }

inline void reset_identity(int* perm, int n) {
  for (int i = 1; i <= n; ++i) perm[i] = i;
}

// One block row being factored: J = B - coef*A (A in columns 1..m), and for the
// Schur block of the three-point method also minus L21*U12 in columns 1..m.
// Only B's rows are exchanged; A and L21 keep their original row order and are
// read through perm, which spares moving rows that the factorisation itself
// no longer reads once the leading columns are formed.
template <int N>
struct BlockRow {
  Order<N> n;
  int m;
  double coef;        // c, c*d1 or c*d4
  const double* A;    // n x m
  double* B;          // n x n, becomes L\U
  int* perm;          // perm[1..n]
  const double* L21;  // n x n (Schur block only, else null)
  const double* U12;  // n x m (Schur block only, else null)
};

template <int N>
BlockRow<N> plain_block(Order<N> n, int m, double coef, const NewtonStageMatrices& s) {
  return BlockRow<N>{n, m, coef, s.A, s.B, s.perm, nullptr, nullptr};
}

// Columns 1..m of the block's matrix before elimination, in the original row
// order: B - coef*A, less L21(i, l)*U12(l, j) for l = 1..n in the Schur block.
// Each entry is formed on its own, so forming them all before the first
// exchange gives the values that forming each at its own step would.
template <int N>
void lead_columns(const BlockRow<N>& blk) {
  const int n = blk.n;
  for (int j = 1; j <= blk.m; ++j) {
    double* x = column(blk.B, n, j);
    subtract_scaled(x, blk.coef, column(blk.A, n, j), n);
    if (blk.L21 != nullptr) subtract_columns(x, blk.L21, n, column(blk.U12, n, j), 1, n, 1, n);
  }
}

// Subtracts L(i, k)*U(k, j) for k = 1..j-1 from column j: rows k+1..n take
// column k's multipliers once U(k, j) is complete. Leaves U(1..j-1, j) and, in
// rows j..n, the candidates for the pivot.
template <int N>
void eliminate_column(double* B, Order<N> n, int j) {
  eliminate_with_lower(column(B, n, j), B, n, j - 1);
}

// The row of largest magnitude in column x, rows j..n; the later row on a tie,
// row j the first candidate.
template <int N>
int pivot_row(const double* x, Order<N> n, int j) {
  double best = 0.0;
  int pivot = j;
  for (int i = j; i <= n; ++i) {
    const double size = std::fabs(x[i]);
    if (size >= best) {
      best = size;
      pivot = i;
    }
  }
  return pivot;
}

// Moves the pivot row p into position j, in every column of B.
template <int N>
void exchange_rows(const BlockRow<N>& blk, int j, int p) {
  if (p == j) return;
  std::swap(blk.perm[j], blk.perm[p]);
  swap_rows(blk.B, blk.n, j, p);
}

// Column j eliminated and its pivot row moved into place.
template <int N>
void prepare_column(const BlockRow<N>& blk, int j) {
  eliminate_column(blk.B, blk.n, j);
  exchange_rows(blk, j, pivot_row(column(blk.B, blk.n, j), blk.n, j));
}

// L\U of one block row; row(i) runs as soon as row i of L is final, after the
// exchange of step i. The last column's diagonal is left to the back
// substitution. False on a singular pivot.
template <int N, typename Row>
bool factor_block(const BlockRow<N>& blk, Row row) {
  const int n = blk.n;
  lead_columns(blk);
  for (int j = 1; j < n; ++j) {
    prepare_column(blk, j);
    double* x = column(blk.B, n, j);
    if (is_singular(x[j])) return false;
    divide_by(x, x[j], j + 1, n);
    row(j);
  }
  prepare_column(blk, n);
  row(n);
  return true;
}

// Column j of L21 before division: ((-c)*d3)*A2(i, j) for j <= m, else 0, less
// L21(i, k)*U1(k, j) for k < j, all rows in A2's (original) order.
template <int N>
void l21_column(double* L21, const double* A2, double coef21, const double* B1, Order<N> n, int m, int j) {
  double* x = column(L21, n, j);
  const double* u = column(B1, n, j);
  if (j <= m) {
    assign_scaled(x, coef21, column(A2, n, j), n);
    subtract_columns(x, L21, n, u, 1, j - 1, 1, n);
  } else if (j == 1) {
    for (int i = 1; i <= n; ++i) x[i] = 0.0;
  } else if (j > 4) {
    subtract_four_from_zero(x, column(L21, n, 1), u[1], column(L21, n, 2), u[2], column(L21, n, 3), u[3],
                            column(L21, n, 4), u[4], n);
    subtract_columns(x, L21, n, u, 5, j - 1, 1, n);
  } else {
    subtract_from_zero(x, column(L21, n, 1), u[1], n);
    subtract_columns(x, L21, n, u, 2, j - 1, 1, n);
  }
}

// U12 = L1^-1 applied to ((-c)*d2)*A1 (rows in perm1 order), columns 1..m: row
// j is complete once L1(j, l)*U12(l, k) for l < j are subtracted.
template <int N>
void u12_columns(double* U12, const double* A1, const int* perm1, double coef12, const double* B1, Order<N> n, int m) {
  for (int k = 1; k <= m; ++k) {
    double* u = column(U12, n, k);
    const double* a = column(A1, n, k);
    for (int i = 1; i <= n; ++i) u[i] = coef12 * a[perm1[i]];
    eliminate_with_lower(u, B1, n, n - 1);
  }
}

// The first block row with the coupling column of L21 at each step (divided
// by the same pivot, also in the last column), then U12; row(j) as in
// factor_block. False on a singular pivot.
template <int N, typename Row>
bool factor_first_block(const BlockRow<N>& first, const double* A2, double coef21, double coef12, double* L21,
                        double* U12, Row row) {
  const int n = first.n;
  lead_columns(first);
  for (int j = 1; j <= n; ++j) {
    eliminate_column(first.B, first.n, j);
    l21_column(L21, A2, coef21, first.B, first.n, first.m, j);
    double* x = column(first.B, n, j);
    exchange_rows(first, j, pivot_row(x, first.n, j));
    if (is_singular(x[j])) return false;
    divide_by(x, x[j], j + 1, n);
    divide_by(column(L21, n, j), x[j], 1, n);
    row(j);
  }
  u12_columns(U12, first.A, first.perm, coef12, first.B, first.n, first.m);
  return true;
}

void copy_defects(double* __restrict gc, const double* __restrict g, int m) {
  for (int k = 1; k <= m; ++k) gc[k] = g[k];
}

// z_i = r(perm(i)) - sum L(i, k)*z_k (k < i) - sum A(perm(i), k)*gc_k (k <= m).
// The L terms are spread down the columns as each z_k completes; the row's own
// A terms follow in order once its L terms are in.
template <int N>
void forward_substitute(const NewtonStageMatrices& s, Order<N> n, int m, const NewtonStageVectors& v) {
  double* __restrict z = v.z;
  for (int i = 1; i <= n; ++i) z[i] = v.r[s.perm[i]];
  for (int i = 1; i <= n; ++i) {
    double sum = z[i];
    for (int k = 1; k <= m; ++k) sum -= s.A[dae_col_major(n, s.perm[i], k)] * v.gc[k];
    z[i] = sum;
    subtract_multiple(z, column(s.B, n, i), sum, i + 1, n);
  }
}

// z_i for one row, once the factorisation has fixed row i of L: the same terms
// in the same order as forward_substitute, then sum L21(perm(i), l)*z1_l (l <=
// n; the second block only, L21 non-null), taken row by row so that each row's
// chain of subtractions runs while the factorisation goes on. g is read in
// place of its copy gc, which the solve makes later.
template <int N>
void forward_row(const NewtonStageMatrices& s, Order<N> n, int m, const NewtonStageVectors& v, const double* L21,
                 const double* z1, int i) {
  const int row = s.perm[i];
  double sum = v.r[row];
  for (int k = 1; k < i; ++k) sum -= s.B[dae_col_major(n, i, k)] * v.z[k];
  for (int k = 1; k <= m; ++k) sum -= s.A[dae_col_major(n, row, k)] * v.g[k];
  if (L21 != nullptr) {
    for (int l = 1; l <= n; ++l) sum -= L21[dae_col_major(n, row, l)] * z1[l];
  }
  v.z[i] = sum;
}

// dy_i = (z_i - sum U(i, k)*dy_k (k > i) - sum U12(i, k)*dy2_k (k <= coupled))
//        / U(i, i), for i = n down to 1. False on a singular diagonal. Each
// row's chain starts with the solution just found; it is carried in a local
// rather than read back from dy, which would add a store and a load to every
// link of the chain.
template <int N>
bool back_substitute(const NewtonStageMatrices& s, Order<N> n, const NewtonStageVectors& v, const double* U12,
                     int coupled, const double* dy2) {
  double latest = 0.0;  // dy_(i+1)
  for (int i = n; i >= 1; --i) {
    const double diagonal = s.B[dae_col_major(n, i, i)];
    if (is_singular(diagonal)) return false;
    double sum = v.z[i];
    if (i < n) {
      sum -= s.B[dae_col_major(n, i, i + 1)] * latest;
      for (int k = i + 2; k <= n; ++k) sum -= s.B[dae_col_major(n, i, k)] * v.dy[k];
    }
    for (int k = 1; k <= coupled; ++k) sum -= U12[dae_col_major(n, i, k)] * dy2[k];
    latest = sum / diagonal;
    v.dy[i] = latest;
  }
  return true;
}

template <int N>
int one_stage(Order<N> n, int m, double c, const NewtonStageMatrices& s, const NewtonStageVectors& v) {
  reset_identity(s.perm, n);
  if (!factor_block(plain_block(n, m, c, s), [](int) {})) return DAE_IER_SINGULAR;
  copy_defects(v.gc, v.g, m);
  forward_substitute(s, n, m, v);
  if (!back_substitute(s, n, v, nullptr, 0, nullptr)) return DAE_IER_SINGULAR;
  for (int k = 1; k <= m; ++k) v.dyp[k] = v.gc[k] - c * v.dy[k];
  return 0;
}

// Both block rows, each with its forward substitution row by row, then the
// back substitution of the end-point stage and that of the mid-point stage.
template <int N>
int three_point(Order<N> n, int m, double c, const NewtonStageMatrices& mid, const NewtonStageMatrices& end,
                const NewtonCoupling& k, const NewtonStageVectors& vmid, const NewtonStageVectors& vend) {
  reset_identity(mid.perm, n);
  reset_identity(end.perm, n);
  const double coef21 = -c * kLobattoD3;
  const double coef12 = -c * kLobattoD2;
  const auto mid_row = [&](int i) { forward_row(mid, n, m, vmid, nullptr, nullptr, i); };
  if (!factor_first_block(plain_block(n, m, c * kLobattoD1, mid), end.A, coef21, coef12, k.L21, k.U12, mid_row)) {
    return DAE_IER_SINGULAR;
  }
  const BlockRow<N> second{n, m, c * kLobattoD4, end.A, end.B, end.perm, k.L21, k.U12};
  const auto end_row = [&](int i) { forward_row(end, n, m, vend, k.L21, vmid.z, i); };
  if (!factor_block(second, end_row)) return DAE_IER_SINGULAR;
  copy_defects(vmid.gc, vmid.g, m);
  copy_defects(vend.gc, vend.g, m);
  if (!back_substitute(end, n, vend, nullptr, 0, nullptr)) return DAE_IER_SINGULAR;
  if (!back_substitute(mid, n, vmid, k.U12, m, vend.dy)) return DAE_IER_SINGULAR;
  for (int i = 1; i <= m; ++i) {
    vend.dyp[i] = vend.gc[i] - (kLobattoD4 * vend.dy[i] + kLobattoD3 * vmid.dy[i]) * c;
    vmid.dyp[i] = vmid.gc[i] - (kLobattoD2 * vend.dy[i] + kLobattoD1 * vmid.dy[i]) * c;
  }
  return 0;
}

// Two rows by two columns at a time: the two entries side by side in a source
// row go to the same row of two columns, so the compiler moves such 2 x 2
// blocks with paired loads and stores.
template <int N>
void copy_column_major(const double* __restrict src, Order<N> n, int cols, double* __restrict dst) {
  int j = 1;
  for (; j < cols; j += 2) {
    double* __restrict d0 = column(dst, n, j);
    double* __restrict d1 = column(dst, n, j + 1);
    int i = 1;
    for (; i < n; i += 2) {
      const double* r0 = src + layout::flat_index(i, j, n);
      const double* r1 = src + layout::flat_index(i + 1, j, n);
      d0[i] = r0[0];
      d1[i] = r0[1];
      d0[i + 1] = r1[0];
      d1[i + 1] = r1[1];
    }
    if (i == n) {
      d0[i] = src[layout::flat_index(i, j, n)];
      d1[i] = src[layout::flat_index(i, j + 1, n)];
    }
  }
  if (j == cols) {
    double* __restrict d = column(dst, n, j);
    for (int i = 1; i <= n; ++i) d[i] = src[layout::flat_index(i, j, n)];
  }
}

// A count that never exceeds the order by contract (m, or the columns to
// copy); telling the compiler so bounds the loops over it, which it then
// unrolls for the fixed orders.
template <int N>
int capped_to_order(int count, Order<N> n) {
  return count < n ? count : n;
}

// Calls run(Order<N>{n}) with N = n for the integrator's orders, else N = 0.
template <typename Run>
auto with_order(int n, Run run) {
  switch (n) {
    case 1:
      return run(Order<1>{n});
    case 2:
      return run(Order<2>{n});
    case 3:
      return run(Order<3>{n});
    case 4:
      return run(Order<4>{n});
    case 5:
      return run(Order<5>{n});
    case 6:
      return run(Order<6>{n});
    case 17:
      return run(Order<17>{n});
    default:
      return run(Order<0>{n});
  }
}

}  // namespace

int dae_factor_solve_one_stage(int n, int m, double c, const NewtonStageMatrices& s, const NewtonStageVectors& v) {
  return with_order(n, [&](auto order) { return one_stage(order, capped_to_order(m, order), c, s, v); });
}

int dae_factor_solve_three_point(int n, int m, double c, const NewtonStageMatrices& mid, const NewtonStageMatrices& end,
                                 const NewtonCoupling& k, const NewtonStageVectors& vmid,
                                 const NewtonStageVectors& vend) {
  return with_order(
      n, [&](auto order) { return three_point(order, capped_to_order(m, order), c, mid, end, k, vmid, vend); });
}

void dae_copy_column_major(const double* src, int n, int cols, double* dst) {
  with_order(n, [&](auto order) { copy_column_major(src, order, capped_to_order(cols, order), dst); });
}
