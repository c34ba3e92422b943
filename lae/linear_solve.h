/// @file
/// The linear solvers for C++ callers: a matrix and a right-hand side in,
/// 0-based and row-major, a result record out, nothing printed.
///
///     LinearSolution, FactoredSolution   the result records
///     solve_01      as LAE_Solver_01: elimination with row exchanges, n <= 15
///     solve_02      as LAE_Solver_02: Crout factorisation, also L and U, n <= 15
///     solve_3diag   as LAE_Solver_3diag: the tridiagonal sweep, n <= 199
///     solve_exact   as LAE_Solver_exact: exact rational solution, n <= 46340
///
/// Each runs the same core as its LAE_Solver_* entry point, so ier and poi are
/// exactly those the entry point would report for the same system. Only the way
/// back to double differs: where the entry points convert the long-decimal
/// solution by their own fixed method (3 may come back as 2.9999999999999991),
/// x here is that same long-decimal value rounded to the nearest double (3).
/// The solver's console lines are not printed; nothing is left behind.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "lae/lae_solvers.h"

namespace lae {

/// ier when the system was not handed to the solver: the order is above the
/// solver's limit, or the sizes of the matrix and the right-hand side disagree.
inline constexpr int kIerNotSolved = -1;

/// What a linear solve returns.
struct LinearSolution {
  /// x[k] for k = 0..n-1: the solution rounded to nearest (ties to even).
  /// Zeros unless ier is LAE_IER_OK; solve_exact also fills it for
  /// LAE_IER_SINGULAR_CONSISTENT and LAE_IER_OVERFLOW as LAE_Solver_exact does.
  std::vector<double> x;
  /// LAE_IER_OK, LAE_IER_FAILED, LAE_IER_SINGULAR_CONSISTENT and
  /// LAE_IER_OVERFLOW as in lae_solvers.h, or kIerNotSolved.
  int ier = kIerNotSolved;
  /// The precision estimate (largest relative correction of one refinement
  /// step) when the solver got as far as making it: present exactly when the
  /// entry point would print its "poi=" line. Never present for solve_exact.
  std::optional<double> poi;
};

/// What solve_02 returns: the solution and the factors.
struct FactoredSolution : LinearSolution {
  /// The lower factor, row-major n x n, each entry rounded to nearest: lower
  /// triangular with a general diagonal. l*u = a with its rows in the order
  /// that the first-column exchanges left. Empty when the solver stopped
  /// before the factorisation was complete.
  std::vector<double> l;
  /// The upper factor, row-major n x n, each entry rounded to nearest: unit
  /// upper triangular. Empty when l is.
  std::vector<double> u;
};

/// A dense system by elimination with row exchanges in long decimals, as
/// LAE_Solver_01; n <= 15.
/// @param a  the n x n matrix, row-major: `a[i*n + j]` is row i, column j
///           (0-based); its size must be b.size() squared. Entries must be
///           finite (otherwise LAE_IER_FAILED).
/// @param b  the right-hand side, n = b.size() entries; n = 0 gives
///           LAE_IER_FAILED
LinearSolution solve_01(std::span<const double> a, std::span<const double> b);
/// A dense system by Crout factorisation in long decimals, as LAE_Solver_02;
/// n <= 15. Arguments as for solve_01.
/// @param a  the n x n matrix, row-major
/// @param b  the right-hand side
FactoredSolution solve_02(std::span<const double> a, std::span<const double> b);
/// A dense system solved exactly as the doubles give it, in rational
/// arithmetic, as LAE_Solver_exact; n <= 46340. Arguments as for solve_01.
/// @param a  the n x n matrix, row-major
/// @param b  the right-hand side
LinearSolution solve_exact(std::span<const double> a, std::span<const double> b);

/// A tridiagonal system by the sweep in long decimals, without pivoting, as
/// LAE_Solver_3diag; n <= 199.
/// @param band  3n entries, row-major: `band[3*i]`, `band[3*i + 1]`,
///              `band[3*i + 2]` are `a_i`, `b_i`, `c_i` of row i (0-based), with
///              `a_i*x[i-1] + b_i*x[i] + c_i*x[i+1] = b[i]`; `a_0` and `c_{n-1}`
///              must be finite but play no part. Unlike the flat layout of
///              LAE_Solver_3diag, `c_0` and `a_1` of an order-2 band are
///              separate entries here.
/// @param b     the right-hand side, n = b.size() entries
LinearSolution solve_3diag(std::span<const double> band, std::span<const double> b);

}  // namespace lae
