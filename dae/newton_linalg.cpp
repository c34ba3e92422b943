// Newton linear algebra of the DAE integrator.
//
//   entry points
//     dae_factor_solve_one_stage, dae_factor_three_point, dae_solve_three_point,
//     dae_copy_column_major
//   one routine per entry point, for an order fixed at compile time or not
//     with_order, capped_to_order, one_stage, three_point_factor,
//     three_point_solve, copy_column_major
//   factorisation of one block row (shared by both methods)
//     BlockRow, plain_block, factor_block, prepare_column, lead_column,
//     eliminate_column, pivot_row, exchange_rows
//   coupling blocks of the three-point method
//     factor_first_block, l21_column, u12_columns
//   substitution
//     copy_defects, forward_substitute, back_substitute
//   passes down one column (many independent entries, each rounded in order)
//     subtract_multiple, subtract_two_multiples, subtract_columns,
//     eliminate_with_lower, subtract_scaled, assign_scaled, divide_by
//   small helpers
//     Order, column, swap_rows, is_singular, reset_identity
//
// Each entry takes the operations of the row-by-row (Crout) elimination in
// their order: its leading term, then one product at a time subtracted, index
// ascending, then the division by the pivot. The reports print these digits.
// Within that order the loops run down the columns, so that one pass updates
// many independent entries with the same multiplier, and two successive
// multipliers share a pass; the compiler vectorises such passes without
// reassociating anything. Column j is formed only at step j (the columns to
// its right keep their original values, in the exchanged rows, until then).
// The back substitution must subtract its terms index ascending while the
// solution is found from the last index down, so it stays one chain per row.
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

// y[i] -= sum of X(i, k)*a[k] for k = first..last, one product at a time, k
// ascending, for i = from..to; X column-major of row stride n. The multipliers
// a[k] are known before the call.
inline void subtract_columns(double* y, const double* X, int n, const double* a, int first, int last, int from,
                             int to) {
  int k = first;
  for (; k < last; k += 2) {
    subtract_two_multiples(y, column(X, n, k), a[k], column(X, n, k + 1), a[k + 1], from, to);
  }
  if (k == last) subtract_multiple(y, column(X, n, k), a[k], from, to);
}

// Forward elimination of one column with the unit lower triangle of L (rows
// below each k take L(i, k)*x[k] once x[k] is complete), k = 1..last, rows up
// to n. Two columns of L at a time: x[k + 1] takes its update from k first.
inline void eliminate_with_lower(double* x, const double* L, int n, int last) {
  int k = 1;
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

// x[from..to] divided by the pivot (never multiplied by its reciprocal).
inline void divide_by(double* __restrict x, double pivot, int from, int to) {
  for (int i = from; i <= to; ++i) x[i] = x[i] / pivot;
}

// Exchanges rows r1 and r2 of a column-major region over its first cols columns.
inline void swap_rows(double* X, int n, int cols, int r1, int r2) {
  double* col = X;
  for (int k = 0; k < cols; ++k, col += n) {
    const double t = col[r1];
    col[r1] = col[r2];
    col[r2] = t;
  }
}

inline bool is_singular(double pivot) { return std::fabs(pivot) < kNewtonPivotMin; }

inline void reset_identity(int* perm, int n) {
  for (int i = 1; i <= n; ++i) perm[i] = i;
}

// One block row being factored: J = B - coef*A (A in columns 1..m), and for the
// Schur block of the three-point method also minus L21*U12 in columns 1..m.
template <int N>
struct BlockRow {
  Order<N> n;
  int m;
  double coef;        // c, c*d1 or c*d4
  double* A;          // n x m
  double* B;          // n x n, becomes L\U
  int* perm;          // perm[1..n]
  double* L21;        // rows exchanged with this block (Schur block only, else null)
  const double* U12;  // n x m (Schur block only, else null)
};

template <int N>
BlockRow<N> plain_block(Order<N> n, int m, double coef, const NewtonStageMatrices& s) {
  return BlockRow<N>{n, m, coef, s.A, s.B, s.perm, nullptr, nullptr};
}

// Column j of the block's matrix before elimination, in all rows (their
// current order): B - coef*A, less L21(i, l)*U12(l, j) for l = 1..n in the
// Schur block; B alone beyond column m.
template <int N>
void lead_column(const BlockRow<N>& blk, int j) {
  if (j > blk.m) return;
  const int n = blk.n;
  double* x = column(blk.B, n, j);
  subtract_scaled(x, blk.coef, column(blk.A, n, j), n);
  if (blk.L21 == nullptr) return;
  subtract_columns(x, blk.L21, n, column(blk.U12, n, j), 1, n, 1, n);
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

// Moves the pivot row p into position j, carrying A (and L21) along so that
// the right-hand-side terms built from them stay consistent.
template <int N>
void exchange_rows(const BlockRow<N>& blk, int j, int p) {
  if (p == j) return;
  std::swap(blk.perm[j], blk.perm[p]);
  swap_rows(blk.B, blk.n, blk.n, j, p);
  swap_rows(blk.A, blk.n, blk.m, j, p);
  if (blk.L21 != nullptr) swap_rows(blk.L21, blk.n, blk.n, j, p);
}

// Column j formed, eliminated and its pivot row moved into place.
template <int N>
void prepare_column(const BlockRow<N>& blk, int j) {
  lead_column(blk, j);
  eliminate_column(blk.B, blk.n, j);
  exchange_rows(blk, j, pivot_row(column(blk.B, blk.n, j), blk.n, j));
}

// L\U of one block row. The last column's diagonal is left to the back
// substitution. False on a singular pivot.
template <int N>
bool factor_block(const BlockRow<N>& blk) {
  const int n = blk.n;
  for (int j = 1; j < n; ++j) {
    prepare_column(blk, j);
    double* x = column(blk.B, n, j);
    if (is_singular(x[j])) return false;
    divide_by(x, x[j], j + 1, n);
  }
  prepare_column(blk, n);
  return true;
}

// Column j of L21 before division: ((-c)*d3)*A2(i, j) for j <= m, else 0, less
// L21(i, k)*U1(k, j) for k < j, all rows. A2 is still in its original row order.
template <int N>
void l21_column(double* L21, const double* A2, double coef21, const double* B1, Order<N> n, int m, int j) {
  double* x = column(L21, n, j);
  if (j <= m) {
    assign_scaled(x, coef21, column(A2, n, j), n);
  } else {
    for (int i = 1; i <= n; ++i) x[i] = 0.0;
  }
  subtract_columns(x, L21, n, column(B1, n, j), 1, j - 1, 1, n);
}

// U12 = L1^-1 applied to ((-c)*d2)*A1 (rows exchanged), columns 1..m: row j is
// complete once L1(j, l)*U12(l, k) for l < j are subtracted.
template <int N>
void u12_columns(double* U12, const double* A1, double coef12, const double* B1, Order<N> n, int m) {
  for (int k = 1; k <= m; ++k) {
    double* u = column(U12, n, k);
    assign_scaled(u, coef12, column(A1, n, k), n);
    eliminate_with_lower(u, B1, n, n - 1);
  }
}

// The first block row with the coupling column of L21 at each step (divided
// by the same pivot, also in the last column), then U12. False on a singular
// pivot.
template <int N>
bool factor_first_block(const BlockRow<N>& first, const double* A2, double coef21, double coef12, double* L21,
                        double* U12) {
  const int n = first.n;
  for (int j = 1; j <= n; ++j) {
    lead_column(first, j);
    eliminate_column(first.B, first.n, j);
    l21_column(L21, A2, coef21, first.B, first.n, first.m, j);
    double* x = column(first.B, n, j);
    exchange_rows(first, j, pivot_row(x, first.n, j));
    if (is_singular(x[j])) return false;
    divide_by(x, x[j], j + 1, n);
    divide_by(column(L21, n, j), x[j], 1, n);
  }
  u12_columns(U12, first.A, coef12, first.B, first.n, first.m);
  return true;
}

void copy_defects(double* __restrict gc, const double* __restrict g, int m) {
  for (int k = 1; k <= m; ++k) gc[k] = g[k];
}

// z_i = r(perm(i)) - sum L(i, k)*z_k (k < i) - sum A(i, k)*gc_k (k <= m)
//       - sum L21(i, l)*z1_l (l <= n; the second block only, L21 non-null).
// The L terms are spread down the columns as each z_k completes; the row's own
// A and L21 terms follow in order once its L terms are in.
template <int N>
void forward_substitute(const NewtonStageMatrices& s, Order<N> n, int m, const NewtonStageVectors& v,
                        const double* L21, const double* z1) {
  double* __restrict z = v.z;
  for (int i = 1; i <= n; ++i) z[i] = v.r[s.perm[i]];
  for (int i = 1; i <= n; ++i) {
    double sum = z[i];
    for (int k = 1; k <= m; ++k) sum -= s.A[dae_col_major(n, i, k)] * v.gc[k];
    if (L21 != nullptr) {
      for (int l = 1; l <= n; ++l) sum -= L21[dae_col_major(n, i, l)] * z1[l];
    }
    z[i] = sum;
    subtract_multiple(z, column(s.B, n, i), sum, i + 1, n);
  }
}

// dy_i = (z_i - sum U(i, k)*dy_k (k > i) - sum U12(i, k)*dy2_k (k <= coupled))
//        / U(i, i), for i = n down to 1. False on a singular diagonal.
template <int N>
bool back_substitute(const NewtonStageMatrices& s, Order<N> n, const NewtonStageVectors& v, const double* U12,
                     int coupled, const double* dy2) {
  for (int i = n; i >= 1; --i) {
    const double diagonal = s.B[dae_col_major(n, i, i)];
    if (is_singular(diagonal)) return false;
    double sum = v.z[i];
    for (int k = i + 1; k <= n; ++k) sum -= s.B[dae_col_major(n, i, k)] * v.dy[k];
    for (int k = 1; k <= coupled; ++k) sum -= U12[dae_col_major(n, i, k)] * dy2[k];
    v.dy[i] = sum / diagonal;
  }
  return true;
}

template <int N>
int one_stage(Order<N> n, int m, double c, const NewtonStageMatrices& s, const NewtonStageVectors& v) {
  reset_identity(s.perm, n);
  if (!factor_block(plain_block(n, m, c, s))) return DAE_IER_SINGULAR;
  copy_defects(v.gc, v.g, m);
  forward_substitute(s, n, m, v, nullptr, nullptr);
  if (!back_substitute(s, n, v, nullptr, 0, nullptr)) return DAE_IER_SINGULAR;
  for (int k = 1; k <= m; ++k) v.dyp[k] = v.gc[k] - c * v.dy[k];
  return 0;
}

template <int N>
int three_point_factor(Order<N> n, int m, double c, const NewtonStageMatrices& mid, const NewtonStageMatrices& end,
                       const NewtonCoupling& k) {
  reset_identity(mid.perm, n);
  reset_identity(end.perm, n);
  const double coef21 = -c * kLobattoD3;
  const double coef12 = -c * kLobattoD2;
  if (!factor_first_block(plain_block(n, m, c * kLobattoD1, mid), end.A, coef21, coef12, k.L21, k.U12)) {
    return DAE_IER_SINGULAR;
  }
  const BlockRow<N> second{n, m, c * kLobattoD4, end.A, end.B, end.perm, k.L21, k.U12};
  return factor_block(second) ? 0 : DAE_IER_SINGULAR;
}

template <int N>
int three_point_solve(Order<N> n, int m, double c, const NewtonStageMatrices& mid, const NewtonStageMatrices& end,
                      const NewtonCoupling& k, const NewtonStageVectors& vmid, const NewtonStageVectors& vend) {
  copy_defects(vmid.gc, vmid.g, m);
  copy_defects(vend.gc, vend.g, m);
  forward_substitute(mid, n, m, vmid, nullptr, nullptr);
  forward_substitute(end, n, m, vend, k.L21, vmid.z);
  if (!back_substitute(end, n, vend, nullptr, 0, nullptr)) return DAE_IER_SINGULAR;
  if (!back_substitute(mid, n, vmid, k.U12, m, vend.dy)) return DAE_IER_SINGULAR;
  for (int i = 1; i <= m; ++i) {
    vend.dyp[i] = vend.gc[i] - (kLobattoD4 * vend.dy[i] + kLobattoD3 * vmid.dy[i]) * c;
    vmid.dyp[i] = vmid.gc[i] - (kLobattoD2 * vend.dy[i] + kLobattoD1 * vmid.dy[i]) * c;
  }
  return 0;
}

template <int N>
void copy_column_major(const double* src, Order<N> n, int cols, double* dst) {
  for (int j = 1; j <= cols; ++j) {
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
    case 1: return run(Order<1>{n});
    case 2: return run(Order<2>{n});
    case 3: return run(Order<3>{n});
    case 4: return run(Order<4>{n});
    case 5: return run(Order<5>{n});
    case 6: return run(Order<6>{n});
    case 17: return run(Order<17>{n});
    default: return run(Order<0>{n});
  }
}

}  // namespace

int dae_factor_solve_one_stage(int n, int m, double c, const NewtonStageMatrices& s,
                               const NewtonStageVectors& v) {
  return with_order(n, [&](auto order) { return one_stage(order, capped_to_order(m, order), c, s, v); });
}

int dae_factor_three_point(int n, int m, double c, const NewtonStageMatrices& mid,
                           const NewtonStageMatrices& end, const NewtonCoupling& k) {
  return with_order(n, [&](auto order) {
    return three_point_factor(order, capped_to_order(m, order), c, mid, end, k);
  });
}

int dae_solve_three_point(int n, int m, double c, const NewtonStageMatrices& mid,
                          const NewtonStageMatrices& end, const NewtonCoupling& k,
                          const NewtonStageVectors& vmid, const NewtonStageVectors& vend) {
  return with_order(n, [&](auto order) {
    return three_point_solve(order, capped_to_order(m, order), c, mid, end, k, vmid, vend);
  });
}

void dae_copy_column_major(const double* src, int n, int cols, double* dst) {
  with_order(n, [&](auto order) { copy_column_major(src, order, capped_to_order(cols, order), dst); });
}
