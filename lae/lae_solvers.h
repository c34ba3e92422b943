/// @file
/// The linear equation solvers: three with guaranteed precision in long
/// decimals, and one exact in rational arithmetic.
///
/// Storage shared with their callers: all indices from 1; a matrix is a flat
/// double array with entry (i, j) at `i*n + j` (row stride = current n, see
/// layout/flat_index.h), so it needs `n*n + n + 1` cells; a vector holds entry k
/// at index k. Every argument is passed by address.
///
/// ier of the three long-decimal solvers: LAE_IER_OK, or LAE_IER_FAILED
/// (singular, precision test failed, non-finite input, n < 1, a solution
/// component beyond the double range) with X zeroed; untouched when n exceeds
/// the solver's limit. They print a "poi=" line once their estimate is made
/// and, LAE_Solver_01 and LAE_Solver_02, a banner on success, on the
/// diagnostics stream (textout/diagnostics.h). For results as a record, with X
/// correctly rounded, see lae/linear_solve.h.
///
///     LAE_Solver_01     Gaussian elimination with row exchanges     (lae_solver_01.cpp)
///     LAE_Solver_02     Crout factorisation, returns L and U        (lae_solver_02.cpp)
///     LAE_Solver_3diag  tridiagonal sweep, band at i*n + 1..3       (lae_solver_3diag.cpp)
///     LAE_Solver_exact  exact rational solution, rounded to nearest (lae_solver_exact.cpp)
#pragma once

inline constexpr int LAE_IER_OK = 0;                   ///< a solution in X
inline constexpr int LAE_IER_FAILED = 1;               ///< no solution; X zeroed
inline constexpr int LAE_IER_SINGULAR_CONSISTENT = 2;  ///< LAE_Solver_exact: one of many solutions in X
inline constexpr int LAE_IER_OVERFLOW = 3;             ///< LAE_Solver_exact: unique, but beyond the double range

/// A dense system of order n = 1..15, by elimination with row exchanges.
/// @param n    in: the order; above 15 nothing is written or printed
/// @param A    in: the matrix, A(i, j) at `i*n + j`
/// @param B    in: the right-hand side B(1..n)
/// @param X    out: the solution X(1..n); zeros unless ier = LAE_IER_OK
/// @param ier  out: LAE_IER_OK, or LAE_IER_FAILED (see above); also when poi > 1e-16
void LAE_Solver_01(const int* n, const double* A, const double* B, double* X, int* ier);

/// A dense system of order n = 1..15, by Crout factorisation after row
/// exchanges in the first column only.
/// @param n, A, B, X, ier  as for LAE_Solver_01
/// @param L    out: the lower factor (general diagonal), in the layout of A
/// @param U    out: the upper factor (unit diagonal); L*U is A with its rows in
///             the order the exchanges left. L and U are written once the
///             factorisation succeeds, also when the solve then fails;
///             untouched when it does not.
void LAE_Solver_02(const int* n, const double* A, const double* B, double* L, double* U, double* X, int* ier);

/// A tridiagonal system of order n = 1..199 by the sweep, without pivoting.
/// @param n    in: the order; above 199 nothing is written or printed
/// @param A    in: the band: row i holds `a_i`, `b_i`, `c_i` at `i*n + 1`,
///             `i*n + 2`, `i*n + 3` (`a_i*x(i-1) + b_i*x(i) + c_i*x(i+1) = B(i)`);
///             `a_1` and `c_n` are read (they must be finite) but play no part.
///             Cells up to `n*n + 3`.
/// @param B, X as for LAE_Solver_01
/// @param ier  out: as for LAE_Solver_01; LAE_IER_FAILED also when a diagonal
///             entry is zero (before any sweep) or poi > 1e-15
void LAE_Solver_3diag(const int* n, const double* A, const double* B, double* X, int* ier);

/// A dense system solved exactly as given in doubles, in rational arithmetic;
/// each component of the solution is then rounded to the nearest double (ties
/// to even, subnormals included). Prints nothing. Heap storage of order
/// `n*n` numbers of up to about `n*2100` bits; Hilbert 15 takes well under 5 ms.
/// @param n    in: the order, 1..46340 (the layout's flat index must fit an
///             int); above that nothing is written
/// @param A    in: the matrix, A(i, j) at `i*n + j`
/// @param B    in: the right-hand side B(1..n)
/// @param X    out: X(1..n), see ier
/// @param ier  out:
///   - LAE_IER_OK: unique solution, every component a double (a tiny
///     component may round to zero)
///   - LAE_IER_FAILED: singular and inconsistent, non-finite input, or n < 1;
///     X zeroed
///   - LAE_IER_SINGULAR_CONSISTENT: singular but consistent; X holds the basic
///     solution in which the unknowns of the columns without a pivot (columns
///     scanned left to right, a column without a non-zero entry at or below
///     the current row being passed over) are zero
///   - LAE_IER_OVERFLOW: unique solution with a component beyond the double
///     range
///
///   With LAE_IER_SINGULAR_CONSISTENT or LAE_IER_OVERFLOW a component beyond
///   the double range is 0 and every other one is its nearest double.
void LAE_Solver_exact(const int* n, const double* A, const double* B, double* X, int* ier);
