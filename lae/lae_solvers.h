// The three linear equation solvers with guaranteed precision.
//
// Storage shared with their callers: all indices from 1; a matrix is a flat
// double array with entry (i, j) at i*n + j (row stride = current n); a vector
// holds entry k at index k. Every argument is passed by address.
//
// ier: 0 success; 1 failure (singular, precision test failed, non-finite
// input, n < 1, a solution component beyond the double range) with X zeroed;
// untouched when n exceeds the solver's limit.
//
//   LAE_Solver_01     Gaussian elimination with row exchanges   (lae_solver_01.cpp)
//   LAE_Solver_02     Crout factorisation, returns L and U      (lae_solver_02.cpp)
//   LAE_Solver_3diag  tridiagonal sweep, band at i*n + 1..3     (lae_solver_3diag.cpp)
#pragma once

void LAE_Solver_01(const int* n, const double* A, const double* B, double* X, int* ier);
void LAE_Solver_02(const int* n, const double* A, const double* B, double* L, double* U, double* X,
                   int* ier);
void LAE_Solver_3diag(const int* n, const double* A, const double* B, double* X, int* ier);
