/// @file
/// DAE_Solver_01: integrator of implicit systems F(t, y, y') = 0 of n equations,
/// the first m unknowns differential (they have derivatives y'1..y'm), the
/// others algebraic, from t0 to tend.
///
///     callbacks        DAE_Model, DAE_Output
///     entry point      DAE_Solver_01 (every argument documented there)
///     codes            DAE_IER_*, DAE_NM_*, DAE_INIT_*, DAE_MODEL_*, DAE_OUTPUT_*,
///                      DAE_STATUS_*
///     statistics       IP_* positions of ip, dae_ip_size
///     workspace        DAE_WORK_SIZE, dae_work_need
///
/// Vectors are 1-based double arrays (element 0 is never used). Both matrices
/// are flat with entry (i, j) at `i*n + j`, i and j from 1: the row stride is n
/// for fy (n x n) and for fyp too, although fyp has only m meaningful columns;
/// each needs `n*n + n + 1` doubles. A stands for fyp = dF/dy', B for fy = dF/dy.
/// dae/dae_problem.h offers the same integrator to C++ callers: 0-based
/// vectors, callables that carry their own data, a stop from the observer,
/// output times, and the result as a record.
#pragma once

/// Model callback: writes F(1..n) and the Jacobians at (t, y, yp).
///   - kind 0: the single first call at t0 (only its status is used); 1:
///     ordinary call, F and the non-zero entries of fyp and fy (fyp only when
///     fy is formed by differences); 3: forward-difference call, only F is used.
///   - `*status` is 0 on entry; 1 = cannot evaluate here (the attempt fails),
///     2 = doubtful (a failure too, but its values are used when h <= 2*hmin).
///   - fyp and fy are cleared once before the first call: entries never written
///     stay 0, entries written keep their value until written again.
///   - ip is the solver's statistics array (read only). The return value is
///     ignored.
using DAE_Model = int (*)(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t, double h,
                          int kind, int* status, const int* ip);

/// Output callback: receives the solution at t.
///   - kind 0: once after the start-up, at t0; 1: after each accepted step (the
///     last at t = tend); -1: once at an error exit (t0 then equals t).
///   - It may write the next stop time into `*tstop` (see tstop at
///     DAE_Solver_01); it must do so after every output, because every step
///     rewrites `*tstop`.
///   - The return value is ignored.
using DAE_Output = int (*)(double* y, double* yp, int n, int m, double t, double t0, double tend, double h,
                           double* tstop, int kind, const int* ip);

/// Integrates from t0 to tend; the result is in ier, the arrays and the output
/// calls.
///
/// Far from t = 0, steps shorter than the time resolution `conm14*|t|` do not
/// move t: they are integrated, and t moves once their sum reaches the
/// resolution; the step that reaches tend (or a stop time) integrates exactly
/// up to it.
///
/// @param y      [1..n] in: initial values at t0 (with init = 0 the algebraic
///               ones are replaced by 0); out: the solution at the last time
///               reached (after a failure: the last iterate of the failed
///               attempt).
/// @param yp     [1..m] in: initial derivatives, used only with init = 2; out:
///               the derivatives at the last time reached.
/// @param ye     [1..n] in: `|ye_i|` is the magnitude scale of unknown i: for
///               i <= m it is the initial scale of the error test (read once,
///               at the end of the start-up; a scale far from the solution's
///               size costs steps and digits), and for every i the scale of
///               the forward-difference increment of an unknown at (or far
///               below) 0. Then storage of the solver: the three-point
///               method's end-point values, and a copy of y. Set it; the
///               solver cannot tell an unset ye from a scale.
/// @param ype    [1..m] storage of the solver: end-point derivatives, the
///               previous start-up attempt's derivatives, and a copy of yp. No
///               input.
/// @param F      [1..n] the residual, written by the model.
/// @param fyp    dF/dy', n rows, m columns, row stride n: (i, j) at `i*n + j`.
/// @param fy     dF/dy, n x n, (i, j) at `i*n + j`; written by the model, or by
///               the solver when forward differences are requested (ier = -1).
/// @param t      ignored (the working time starts at t0).
/// @param t0     start time.
/// @param tend   end time: tend - t0 >= hmin, and not below the time resolution
///               `conm14*max(|t0|, |tend|)` (about 4.6e-15 relative), else
///               ier = 3.
/// @param h      ignored: the start-up begins with hmin.
/// @param hmin   > 1e-200, in two roles: the first step of the start-up (which
///               halves it per attempt), and the smallest step. An attempt
///               that fails at h <= hmin ends the run (ier = 7); an error
///               estimate above eps is accepted as it is when h <= 4*hmin
///               (counted in ip[5] all the same): with a large hmin a run can
///               end with ier = 0 and inaccurate values. The C++ layer
///               (dae/dae_problem.h) counts those steps apart.
/// @param hmax   >= hmin, the largest step (a step stretched onto tend or a
///               stop time may exceed it by half).
/// @param eps    relative tolerance, > 1e-12 and finite: the error estimates
///               are relative to the largest magnitude of each differential
///               unknown.
/// @param tstop  a time that a step must end on exactly. The solver reads
///               `*tstop` before each step and then writes 2*tend into it, so a
///               stop time acts once, and only when the output routine writes
///               it (after each output); the caller's initial value is
///               overwritten by the start-up. A stop time that only a step
///               shorter than hmin or than the time resolution could reach
///               counts as reached; one already passed is ignored.
/// @param n      equations = unknowns, n >= 1;
///               `dae_work_need(n, m) <= DAE_WORK_SIZE` (n <= 38 when m = n),
///               else ier = 1.
/// @param m      differential unknowns, 0 <= m <= n.
/// @param nm     method: DAE_NM_EULER, DAE_NM_TRAPEZOIDAL, DAE_NM_LOBATTO,
///               DAE_NM_AUTOMATIC.
/// @param init   DAE_INIT_COMPUTE (0) or DAE_INIT_GIVEN (2); 1 is rejected.
/// @param status the model's report flag (see DAE_Model).
/// @param ier    in: DAE_IER_FORWARD_DIFFERENCES (-1) asks for fy by forward
///               differences, any other value is ignored; out: DAE_IER_*.
/// @param ip     [0 .. 21 + 3n] (dae_ip_size(n) ints): statistics (IP_*) and
///               the solver's integer workspace. An ier = 7 is explained by
///               ip[IP_MODEL_FAILURES] (the model reported status 1 or 2, or a
///               non-finite F), ip[IP_NOT_CONVERGED], ip[IP_DIVERGENT] (the
///               Newton iteration), ip[IP_SLOW_REJECTIONS] (slow iterations at
///               hmin), and ip[IP_ERROR_TEST_FAILURES] with a non-finite
///               solution. With none of them counted, either the start-up did
///               not settle within 60 attempts (t = t0: a derivative that keeps
///               changing with the step), or, far from t = 0, the integration
///               reached tend before t could.
/// @param model  the model callback.
/// @param output the output callback.
void DAE_Solver_01(double* y, double* yp, double* ye, double* ype, double* F, double* fyp, double* fy, double t,
                   double t0, double tend, double h, double hmin, double hmax, double eps, double* tstop, int n, int m,
                   int nm, int init, int* status, int* ier, int* ip, DAE_Model model, DAE_Output output);

// ---------------------------------------------------------------------------
// Named codes and positions (their numbers are part of the interface).

// ier: in, DAE_IER_FORWARD_DIFFERENCES requests difference quotients for fy;
// out, the result of the call.

/// ier on entry: fy by forward differences.
inline constexpr int DAE_IER_FORWARD_DIFFERENCES = -1;
inline constexpr int DAE_IER_OK = 0;           ///< tend reached
inline constexpr int DAE_IER_SIZES = 1;        ///< n < 1, m < 0, m > n, or workspace too small
inline constexpr int DAE_IER_STEP_BOUNDS = 2;  ///< hmin <= 1e-200 or hmax < hmin
inline constexpr int DAE_IER_SPAN = 3;         ///< tend - t0 < hmin, or below the time
                                               ///< resolution conm14*max(|t0|, |tend|)
inline constexpr int DAE_IER_TOLERANCE = 4;    ///< eps <= 1e-12, or not finite
inline constexpr int DAE_IER_METHOD = 5;       ///< nm outside 1..4
inline constexpr int DAE_IER_INIT = 6;         ///< init not 0 or 2
inline constexpr int DAE_IER_STEP_FAILED = 7;  ///< an attempt failed with h <= hmin (see ip
                                               ///< at DAE_Solver_01 for the causes)
inline constexpr int DAE_IER_SINGULAR = 8;     ///< singular Newton matrix

// nm: the method.
inline constexpr int DAE_NM_EULER = 1;        ///< implicit Euler, order 1
inline constexpr int DAE_NM_TRAPEZOIDAL = 2;  ///< trapezoidal rule, order 2
inline constexpr int DAE_NM_LOBATTO = 3;      ///< three-point Lobatto collocation, order 4
inline constexpr int DAE_NM_AUTOMATIC = 4;    ///< trapezoidal rule or three-point, chosen per step

// init: the start mode.
inline constexpr int DAE_INIT_COMPUTE = 0;  ///< solver zeroes y'(1..m), y(m+1..n) and finds them
inline constexpr int DAE_INIT_GIVEN = 2;    ///< caller's y and yp start every start-up attempt

// kind of a model call.
inline constexpr int DAE_MODEL_FIRST = 0;       ///< once at t0, before the start-up
inline constexpr int DAE_MODEL_ORDINARY = 1;    ///< residual and Jacobians
inline constexpr int DAE_MODEL_DIFFERENCE = 3;  ///< perturbed point, only F is used

// kind of an output call.
inline constexpr int DAE_OUTPUT_FIRST = 0;   ///< after the start-up, at t0
inline constexpr int DAE_OUTPUT_STEP = 1;    ///< after each accepted step
inline constexpr int DAE_OUTPUT_ERROR = -1;  ///< error exit

// status written by a model.
inline constexpr int DAE_STATUS_OK = 0;        ///< evaluated
inline constexpr int DAE_STATUS_FAILED = 1;    ///< cannot evaluate at this point
inline constexpr int DAE_STATUS_DOUBTFUL = 2;  ///< doubtful evaluation

// Positions in ip (statistics accumulate over the call).
inline constexpr int IP_STEP_SOLVES = 1;          ///< Newton solves of the current step attempt
inline constexpr int IP_TOTAL_SOLVES = 2;         ///< all Newton solves
inline constexpr int IP_ACCEPTED_STEPS = 3;       ///< accepted steps, all methods
inline constexpr int IP_HALVINGS = 4;             ///< steps retried with h/2
inline constexpr int IP_ERROR_TEST_FAILURES = 5;  ///< estimates above eps (also those accepted)
inline constexpr int IP_FAILED_ATTEMPTS = 6;      ///< model failure, no convergence or divergence
inline constexpr int IP_TRAPEZOIDAL_SOLVES = 7;   ///< Newton solves of trapezoidal attempts
inline constexpr int IP_TRAPEZOIDAL_STEPS = 8;    ///< accepted trapezoidal steps
inline constexpr int IP_LOBATTO_SOLVES = 9;       ///< Newton solves of three-point attempts
inline constexpr int IP_LOBATTO_STEPS = 10;       ///< accepted three-point steps
inline constexpr int IP_FDZ_WARNINGS = 11;        ///< slow iterations that passed the fdz test
inline constexpr int IP_DAMPING_REDOS = 12;       ///< steps redone with implicit Euler
inline constexpr int IP_SLOW_REJECTIONS = 13;     ///< slow iteration with a large first-order error
inline constexpr int IP_MODEL_FAILURES = 14;      ///< model evaluations that reported failure
inline constexpr int IP_NOT_CONVERGED = 15;       ///< iterations without convergence in 10 solves
inline constexpr int IP_DIVERGENT = 16;           ///< iterations stopped as divergent
inline constexpr int IP_SIGN_CHANGES = 21;        ///< ip[IP_SIGN_CHANGES + i]: sign changes of y'i
/// The ints that ip needs: 3n + 22. Entries ip[22 + n .. 21 + 2n] and
/// ip[22 + 2n .. 21 + 3n] hold the row permutations of the Newton blocks, so
/// the caller provides ip[0 .. 21 + 3n].
constexpr int dae_ip_size(int n) { return 3 * n + 22; }

/// The workspace: a fixed block of DAE_WORK_SIZE doubles per call. A call needs
/// dae_work_need(n, m) of them; a call that needs more is rejected with
/// DAE_IER_SIZES. (For n = m this allows n <= 38.)
inline constexpr long long DAE_WORK_SIZE = 10000;
/// The doubles of workspace that a call with n unknowns, m differential, needs.
constexpr long long dae_work_need(long long n, long long m) { return 4 * n * n + 2 * n * m + 15 * n + 18 * m + 4; }
