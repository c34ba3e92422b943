/// @file
/// The DAE integrator for C++ callers: a problem given as a callable, options
/// with defaults, an observer that can stop the run, and a result record.
///
///     the problem    ModelStatus, Evaluation, ModelPoint, MatrixView,
///                    ModelValues, ModelFunction, Problem
///     the start      InitialValues
///     the options    IntegrationMethod, StartMode, Options
///     observing      Observation, ObserverReply, Observer
///     the result     Statistics, Result, kIerStopped, kIerStepLimit
///     entry point    solve
///
/// solve runs the integrator of DAE_Solver_01 (dae/dae_solver.h): with the
/// same settings and a model that computes the same values it computes the
/// same solution, bit for bit, and the same statistics. What it adds is the
/// 0-based view of vectors and matrices, the caller's data in closures rather
/// than globals, the defaults, the output times, and a readable result.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dae/dae_solver.h"

namespace dae {

// ---------------------------------------------------------------------------
// The problem

/// What the model reports about one evaluation.
enum class ModelStatus {
  ok = DAE_STATUS_OK,  ///< the values are good
  /// the model cannot be evaluated here (a logarithm of a negative number, an
  /// overflow, a branch left): the step attempt fails and is retried with half
  /// the step; at a step no larger than hmin the run ends with ier = 7
  failed = DAE_STATUS_FAILED,
  /// the values are doubtful (a switching element left the branch chosen for
  /// the step): a failure as well, except that at a step no larger than
  /// 2*hmin the values are used as they are
  doubtful = DAE_STATUS_DOUBTFUL,
};

/// Why the integrator evaluates the model.
enum class Evaluation {
  /// once, at t0, before anything else: only the status is read (failed ends
  /// the run with ier = 7); a model may set up its own bookkeeping here
  first = DAE_MODEL_FIRST,
  /// inside a step: f and both Jacobians are read (dF/dy not, when
  /// Options::difference_jacobian is set)
  ordinary = DAE_MODEL_ORDINARY,
  /// a perturbed point for a difference quotient: only f is read, and only
  /// ModelStatus::failed counts (Jacobians written here are ignored)
  difference = DAE_MODEL_DIFFERENCE,
};

/// The point at which the integrator evaluates the model.
struct ModelPoint {
  double t;                    ///< time: the end of the step, or its mid-point for the
                               ///< first stage of the three-point method
  std::span<const double> y;   ///< y[0..n-1]: the unknowns
  std::span<const double> yp;  ///< yp[0..m-1]: the derivatives of y[0..m-1]
  double h;                    ///< the step being attempted
  Evaluation kind;             ///< what the integrator will read of the values
  /// Newton solves already made in this step attempt: 0 at the attempt's first
  /// evaluation. A model with switching elements chooses its branch there and
  /// keeps it for the rest of the attempt.
  int newton_solves;
};

/// A matrix of the model, 0-based and row-major: (i, j) is the derivative of
/// equation i by unknown j. It refers to the integrator's own storage, in
/// the 1-based flat layout of dae/dae_solver.h.
class MatrixView {
 public:
  /// A view of rows x columns entries of a flat matrix whose entry (i, j),
  /// counted from 1, lies at storage[i*stride + j].
  MatrixView(double* storage, int stride, int rows, int columns)
      : storage_(storage), stride_(stride), rows_(rows), columns_(columns) {}

  /// Entry (i, j), 0 <= i < rows(), 0 <= j < columns() (not checked).
  double& operator()(int i, int j) const { return storage_[(i + 1) * stride_ + (j + 1)]; }
  /// The number of rows: n.
  int rows() const { return rows_; }
  /// The number of columns: n for dF/dy, m for dF/dy'.
  int columns() const { return columns_; }

 private:
  double* storage_;
  int stride_;
  int rows_;
  int columns_;
};

/// Where the model writes its values.
///
/// The two matrices are cleared once, before the first evaluation, and never
/// again: an entry the model never writes stays 0, an entry written keeps its
/// value until it is written again. A model that writes the same non-zero
/// entries at every evaluation needs to write nothing else.
struct ModelValues {
  std::span<double> f;  ///< f[0..n-1], the residual: all n must be written
  MatrixView dfdy;      ///< dF/dy, n x n: `dfdy(i, j)` = dF[i]/dy[j]
  MatrixView dfdyp;     ///< dF/dy', n x m: `dfdyp(i, j)` = dF[i]/dyp[j]
};

/// The model: F(t, y, y') = 0 and its Jacobians at a point.
///
/// Any callable with this signature will do: a lambda that captures the
/// problem's parameters, or an object with an operator() (wrap it in std::ref
/// to keep one instance, and so its state, rather than a copy). It runs on the
/// thread that called solve; an exception it throws ends solve and passes on.
using ModelFunction = std::function<ModelStatus(const ModelPoint& at, ModelValues& values)>;

/// The system to integrate: n equations F(t, y, y') = 0 in n unknowns, the
/// first m of them differential (with derivatives yp[0..m-1]), the
/// others algebraic.
struct Problem {
  int n = 0;            ///< equations = unknowns, >= 1
  int m = 0;            ///< differential unknowns, 0 <= m <= n
  ModelFunction model;  ///< the residual and the Jacobians
};

// ---------------------------------------------------------------------------
// The start

/// Where the integration starts.
struct InitialValues {
  double t0 = 0;           ///< the start time
  std::vector<double> y;   ///< n values at t0 (see StartMode)
  std::vector<double> yp;  ///< m derivatives at t0, read with StartMode::given only;
                           ///< empty means zeros
};

// ---------------------------------------------------------------------------
// The options

/// The integration formula.
enum class IntegrationMethod {
  euler = DAE_NM_EULER,              ///< implicit Euler, order 1
  trapezoidal = DAE_NM_TRAPEZOIDAL,  ///< trapezoidal rule, order 2
  lobatto = DAE_NM_LOBATTO,          ///< three-point Lobatto collocation, order 4
  automatic = DAE_NM_AUTOMATIC,      ///< trapezoidal rule or three-point, chosen per step
};

/// How the start values are made consistent.
enum class StartMode {
  /// The integrator replaces yp[0..m-1] and the algebraic unknowns
  /// y[m..n-1] by 0 and finds consistent values itself, from the
  /// differential unknowns' start values.
  compute = DAE_INIT_COMPUTE,
  /// InitialValues::y and InitialValues::yp start every attempt of the start-up as given.
  given = DAE_INIT_GIVEN,
};

/// How to integrate. Every member has a default; a zero hmin or hmax and an
/// empty ye stand for defaults computed from the problem.
struct Options {
  /// Relative tolerance, > 1e-12: each error estimate is relative to the
  /// largest magnitude that its unknown has had (see ye).
  double eps = 1e-6;
  /// The smallest step, and also the first step of the start-up. 0 means
  /// 1e-30*(tend - t0) (at least 1e-199). Keep it small: an error estimate
  /// above eps is accepted as it is when the step is no larger than 4*hmin
  /// (the result counts such steps in Statistics::accepted_error_failed), so a
  /// large hmin can give ier = 0 with no correct digit; a small one costs
  /// about three steps per factor of ten, since the step grows geometrically.
  double hmin = 0;
  /// The largest step, >= hmin; 0 means tend - t0. A step stretched onto an
  /// output time or tend may exceed it by half.
  double hmax = 0;
  /// The formula.
  IntegrationMethod method = IntegrationMethod::lobatto;
  /// How the start values are made consistent.
  StartMode start = StartMode::compute;
  /// Magnitude scales, n entries, or empty for `max(|y[i](t0)|, 1)`. For a
  /// differential unknown `|ye[i]|` is the magnitude its errors are first
  /// measured against (raised later by the largest `|y[i]|` reached); for every
  /// unknown it sets the difference increment when y[i] is at or near 0. Give
  /// each unknown's expected size: a scale far above it loosens the error
  /// test for that unknown (digits are lost), one far below tightens it
  /// (steps are wasted).
  std::vector<double> ye;
  /// Accepted steps allowed before tend; 0 means no limit. A run that reaches
  /// the limit ends with ier = kIerStepLimit at its last step.
  long long max_steps = 100000;
  /// Times at which a step must end, in any order: the integrator lands on
  /// each of them exactly and the observation there has output_time set.
  /// Times outside (t0, tend] are ignored (t0 itself only marks the first
  /// observation); a time closer than hmin, or than the time resolution, to
  /// the point before it is passed over.
  std::vector<double> output_times;
  /// dF/dy by forward differences: the model still writes f and dF/dy', and
  /// what it writes into dF/dy is not used.
  bool difference_jacobian = false;
  /// Where the integrator's console lines go (a banner, the rounding level,
  /// one line per start-up attempt, warnings of slow Newton iterations), for
  /// this call on this thread; nullptr (the default) prints nothing.
  std::FILE* diagnostics = nullptr;
};

// ---------------------------------------------------------------------------
// Observing

/// The solution at one point of the integration.
struct Observation {
  double t;                    ///< the time
  std::span<const double> y;   ///< y[0..n-1] at t
  std::span<const double> yp;  ///< yp[0..m-1] at t
  /// the step just taken (at the first observation: half the last start-up
  /// step)
  double h;
  bool first;                ///< the observation at t0, after the start-up
  bool output_time;          ///< t is one of Options::output_times
  long long accepted_steps;  ///< steps accepted up to here
};

/// The observer's answer.
enum class ObserverReply {
  proceed,  ///< go on
  stop,     ///< end the run here, with ier = kIerStopped (or 0 at tend)
};

/// Sees the solution once at t0, after the start-up, and after every accepted
/// step, the last at tend; not after a failure (the result holds the end).
/// Runs on the thread that called solve; an exception it throws ends solve
/// and passes on.
using Observer = std::function<ObserverReply(const Observation& point)>;

// ---------------------------------------------------------------------------
// The result

/// ier after a stop from the observer: y and yp are the solution at t.
inline constexpr int kIerStopped = 9;
/// ier after Options::max_steps accepted steps short of tend: y and yp are
/// the solution at t.
inline constexpr int kIerStepLimit = 10;

/// The counters of one run (those of ip in dae/dae_solver.h, by name).
struct Statistics {
  long long accepted_steps = 0;       ///< accepted steps, all methods (ip[3])
  long long newton_solves = 0;        ///< linear solves of all Newton iterations (ip[2])
  long long halvings = 0;             ///< step attempts retried with half the step (ip[4])
  long long error_test_failures = 0;  ///< error estimates above eps, also those accepted (ip[5])
  long long failed_attempts = 0;      ///< attempts failed by the model or Newton (ip[6])
  long long trapezoidal_solves = 0;   ///< Newton solves of trapezoidal attempts (ip[7])
  long long trapezoidal_steps = 0;    ///< accepted trapezoidal steps (ip[8])
  long long lobatto_solves = 0;       ///< Newton solves of three-point attempts (ip[9])
  long long lobatto_steps = 0;        ///< accepted three-point steps (ip[10])
  long long slow_warnings = 0;        ///< slow iterations that passed the fdz test (ip[11])
  long long damping_redos = 0;        ///< steps redone with implicit Euler (ip[12])
  long long slow_rejections = 0;      ///< slow iterations rejected for their error (ip[13])
  long long model_failures = 0;       ///< evaluations that failed or were doubtful (ip[14])
  long long not_converged = 0;        ///< Newton iterations not converged in 10 solves (ip[15])
  long long divergent = 0;            ///< Newton iterations stopped as divergent (ip[16])
  /// Steps accepted although their error estimate exceeded eps, because the
  /// step was no larger than 4*hmin and could not be halved: their digits
  /// are not guaranteed. Also counted in error_test_failures.
  long long accepted_error_failed = 0;
};

/// What a run ends with.
struct Result {
  /// DAE_IER_OK (tend reached), one of the other DAE_IER_* codes of
  /// dae/dae_solver.h, kIerStopped or kIerStepLimit.
  int ier = DAE_IER_SIZES;
  /// ier in words, with its likely causes read from the statistics; after
  /// ier = 0 a warning when steps were accepted with a failed error test.
  std::string message;
  /// The time reached: tend after success, the last observation's t after a
  /// stop or the step limit, the end of the failed attempt after a failure.
  double t = 0;
  double h = 0;            ///< the step of the last attempt
  std::vector<double> y;   ///< y[0..n-1] at t (after a failure, the last iterate)
  std::vector<double> yp;  ///< yp[0..m-1] at t
  Statistics statistics;   ///< the counters
  /// true when tend was reached.
  bool ok() const { return ier == DAE_IER_OK; }
};

// ---------------------------------------------------------------------------
// Entry point

/// Integrates problem from start.t0 to tend.
///
/// @param problem   the system and its model
/// @param start     t0, y(t0) and, for StartMode::given, y'(t0)
/// @param tend      the end time, beyond t0 by at least hmin
/// @param options   tolerance, steps, method, scales, output times, diagnostics
/// @param observer  sees the solution at t0 and after every step; may stop
///                  the run (none by default)
/// @return the code, its explanation, the solution at the time reached and
///         the statistics. Sizes that do not fit (y not of n entries, yp not
///         of m or none, ye not of n or none, n < 1, m outside 0..n, more than
///         the workspace holds: m = n <= 38) and an empty model give
///         DAE_IER_SIZES before any model call.
///
/// The call keeps no state between calls. Its arrays (about 8*(2n^2 + 8n)
/// bytes) are allocated once at the start; the integrator's workspace (80 KB)
/// lives on the calling thread's stack, as for DAE_Solver_01.
Result solve(const Problem& problem, const InitialValues& start, double tend, const Options& options = {},
             const Observer& observer = {});

}  // namespace dae
