// The cores of the three long-decimal solvers: each computes the long-decimal
// solution, X by the entry points' conversion to double (ld_to_double), poi and ier, and prints
// nothing. LAE_Solver_01, LAE_Solver_02 and LAE_Solver_3diag are their cores
// followed by report_outcome; the C++ layer (linear_solve.h) reads the
// long-decimal solution from the work record instead.
//
//   LAE_Solver_01      GaussWork, solver_01_core     (lae_solver_01.cpp)
//   LAE_Solver_02      CroutWork, solver_02_core     (lae_solver_02.cpp)
//   LAE_Solver_3diag   SweepWork, solver_3diag_core  (lae_solver_3diag.cpp)
//
// Arguments are those of the entry points (1-based, entry (i, j) at i*n + j),
// with n by value. A work record is large (up to about 300 KB); the caller
// owns it and may keep it off its stack.
#pragma once

#include "lae/lae_work.h"

namespace lae {

// Storage of LAE_Solver_01. After the core, XX(1..n) holds the long-decimal
// solution whenever the outcome is kJudged.
struct GaussWork {
  explicit GaussWork(int n) : AA(n) {}

  FullMatrix AA;  // A, eliminated in place; reloaded for the second solve
  FullVector BB;  // B, exchanged and eliminated with the rows of AA
  FullVector XX;  // the solution
  FullVector RR;  // its residual, right-hand side of the second solve
  FullVector DD;  // the correction, which only feeds the estimate
};

CoreOutcome solver_01_core(int n, const double* A, const double* B, double* X, GaussWork& w);

// Storage of LAE_Solver_02. LL and UU are the factors of AA with its rows in
// the order left by the first-column exchanges.
struct CroutWork {
  explicit CroutWork(int n) : AA(n), LL(n), UU(n) {}

  FullMatrix AA;                 // A with the first-column exchanges applied
  FullMatrix LL;                 // lower factor, general diagonal
  FullMatrix UU;                 // upper factor, unit diagonal
  FullVector BB;                 // B, exchanged with the rows of AA
  FullVector Y;                  // forward substitution result
  FullVector XX;                 // the solution
  FullVector RR;                 // its residual
  FullVector DD;                 // the correction
  bool factors_written = false;  // true once L and U (and LL, UU) are complete
};

CoreOutcome solver_02_core(int n, const double* A, const double* B, double* L, double* U, double* X, CroutWork& w);

// Storage of LAE_Solver_3diag.
struct SweepWork {
  explicit SweepWork(int n) : AA(n) {}

  BandMatrix AA;  // (a_i, b_i, c_i) of each row
  BandVector BB;  // right-hand side
  BandVector L;   // sweep coefficients: x(i) = L(i+1)*x(i+1) + P(i+1)
  BandVector P;
  BandVector XX;  // the solution
  BandVector RR;  // its residual
  BandVector DD;  // the correction
};

// Row i of the band, (a_i, b_i, c_i), is read at flat indices
// i*row_stride + 1..3. LAE_Solver_3diag passes row_stride n, its callers'
// layout, in which c_1 and a_2 of an order-2 band share a cell; a row stride
// of 3 keeps every entry apart.
CoreOutcome solver_3diag_core(int n, const double* A, int row_stride, const double* B, double* X, SweepWork& w);

}  // namespace lae
