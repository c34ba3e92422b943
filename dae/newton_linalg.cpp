// Newton linear algebra of the DAE integrator.
//
//   entry points
//     dae_factor_solve_one_stage, dae_factor_three_point, dae_solve_three_point,
//     dae_copy_column_major
//   factorisation of one block row (shared by both methods)
//     BlockRow, plain_block, leading_term, form_column, exchange_rows,
//     divide_column, form_row, finish_column, factor_column
//   coupling blocks of the three-point method
//     form_l21_column, scale_l21_column, form_u12_row
//   substitution
//     copy_defects, forward_substitute, back_substitute
//   small helpers
//     ColMajor, is_singular, reset_identity, swap_rows
//
// Every sum is subtracted from its leading term one product at a time, index
// ascending: the reports print these digits, so the rounding order is fixed.
#include "dae/newton_linalg.h"

#include <cmath>
#include <utility>

#include "layout/flat_index.h"

namespace {

// Column-major view of a region with row stride n, 1-based.
struct ColMajor {
  double* base;
  int n;
  double& operator()(int i, int j) const { return base[dae_col_major(n, i, j)]; }
};

// One block row being factored: J = B - coef*A (A in columns 1..m), and for the
// Schur block of the three-point method also minus L21*U12 in columns 1..m.
struct BlockRow {
  int n;
  int m;
  double coef;      // c, c*d1 or c*d4
  ColMajor A;       // n x m
  ColMajor B;       // n x n, becomes L\U
  int* perm;        // perm[1..n]
  ColMajor L21;     // rows exchanged with this block (Schur block only)
  ColMajor U12;     // n x m (Schur block only)
  int schur_terms;  // n for the Schur block, 0 otherwise
};

bool is_singular(double pivot) { return std::fabs(pivot) < kNewtonPivotMin; }

void reset_identity(int* perm, int n) {
  for (int i = 1; i <= n; ++i) perm[i] = i;
}

// Leading term of entry (i, j) of the block's matrix before elimination.
double leading_term(const BlockRow& blk, int i, int j) {
  if (j > blk.m) return blk.B(i, j);
  double s = blk.B(i, j) - blk.coef * blk.A(i, j);
  for (int l = 1; l <= blk.schur_terms; ++l) s -= blk.L21(i, l) * blk.U12(l, j);
  return s;
}

// Forms column j of the block in rows j..n (entries of U(j, j) and of L before
// division) and returns the pivot row: the largest magnitude, the later row on
// a tie; row j is the first candidate.
int form_column(const BlockRow& blk, int j) {
  double best = 0.0;
  int pivot_row = j;
  for (int i = j; i <= blk.n; ++i) {
    double s = leading_term(blk, i, j);
    for (int k = 1; k < j; ++k) s -= blk.B(i, k) * blk.B(k, j);
    blk.B(i, j) = s;
    if (std::fabs(s) >= best) {
      best = std::fabs(s);
      pivot_row = i;
    }
  }
  return pivot_row;
}

void swap_rows(const ColMajor& X, int cols, int r1, int r2) {
  for (int k = 1; k <= cols; ++k) std::swap(X(r1, k), X(r2, k));
}

// Moves the pivot row p into position j, carrying A (and L21) along so that
// the right-hand-side terms built from them stay consistent.
void exchange_rows(const BlockRow& blk, int j, int p) {
  if (p == j) return;
  std::swap(blk.perm[j], blk.perm[p]);
  swap_rows(blk.B, blk.n, j, p);
  swap_rows(blk.A, blk.m, j, p);
  if (blk.schur_terms > 0) swap_rows(blk.L21, blk.n, j, p);
}

// Multipliers of column j: divided by the pivot. False on a singular pivot.
bool divide_column(const BlockRow& blk, int j) {
  const double pivot = blk.B(j, j);
  if (is_singular(pivot)) return false;
  for (int i = j + 1; i <= blk.n; ++i) blk.B(i, j) = blk.B(i, j) / pivot;
  return true;
}

// Row j of U in columns j+1..n.
void form_row(const BlockRow& blk, int j) {
  for (int k = j + 1; k <= blk.n; ++k) {
    double s = leading_term(blk, j, k);
    for (int l = 1; l < j; ++l) s -= blk.B(j, l) * blk.B(l, k);
    blk.B(j, k) = s;
  }
}

// Exchange, pivot test, multipliers and row of U after column j (j < n).
bool finish_column(const BlockRow& blk, int j, int pivot_row) {
  exchange_rows(blk, j, pivot_row);
  if (!divide_column(blk, j)) return false;
  form_row(blk, j);
  return true;
}

// One whole column step of a block without coupling work in between.
// The last column is only formed: its diagonal is tested by the solve.
bool factor_column(const BlockRow& blk, int j) {
  const int pivot_row = form_column(blk, j);
  return j == blk.n || finish_column(blk, j, pivot_row);
}

// Column j of L21 before division: J21(i, j) = ((-c)*d3)*A2(i, j) for j <= m,
// minus L21(i, k)*U1(k, j) for k < j. A2 is still in its original row order.
void form_l21_column(const BlockRow& first, const ColMajor& A2, double coef21, const ColMajor& L21,
                     int j) {
  for (int i = 1; i <= first.n; ++i) {
    double s = j <= first.m ? coef21 * A2(i, j) : 0.0;
    for (int k = 1; k < j; ++k) s -= L21(i, k) * first.B(k, j);
    L21(i, j) = s;
  }
}

void scale_l21_column(const ColMajor& L21, int n, int j, double pivot) {
  for (int i = 1; i <= n; ++i) L21(i, j) = L21(i, j) / pivot;
}

// Row j of U12: J12(j, k) = ((-c)*d2)*A1(j, k) from the exchanged rows of A1,
// minus L1(j, l)*U12(l, k) for l < j; columns k = 1..m.
void form_u12_row(const BlockRow& first, double coef12, const ColMajor& U12, int j) {
  for (int k = 1; k <= first.m; ++k) {
    double s = coef12 * first.A(j, k);
    for (int l = 1; l < j; ++l) s -= first.B(j, l) * U12(l, k);
    U12(j, k) = s;
  }
}

void copy_defects(const NewtonStageVectors& v, int m) {
  for (int k = 1; k <= m; ++k) v.gc[k] = v.g[k];
}

// z_i = r(perm(i)) - sum L(i, k)*z_k (k < i) - sum A(i, k)*gc_k (k <= m)
//       - sum L21(i, l)*z1_l (l <= coupled; the second block only).
void forward_substitute(const NewtonStageMatrices& s, int n, int m, const NewtonStageVectors& v,
                        const ColMajor& L21, int coupled, const double* z1) {
  const ColMajor L{s.B, n};
  const ColMajor A{s.A, n};
  for (int i = 1; i <= n; ++i) {
    double sum = v.r[s.perm[i]];
    for (int k = 1; k < i; ++k) sum -= L(i, k) * v.z[k];
    for (int k = 1; k <= m; ++k) sum -= A(i, k) * v.gc[k];
    for (int l = 1; l <= coupled; ++l) sum -= L21(i, l) * z1[l];
    v.z[i] = sum;
  }
}

// dy_i = (z_i - sum U(i, k)*dy_k (k > i) - sum U12(i, k)*dy2_k (k <= coupled))
//        / U(i, i), for i = n down to 1. False on a singular diagonal.
bool back_substitute(const NewtonStageMatrices& s, int n, const NewtonStageVectors& v,
                     const ColMajor& U12, int coupled, const double* dy2) {
  const ColMajor U{s.B, n};
  for (int i = n; i >= 1; --i) {
    const double diagonal = U(i, i);
    if (is_singular(diagonal)) return false;
    double sum = v.z[i];
    for (int k = i + 1; k <= n; ++k) sum -= U(i, k) * v.dy[k];
    for (int k = 1; k <= coupled; ++k) sum -= U12(i, k) * dy2[k];
    v.dy[i] = sum / diagonal;
  }
  return true;
}

BlockRow plain_block(int n, int m, double coef, const NewtonStageMatrices& s) {
  return BlockRow{n, m, coef, {s.A, n}, {s.B, n}, s.perm, {nullptr, n}, {nullptr, n}, 0};
}

}  // namespace

int dae_factor_solve_one_stage(int n, int m, double c, const NewtonStageMatrices& s,
                               const NewtonStageVectors& v) {
  const BlockRow blk = plain_block(n, m, c, s);
  reset_identity(s.perm, n);
  for (int j = 1; j <= n; ++j) {
    if (!factor_column(blk, j)) return DAE_IER_SINGULAR;
  }

  copy_defects(v, m);
  const ColMajor none{nullptr, n};
  forward_substitute(s, n, m, v, none, 0, nullptr);
  if (!back_substitute(s, n, v, none, 0, nullptr)) return DAE_IER_SINGULAR;
  for (int k = 1; k <= m; ++k) v.dyp[k] = v.gc[k] - c * v.dy[k];
  return 0;
}

int dae_factor_three_point(int n, int m, double c, const NewtonStageMatrices& mid,
                           const NewtonStageMatrices& end, const NewtonCoupling& k) {
  const ColMajor L21{k.L21, n};
  const ColMajor U12{k.U12, n};
  const double coef21 = -c * kLobattoD3;
  const double coef12 = -c * kLobattoD2;
  const BlockRow first = plain_block(n, m, c * kLobattoD1, mid);
  const BlockRow second{n, m, c * kLobattoD4, {end.A, n}, {end.B, n}, end.perm, L21, U12, n};

  reset_identity(mid.perm, n);
  reset_identity(end.perm, n);

  // First block row: L1\U1 of J11 with the coupling column of L21 and row of U12.
  for (int j = 1; j <= n; ++j) {
    const int pivot_row = form_column(first, j);
    form_l21_column(first, ColMajor{end.A, n}, coef21, L21, j);
    if (j < n && !finish_column(first, j, pivot_row)) return DAE_IER_SINGULAR;
    const double pivot = first.B(j, j);
    if (is_singular(pivot)) return DAE_IER_SINGULAR;
    scale_l21_column(L21, n, j, pivot);
    form_u12_row(first, coef12, U12, j);
  }

  // Second block row: L2\U2 of the Schur complement J22 - L21*U12.
  for (int j = 1; j <= n; ++j) {
    if (!factor_column(second, j)) return DAE_IER_SINGULAR;
  }
  return 0;
}

int dae_solve_three_point(int n, int m, double c, const NewtonStageMatrices& mid,
                          const NewtonStageMatrices& end, const NewtonCoupling& k,
                          const NewtonStageVectors& vmid, const NewtonStageVectors& vend) {
  const ColMajor L21{k.L21, n};
  const ColMajor U12{k.U12, n};
  const ColMajor none{nullptr, n};

  copy_defects(vmid, m);
  copy_defects(vend, m);
  forward_substitute(mid, n, m, vmid, none, 0, nullptr);
  forward_substitute(end, n, m, vend, L21, n, vmid.z);
  if (!back_substitute(end, n, vend, none, 0, nullptr)) return DAE_IER_SINGULAR;
  if (!back_substitute(mid, n, vmid, U12, m, vend.dy)) return DAE_IER_SINGULAR;

  for (int i = 1; i <= m; ++i) {
    vend.dyp[i] = vend.gc[i] - (kLobattoD4 * vend.dy[i] + kLobattoD3 * vmid.dy[i]) * c;
    vmid.dyp[i] = vmid.gc[i] - (kLobattoD2 * vend.dy[i] + kLobattoD1 * vmid.dy[i]) * c;
  }
  return 0;
}

void dae_copy_column_major(const double* src, int n, int cols, double* dst) {
  for (int j = 1; j <= cols; ++j) {
    for (int i = 1; i <= n; ++i) dst[dae_col_major(n, i, j)] = src[layout::flat_index(i, j, n)];
  }
}
