// State of one call of DAE_Solver_01, and the stages that work on it.
//
//   message texts        kBanner, kConm14Line, kStartupLine, kFdzWarning
//   outcomes             Method, Placement, Damping, NewtonOutcome, NewtonVerdict,
//                        ErrorVerdict
//   workspace            StageRegions, WorkRegions, lay_out_work
//   per-call record      DaeCallState (over CoreArrays, CoreSettings of dae_core.h)
//   helpers              copy_vector, raise_to
//   stages, by file      dae_setup.cpp, dae_step.cpp, dae_convergence.cpp,
//                        dae_error_control.cpp, dae_redo.cpp (listed below)
//
// The record lives on the stack of one call; nothing is static or allocated.
#pragma once

#include <array>

#include "dae/dae_constants.h"
#include "dae/dae_core.h"
#include "dae/dae_solver.h"

namespace dae {

// Console texts of the solver.
inline constexpr char kBanner[] = "\ndae-solver-01\n";
inline constexpr char kConm14Line[] = "1 conm14 = %15.8e \n";
inline constexpr char kStartupLine[] = "ee=%15.8e ,h=%15.8e ,ip[1]=%d\n ";
inline constexpr char kFdzWarning[] = " warning! fdz>0.01: t=%15.8e ,h=%15.8e ,eps=%15.8e  \n";

// ---------------------------------------------------------------------------
// Outcomes

enum class Method { euler = 0, trapezoidal = 1, lobatto = 2 };

// How an attempt's time was placed relative to the time resolution of t_old.
enum class Placement { normal = 0, below_resolution = 1, accumulated = 2 };

// Which method a running implicit-Euler redo stands in for.
enum class Damping { none, trapezoidal, lobatto };

// End of one Newton iteration.
enum class NewtonOutcome { converged, model_failure, not_converged, divergent, singular };

// Verdict of the convergence tests after the model calls of one iteration.
enum class NewtonVerdict { iterate, converged, divergent };

// Stages of a Newton iteration: one for implicit Euler and the trapezoidal
// rule, two (mid-point and end-point) for the three-point method.
inline constexpr int kOneStage = 1;
inline constexpr int kTwoStages = 2;

// Verdict of the error test of a converged attempt.
enum class ErrorVerdict { pass, halve, fail };

// ---------------------------------------------------------------------------
// Workspace

// Regions of one Newton stage (the one-stage methods use stage 0). Vectors are
// 1-based (v[1..len]); matrices column-major with row stride n.
struct StageRegions {
  double* A;         // n x m copy of fyp
  double* B;         // n x n copy of fy; becomes L\U
  double* r;         // n: residual -F
  double* g;         // m: derivative defect
  double* gc;        // m: copy of g made by the solve
  double* dy;        // n: correction of y, then relative to ymax (also the solve's z)
  double* dyp;       // m: correction of y'
  double* dy_prev;   // n: |relative correction| of the solve before
  double* dyp_prev;  // m: |correction of y'| of the solve before
};

// Every region of the workspace. work[1..kEstimateSlots] hold ee1, ee2, ee3.
struct WorkRegions {
  std::array<StageRegions, 2> stage;                // mid-point (or only) stage, end-point stage
  double* L21;                                      // n x n coupling block of the three-point method
  double* U12;                                      // n x n (m columns used)
  double* y_old;                                    // n: solution at t_old
  double* ymax;                                     // n: largest |y_i| within the attempt
  double* F_saved;                                  // n: unperturbed F during difference quotients
  double* y_start;                                  // n: start values of the start-up
  double* kept_y;                                   // n: trapezoidal solution kept during a damping redo
  double* yp_old;                                   // m: derivatives at t_old
  double* yp_older;                                 // m: derivatives one accepted point older (D1)
  double* yp_oldest;                                // m: derivatives two accepted points older (D2)
  std::array<double*, kHistoryLength + 1> history;  // history[1..5], m each: past values
                                                    // Y1..Y5 of the differential unknowns (Y0, the
                                                    // attempt's new values, lives in y or ye)
  double* y_magnitude;                              // m: running max |y_i| over accepted points (M)
  double* dy_sum;                                   // m: sum of corrections, mid-point or only stage (S)
  double* dy_sum_end;                               // m: sum of corrections, end-point stage (S^E)
  double* dyp_sum_end;                              // m: sum of derivative corrections, end-point stage (P^E)
  double* yp_start;                                 // m: start derivatives of the start-up
  double* kept_yp;                                  // m: derivatives kept during a damping redo
  double* ye_algebraic;                             // n - m: |ye_i| at entry, i = m+1..n, the scales of
                                                    // the algebraic unknowns' difference increments
  long long used;                                   // doubles used, work[1..used]
};

// Lays the regions out in work[1..]; the total never exceeds dae_work_need(n, m).
WorkRegions lay_out_work(double* work, int n, int m);

// ---------------------------------------------------------------------------
// The per-call record

struct DaeCallState {
  DaeCallState(const CoreArrays& arrays, const CoreSettings& given, ModelCallback model_in, OutputCallback output_in)
      : caller(arrays), settings(given), model(model_in), output(output_in), t(given.t0), h(given.h) {}
  DaeCallState(const DaeCallState&) = delete;
  DaeCallState& operator=(const DaeCallState&) = delete;

  // Inputs
  CoreArrays caller;      // caller's arrays
  CoreSettings settings;  // caller's settings
  ModelCallback model;    // caller's model and its context
  OutputCallback output;  // caller's output routine and its context

  // Outcome
  int ier = DAE_IER_OK;                 // result code
  bool stop_requested = false;          // the output routine replied stop
  long long accepted_steps = 0;         // steps accepted (= ip[3])
  long long accepted_error_failed = 0;  // of them, accepted although the error test failed
  bool error_test_failed = false;       // this step's estimate exceeded eps (h <= 4*hmin)

  // Rounding level
  double conm14 = 0;       // rounding-level estimate
  double sqrt_conm14 = 0;  // relative difference increment, convergence threshold

  // Time and step
  double t;                                       // end time of the attempt
  double h;                                       // step of the attempt
  double t_old = 0;                               // last accepted time
  double t_mid = 0;                               // time of the mid-point stage
  double time_backlog = 0;                        // steps integrated but too small to move t
  double time_backlog_new = 0;                    // the backlog including this attempt
  double time_drift = 0;                          // rounding of t not yet in the backlog
  Placement placement = Placement::normal;        // how t was placed
  double h_prev = 0;                              // previous accepted step
  double h_next = 0;                              // proposed next step
  std::array<double, kHistoryLength> interval{};  // interval[1..4]: H1..H4 between the
                                                  // history points, newest first

  // Method and flags
  Method method = Method::euler;                        // method of the current attempt
  bool stop_flag = false;                               // step ends on a stop time: no growth
  bool last_step = false;                               // step ends on tend
  bool damping_flag = false;                            // set by an oscillation, until the next test
  Damping damping = Damping::none;                      // a redo is running for this method
  int redo_saved_solves = 0;                            // ip[1] of the attempt being redone
  std::array<int, kMaxGrowthBands + 1> growth_count{};  // c[1..4]: counters of the growth rule

  // Newton iteration
  double c = 0;               // method coefficient (-1/h, -2/h or 1/h)
  double r0 = 0;              // largest residual or defect of the first two evaluations
  double rF = 0;              // largest residual of the last evaluation
  double dymax = 0;           // largest relative correction of the last solve
  bool quick_drop = false;    // residuals fell below sqrt(conm14) of r0 after one solve
  bool fdz = false;           // the iteration ended as slow
  int slow_count = 0;         // slow iterations counted
  double rF_accepted = 0;     // rF at the end of the last accepted step
  double dymax_accepted = 0;  // dymax at the end of the last accepted step

  // Workspace, work[1..DAE_WORK_SIZE]; only work[1..dae_work_need] is cleared and used.
  std::array<double, DAE_WORK_SIZE + 1> work;
  WorkRegions region{};

  // Error estimates of the last attempt, kept in the first slots of work.
  double& ee1() { return work[1]; }
  double& ee2() { return work[2]; }
  double& ee3() { return work[3]; }
};

// ---------------------------------------------------------------------------
// Small vector helpers (1-based)

inline void copy_vector(double* to, const double* from, int len) {
  for (int i = 1; i <= len; ++i) to[i] = from[i];
}

// target = max(target, value); a NaN value leaves it as it was. Written as a
// selection, so that loops over raise_to need no branches.
inline void raise_to(double& target, double value) { target = value > target ? value : target; }

// ---------------------------------------------------------------------------
// Set-up and start-up (dae_setup.cpp)

// The rounding-level estimate conm14.
double rounding_level();
// Clears the workspace, ip and the matrices and makes the kind-0 model call;
// false when the run ends there (ier set).
bool initialise(DaeCallState& s);
// Start-up attempts until the derivatives settle; then the kind-0 output.
// False when the run ends (ier set).
bool start_up(DaeCallState& s);
// Largest relative change of y'_i between two start-up attempts, leaving out
// components whose ratio is close to a power of two.
double start_up_measure(int m, const double* yp, const double* yp_before);

// ---------------------------------------------------------------------------
// One step attempt (dae_step.cpp)

// Places the attempt's end time (stop time, tend, time resolution); false when
// the state is already integrated up to tend although t is not there.
bool place_step(DaeCallState& s);
// Resets the per-attempt state and sets the method coefficient.
void reset_attempt(DaeCallState& s);
// Runs the Newton iteration of the current method to an outcome.
NewtonOutcome iterate(DaeCallState& s);
// Adds the solves of an iteration to the totals (at convergence and at a halving).
void add_solves(DaeCallState& s);
// The model call of the given kind at (y, yp, t) with the current h; the
// status is cleared first.
void call_model(DaeCallState& s, double* y, double* yp, double t, int kind);
// The output call of the given kind at the current t; keeps a stop request.
void call_output(DaeCallState& s, int kind);

// ---------------------------------------------------------------------------
// Newton verdict and corrections (dae_convergence.cpp)

// The convergence tests after the model calls of one iteration (stages = 1
// or 2); keeps r0, rF, the quick-drop flag, the slow count and the fdz flag.
NewtonVerdict judge_iteration(DaeCallState& s, int stages);
// Keeps |relative dy| and |dy'| of the last solve for the next tests.
void keep_previous_corrections(DaeCallState& s, int stages);
// Drops corrections at the rounding level and keeps settled components frozen.
void filter_corrections(const DaeCallState& s, const StageRegions& st, const double* y, const double* yp);
// Applies the corrections of one or both stages.
void apply_one_stage(DaeCallState& s);
void apply_two_stages(DaeCallState& s);
// Corrections relative to ymax; dymax over all stages.
void make_relative(DaeCallState& s, int stages);

// What one Newton iteration observed after its model calls.
struct IterationMeasure {
  int solves;              // ip[1]: solves made in this attempt
  bool one_stage;          // implicit Euler or trapezoidal rule
  double r0;               // largest residual or defect of the first two evaluations
  double rF;               // largest |r_j| of this evaluation
  bool quick_drop;         // residuals fell below sqrt(conm14) of r0 after one solve
  double q;                // largest ratio of the last two solves' corrections (1 before)
  double rho_F;            // rF of the last accepted step over this rF
  double rho_d;            // dymax of the last accepted step over this dymax
  double dymax;            // largest relative correction of the last solve
  int slow_count;          // slow iterations already counted in this attempt
  bool damping_redo;       // damping flag up: a one-stage redo ends at its 10th solve
  bool may_diverge;        // h > kSmallStepFactor*hmin: divergence may be declared
  double converged_below;  // sqrt(conm14): a smaller dymax is converged
};

// The verdict on a measured iteration.
enum class NewtonDecision {
  iterate,          // solve again
  iterate_slow,     // solve again, one more slow iteration counted
  converged,        // the corrections are at the rounding level
  slow,             // converged as slow: the fdz test follows
  slow_quick_drop,  // converged as slow, but the residuals dropped at once: no fdz test
  divergent,        // the corrections grow against the last accepted step
};

IterationMeasure measure_iteration(const DaeCallState& s, int stages);
NewtonDecision decide_iteration(const IterationMeasure& m);

// ---------------------------------------------------------------------------
// Error estimate, acceptance and growth (dae_error_control.cpp)

// Fills ee1..ee3 from the history and the attempt's new values.
void estimate_error(DaeCallState& s);
// The slow-iteration rejection, the fdz warning and the tolerance test.
ErrorVerdict error_test(DaeCallState& s);
// Keeps rF and dymax of the iteration for the next step's tests.
void remember_iteration_end(DaeCallState& s);
// Accepts the attempt: output, next step, history; true when tend is reached.
bool accept_step(DaeCallState& s);

struct ErrorEstimates {
  double ee1;  // second difference: implicit Euler
  double ee2;  // third difference: trapezoidal rule
  double ee3;  // fifth difference: three-point method
};

// Scaled divided differences of Y5 (oldest) .. Y1, Y0 (new) over the intervals
// H[4] .. H[1], h, each component divided by max(ymax_i, M_i) when that exceeds kTiny.
ErrorEstimates estimate_history_errors(int m, const double* Y0, const std::array<double*, kHistoryLength + 1>& Y,
                                       const std::array<double, kHistoryLength>& H, double h, const double* ymax,
                                       const double* M);

// ---------------------------------------------------------------------------
// Damping and halving: the two ways a step is redone (dae_redo.cpp)

// Counts sign changes of the derivatives; true when a component changed sign three times.
bool derivatives_oscillate(DaeCallState& s);
// Prepares the implicit-Euler redo of an oscillating step.
void begin_damping(DaeCallState& s);
// Takes the damped derivatives after a converged redo and restores the method.
void finish_damping(DaeCallState& s);
// Counts a failed attempt (model failures are counted at the call).
void count_failure(DaeCallState& s, NewtonOutcome outcome);
// Counts a failed attempt; halves the step, or ends the run with ier = 7 (false).
bool fail_attempt(DaeCallState& s, NewtonOutcome outcome);
// Rejects the attempt: h/2, back to the last accepted point, history re-sampled.
void halve_step(DaeCallState& s);

// Replaces the history Y5..Y1 (intervals H4..H1) by Y3, P(mid of H2), Y2,
// P(mid of H1), Y1 with intervals H2/2, H2/2, H1/2, H1/2, where P is the
// polynomial of degree 4 through Y5..Y1.
void resample_history(int m, const std::array<double*, kHistoryLength + 1>& Y, std::array<double, kHistoryLength>& H);

}  // namespace dae
