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

// ---------------------------------------------------------------------------
// Named codes and positions (their numbers are part of the interface).

// ier: in, DAE_IER_FORWARD_DIFFERENCES requests difference quotients for fy;
// out, the result of the call.
inline constexpr int DAE_IER_FORWARD_DIFFERENCES = -1;
inline constexpr int DAE_IER_OK = 0;              // tend reached
inline constexpr int DAE_IER_SIZES = 1;           // n < 1, m < 0, m > n, or workspace too small
inline constexpr int DAE_IER_STEP_BOUNDS = 2;     // hmin <= 1e-200 or hmax < hmin
inline constexpr int DAE_IER_SPAN = 3;            // tend - t0 < hmin, or below the time
                                                  // resolution conm14*max(|t0|, |tend|)
inline constexpr int DAE_IER_TOLERANCE = 4;       // eps <= 1e-12, or not finite
inline constexpr int DAE_IER_METHOD = 5;          // nm outside 1..4
inline constexpr int DAE_IER_INIT = 6;            // init not 0 or 2
inline constexpr int DAE_IER_STEP_FAILED = 7;     // an attempt failed with h <= hmin
inline constexpr int DAE_IER_SINGULAR = 8;        // singular Newton matrix

// nm: the method.
inline constexpr int DAE_NM_EULER = 1;        // implicit Euler, order 1
inline constexpr int DAE_NM_TRAPEZOIDAL = 2;  // trapezoidal rule, order 2
inline constexpr int DAE_NM_LOBATTO = 3;      // three-point Lobatto collocation, order 4
inline constexpr int DAE_NM_AUTOMATIC = 4;    // trapezoidal rule or three-point, chosen per step

// init: the start mode.
inline constexpr int DAE_INIT_COMPUTE = 0;  // solver zeroes y'(1..m), y(m+1..n) and finds them
inline constexpr int DAE_INIT_GIVEN = 2;    // caller's y and yp start every start-up attempt

// kind of a model call.
inline constexpr int DAE_MODEL_FIRST = 0;       // once at t0, before the start-up
inline constexpr int DAE_MODEL_ORDINARY = 1;    // residual and Jacobians
inline constexpr int DAE_MODEL_DIFFERENCE = 3;  // perturbed point, only F is used

// kind of an output call.
inline constexpr int DAE_OUTPUT_FIRST = 0;   // after the start-up, at t0
inline constexpr int DAE_OUTPUT_STEP = 1;    // after each accepted step
inline constexpr int DAE_OUTPUT_ERROR = -1;  // error exit

// status written by a model.
inline constexpr int DAE_STATUS_OK = 0;
inline constexpr int DAE_STATUS_FAILED = 1;    // cannot evaluate at this point
inline constexpr int DAE_STATUS_DOUBTFUL = 2;  // doubtful evaluation

// Positions in ip (statistics accumulate over the call).
inline constexpr int IP_STEP_SOLVES = 1;          // Newton solves of the current step attempt
inline constexpr int IP_TOTAL_SOLVES = 2;         // all Newton solves
inline constexpr int IP_ACCEPTED_STEPS = 3;       // accepted steps, all methods
inline constexpr int IP_HALVINGS = 4;             // steps retried with h/2
inline constexpr int IP_ERROR_TEST_FAILURES = 5;  // estimates above eps (also those accepted)
inline constexpr int IP_FAILED_ATTEMPTS = 6;      // model failure, no convergence or divergence
inline constexpr int IP_TRAPEZOIDAL_SOLVES = 7;   // Newton solves of trapezoidal attempts
inline constexpr int IP_TRAPEZOIDAL_STEPS = 8;    // accepted trapezoidal steps
inline constexpr int IP_LOBATTO_SOLVES = 9;       // Newton solves of three-point attempts
inline constexpr int IP_LOBATTO_STEPS = 10;       // accepted three-point steps
inline constexpr int IP_FDZ_WARNINGS = 11;        // slow iterations that passed the fdz test
inline constexpr int IP_DAMPING_REDOS = 12;       // steps redone with implicit Euler
inline constexpr int IP_SLOW_REJECTIONS = 13;     // slow iteration with a large first-order error
inline constexpr int IP_MODEL_FAILURES = 14;      // model evaluations that reported failure
inline constexpr int IP_NOT_CONVERGED = 15;       // iterations without convergence in 10 solves
inline constexpr int IP_DIVERGENT = 16;           // iterations stopped as divergent
inline constexpr int IP_SIGN_CHANGES = 21;        // ip[IP_SIGN_CHANGES + i]: sign changes of y'i
// ip[22 + n .. 21 + 2n] and ip[22 + 2n .. 21 + 3n]: row permutations of the Newton blocks,
// so the caller provides ip[0 .. 21 + 3n].
constexpr int dae_ip_size(int n) { return 3 * n + 22; }

// The workspace: a fixed block of DAE_WORK_SIZE doubles per call. A call needs
// dae_work_need(n, m) of them; a call that needs more is rejected with
// DAE_IER_SIZES. (For n = m this allows n <= 38.)
inline constexpr long long DAE_WORK_SIZE = 10000;
constexpr long long dae_work_need(long long n, long long m) {
  return 4 * n * n + 2 * n * m + 15 * n + 18 * m + 4;
}
