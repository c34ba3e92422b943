// DAE_Solver_01: integrator of implicit systems F(t, y, y') = 0 of n equations,
// the first m unknowns differential, from t0 to tend.
//
// Vectors are 1-based double arrays; matrices are flat with (i, j) at i*n + j
// (row stride n for both fyp and fy). A stands for fyp = dF/dy', B for fy = dF/dy.
#pragma once

// Model callback: writes F(1..n) and the Jacobians at (t, y, yp).
//   kind 0: the single first call at t0; 1: ordinary call; 3: forward-difference
//   call (only F is used). *status is 0 on entry; 1 = cannot evaluate here,
//   2 = doubtful evaluation. ip is the solver's statistics array (read only).
// The return value is ignored.
using DAE_Model = int (*)(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m,
                          double t, double h, int kind, int* status, const int* ip);

// Output callback: receives the solution at t.
//   kind 0: first call after the start-up, at t0; 1: after each accepted step;
//   -1: error exit. May write the next stop time into *tstop.
// The return value is ignored.
using DAE_Output = int (*)(double* y, double* yp, int n, int m, double t, double t0, double tend,
                           double h, double* tstop, int kind, const int* ip);

void DAE_Solver_01(double* y, double* yp, double* ye, double* ype, double* F, double* fyp, double* fy,
                   double t, double t0, double tend, double h, double hmin, double hmax, double eps,
                   double* tstop, int n, int m, int nm, int init, int* status, int* ier, int* ip,
                   DAE_Model model, DAE_Output output);
