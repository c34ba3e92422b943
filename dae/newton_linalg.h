// Newton linear algebra of the DAE integrator: the linear system of one Newton
// iteration, in double precision, LU with partial pivoting, in place in storage
// that the caller lays out inside its workspace.
//
//   dae_factor_solve_one_stage  implicit Euler / trapezoidal rule: J = B - c*A,
//                               factor and solve in one call
//   dae_factor_solve_three_point  three-point Lobatto: block factorisation of the
//                               2n x 2n system (both stages, coupling, Schur block)
//                               and its solve in one call
//   dae_copy_column_major       copy a model matrix (i*n + j) into a workspace region
//
// Storage conventions
// - Matrices are column-major with row stride n and 1-based indices: X(i, j)
//   lies at base[(j - 1)*n + i], so an n x k matrix occupies base[1 .. n*k]
//   (base[0] is not touched; pass base = work + offset for the region
//   work[offset + 1 .. offset + n*k]); dae_col_major below spells this out.
// - Vectors are 1-based: v[1 .. len]; v[0] is not touched.
// - A stands for dF/dy' (n x m), B for dF/dy (n x n), copied by the caller from
//   the model's fyp and fy. A is never read when m = 0 (it may be null then).
// - Permutations are 1-based int vectors perm[1 .. n]; perm[i] is the row of
//   the unpermuted matrix that stands in position i after the factorisation.
//   Pass dae_newton_perm1(ip, n) and dae_newton_perm2(ip, n), the two blocks of
//   n after the sign counters ip[IP_SIGN_CHANGES + 1 .. IP_SIGN_CHANGES + n].
//   Each factorisation first resets its permutations to the identity.
//
// Sizes, in doubles, of what the caller provides (the integrator's budget of
// 4n^2 + 2nm covers B1, B2, L21, U12 at n*n each and A1, A2 at n*m each):
//   A, A1, A2      n*m  each   (read only; the routines read row perm(i) for row i)
//   B, B1, B2      n*n  each   (overwritten by L below the diagonal, U on and above)
//   L21            n*n         (written completely by the factorisation, rows in
//                               the second block's original order)
//   U12            n*m         (columns 1..m; a region of n*n may be passed, the
//                               columns beyond m are never read or written)
//   r, z, dy       n    each   per stage
//   g, gc, dyp     m    each   per stage
// L21 and U12 need no clearing: the factorisation writes every entry it reads.
//
// Aliasing: within one stage, z may be the same array as dy, and dyp the same
// array as g (g is read, and copied into gc, before dyp is written). All other
// arrays must be distinct and must not overlap.
//
// Result: every routine returns 0, or DAE_IER_SINGULAR (the integrator's ier
// for a singular Newton matrix) at once when a pivot or a diagonal entry of U
// has magnitude below kNewtonPivotMin = 1e-200; the outputs are then
// incomplete. The routines never touch the caller's ier: the caller stores the
// result. No scaling, refinement or condition estimate; nothing is allocated.
//
// Rounding order (the reports depend on it): every sum is subtracted from its
// leading term one product at a time, index ascending; products are formed left
// to right as written (c*d1 first, then times A; for the coupling blocks
// ((-c)*d2)*A1 and ((-c)*d3)*A2); multipliers and solutions are divided by the
// pivot, never multiplied by its reciprocal.
#pragma once

#include "dae/dae_constants.h"
#include "dae/dae_solver.h"

// Magnitude below which a pivot or diagonal entry of U counts as zero: the
// integrator's zero.
inline constexpr double kNewtonPivotMin = dae::kTiny;

// Coefficients of the three-point Lobatto collocation (nodes 0, 1/2, 1) in the
// derivative relations, shared with the integrator's defects:
//   dy'1 = g1 - c*(d1*dy1 + d2*dy2),  dy'2 = g2 - c*(d3*dy1 + d4*dy2).
inline constexpr double kLobattoD1 = -2.0;
inline constexpr double kLobattoD2 = -0.5;
inline constexpr double kLobattoD3 = 8.0;
inline constexpr double kLobattoD4 = -4.0;

// Position of X(i, j) in a column-major region of row stride n (1-based).
constexpr int dae_col_major(int n, int i, int j) { return (j - 1) * n + i; }

// The two row permutations inside the integrator's ip array, after the n sign
// counters.
inline int* dae_newton_perm1(int* ip, int n) { return ip + IP_SIGN_CHANGES + n; }
inline int* dae_newton_perm2(int* ip, int n) { return ip + IP_SIGN_CHANGES + 2 * n; }

// The matrices of one stage. perm receives the row permutation.
struct NewtonStageMatrices {
  const double* A;  // n x m, column-major; left in its original row order
  double* B;        // n x n, column-major; in: dF/dy, out: L (unit, strict lower) and U
  int* perm;        // perm[1..n]
};

// The vectors of one stage.
struct NewtonStageVectors {
  const double* r;  // in:  r[1..n], the residual -F
  const double* g;  // in:  g[1..m], the derivative defect
  double* gc;       // out: gc[1..m], copy of g
  double* z;        // out: z[1..n], forward-substitution result (may alias dy)
  double* dy;       // out: dy[1..n], correction of y
  double* dyp;      // out: dyp[1..m], correction of y' (may alias g)
};

// Coupling blocks of the three-point factorisation.
struct NewtonCoupling {
  double* L21;  // n x n, column-major: lower-left block of L; its row perm2(i) is row i
  double* U12;  // n x m used, column-major: upper-right block of U
};

// One-stage system of implicit Euler (c = -1/h) and the trapezoidal rule
// (c = -2/h): with J = B - c*A (A extended by zero columns m+1..n) solves
//   J*dy = r - A*g,   dy'_k = g_k - c*dy_k  (k = 1..m).
// J is formed in B (columns 1..m first, the others are B itself) and factored
// in place; the pivot is the row of largest magnitude, the later row on a tie.
// On return B holds L and U, perm the permutation, and v.gc, v.z, v.dy,
// v.dyp are written. 1 <= n, 0 <= m <= n.
[[nodiscard]] int dae_factor_solve_one_stage(int n, int m, double c, const NewtonStageMatrices& s,
                                             const NewtonStageVectors& v);

// Three-point block system (c = +1/h), mid = mid-point stage (index 1), end =
// end-point stage (index 2):
//   [ B1 - c*d1*A1    -c*d2*A1      ] [dy1]   [r1 - A1*g1]
//   [ -c*d3*A2        B2 - c*d4*A2  ] [dy2] = [r2 - A2*g2]
// (A terms only in columns 1..m), factored as
//   [ P1  0  ] J = [ L1   0  ] [ U1  U12 ]
//   [ 0   P2 ]     [ L21  L2 ] [ 0   U2  ]
// with row exchanges confined to each block row, then solved, with
//   dy'2_k = gc2_k - (d4*dy2_k + d3*dy1_k)*c,  dy'1_k = gc1_k - (d2*dy2_k + d1*dy1_k)*c.
// On return mid.B holds L1\U1, end.B holds L2\U2 of the Schur block
// J22 - L21*U12, k.L21 and k.U12 are written, mid.perm and end.perm hold the
// permutations, and gc, z, dy, dyp of both stages are written. Each z_i is
// found as soon as its row is fixed, during the factorisation; on a singular
// pivot z may be partly written, dy and dyp are not. A zero diagonal of U2 in
// the last column is found by the back substitution.
[[nodiscard]] int dae_factor_solve_three_point(int n, int m, double c, const NewtonStageMatrices& mid,
                                               const NewtonStageMatrices& end, const NewtonCoupling& k,
                                               const NewtonStageVectors& vmid, const NewtonStageVectors& vend);

// Copies the model matrix src (entry (i, j) at src[layout::flat_index(i, j, n)],
// i = 1..n, j = 1..cols) into the column-major region dst (dst[(j-1)*n + i]);
// use it for fyp (cols = m) and fy (cols = n) after each model call.
void dae_copy_column_major(const double* src, int n, int cols, double* dst);
