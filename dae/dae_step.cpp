// One step attempt of DAE_Solver_01: placement of the step and the full
// Newton iteration of the current method.
//
//   attempt set-up      place_step, reset_attempt, placement_mode, placed_time,
//                       integrated_end, within_look_ahead, stop_reachable,
//                       land_on, method_coefficient
//   iteration           iterate, iterate_one_stage, iterate_two_stage,
//                       iteration_ends, compute_defects, stage_matrices,
//                       stage_vectors, add_solves
//   model evaluation    call_model, call_output, evaluate_stage, evaluation_usable,
//                       difference_usable, difference_jacobian, difference_increment,
//                       unknown_scale, residual_is_finite
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"
#include "dae/newton_linalg.h"
#include "layout/flat_index.h"

namespace dae {
namespace {

// Divisors of the step for the times placed_time gives: the end and the
// mid-point stage of the three-point method.
constexpr double kStepEnd = 1;
constexpr double kStepMiddle = 2;

// ---------------------------------------------------------------------------
// Attempt set-up

// The coefficient c of each method's derivative relation (implicit Euler
// -1/h, trapezoidal rule -2/h, three-point method 1/h).
double method_coefficient(Method method, double h) {
  switch (method) {
    case Method::euler:
      return -1 / h;
    case Method::trapezoidal:
      return -2 / h;
    case Method::lobatto:
      break;
  }
  return 1 / h;
}

// A step below the time resolution cannot move t: it is integrated, and its
// length joins the backlog until the backlog moves t by a resolvable amount.
Placement placement_mode(DaeCallState& s, double tres) {
  if (!(s.h < tres)) return Placement::normal;
  s.time_backlog_new = s.time_backlog + s.h;
  return s.time_backlog_new >= tres ? Placement::accumulated : Placement::below_resolution;
}

// The time reached at 1/divisor of the attempt: its end (kStepEnd) or its
// mid-point (kStepMiddle).
double placed_time(const DaeCallState& s, double divisor) {
  switch (s.placement) {
    case Placement::normal:
      return s.t_old + s.h / divisor;
    case Placement::accumulated:
      return s.t_old + s.time_backlog_new / divisor;
    case Placement::below_resolution:
      break;
  }
  return s.t_old;
}

// The time up to which the attempt integrates: t_old, the backlog of steps
// not yet added to t, and the step. (Without a backlog this is the end of a
// normal step.)
double integrated_end(const DaeCallState& s) { return s.t_old + (s.time_backlog + s.h); }

// A target time no further than the look-ahead beyond the attempt's end, by
// the reported or the integrated time. Steps below the time resolution are
// compared by the span that remains to the target: absolute times cannot
// resolve them.
bool within_look_ahead(const DaeCallState& s, double target, double tres) {
  const double look_ahead = s.h * kLookAhead;
  if (target <= s.t + look_ahead) return true;
  if (s.h < tres) return (target - s.t_old) - s.time_backlog <= s.h + look_ahead;
  return target <= integrated_end(s) + look_ahead;
}

// A stop time is honoured only when t can move to it and the step to it is
// not below hmin; one nearer than that counts as reached: chasing it would
// take steps below the time resolution or below hmin.
bool stop_reachable(const DaeCallState& s, double stop, double tres) {
  return stop - s.t_old >= tres && (stop - s.t_old) - s.time_backlog >= s.settings.hmin;
}

// The attempt integrates exactly up to the target, the backlog included, and
// t becomes the target, so the state is integrated over the time it reports.
void land_on(DaeCallState& s, double target) {
  s.h = (target - s.t_old) - s.time_backlog;
  s.time_backlog_new = s.time_backlog + s.h;
  s.placement = Placement::accumulated;
  s.t = target;
}

// ---------------------------------------------------------------------------
// Model evaluation

bool residual_is_finite(const DaeCallState& s) {
  for (int j = 1; j <= s.settings.n; ++j) {
    if (!std::isfinite(s.caller.F[j])) return false;
  }
  return true;
}

// After an ordinary model call: any status other than 0, or a non-finite
// residual, is a model failure and is counted. A doubtful evaluation (2) is
// still used when the step cannot shrink further than 2*hmin.
bool evaluation_usable(DaeCallState& s) {
  const int status = *s.caller.status;
  const bool finite = residual_is_finite(s);
  if (status == DAE_STATUS_OK && finite) return true;
  ++s.caller.ip[IP_MODEL_FAILURES];
  ++s.caller.ip[IP_FAILED_ATTEMPTS];
  return status == DAE_STATUS_DOUBTFUL && finite && s.h <= kDoubtfulStepFactor * s.settings.hmin;
}

// After a difference call only status 1 (or a non-finite residual) fails.
bool difference_usable(DaeCallState& s) {
  if (*s.caller.status != DAE_STATUS_FAILED && residual_is_finite(s)) return true;
  ++s.caller.ip[IP_MODEL_FAILURES];
  ++s.caller.ip[IP_FAILED_ATTEMPTS];
  return false;
}

// The magnitude unknown i is measured against: the caller's scale |ye_i| at
// entry (for a differential unknown raised by the largest |y_i| accepted
// since), else its largest magnitude in the attempt, else 1.
double unknown_scale(const DaeCallState& s, int i) {
  const int m = s.settings.m;
  const double given = i <= m ? s.region.y_magnitude[i] : s.region.ye_algebraic[i - m];
  if (given > kTiny && std::isfinite(given)) return given;
  if (s.region.ymax[i] > kTiny) return s.region.ymax[i];
  return 1;
}

// The increment of unknown i: sqrt(conm14) relative to |y_i|. An unknown at 0,
// or so far below its scale that such an increment would be lost in the
// rounding of the residual, is moved by sqrt(conm14) times its scale instead.
double difference_increment(const DaeCallState& s, const double* y, int i) {
  const double scale = unknown_scale(s, i);
  if (std::fabs(y[i]) > s.sqrt_conm14 * scale) return std::fabs(y[i]) * s.sqrt_conm14;
  return scale * s.sqrt_conm14;
}

// Column i of dF/dy by forward differences, perturbing y_n first and y_1 last.
// The quotients go straight into the stage's copy of fy (and, at the end, into
// the caller's fy), so that a model that writes its Jacobians in the difference
// calls cannot overwrite columns already formed. F is restored afterwards.
bool difference_jacobian(DaeCallState& s, const StageRegions& st, double* y, double* yp, double t) {
  const int n = s.settings.n;
  double* F = s.caller.F;
  double* F_saved = s.region.F_saved;
  for (int j = 1; j <= n; ++j) F_saved[j] = F[j];
  bool ok = true;
  for (int i = n; i >= 1 && ok; --i) {
    const double y_saved = y[i];
    const double delta = difference_increment(s, y, i);
    y[i] += delta;
    call_model(s, y, yp, t, DAE_MODEL_DIFFERENCE);
    ok = difference_usable(s);
    if (ok) {
      for (int j = 1; j <= n; ++j) st.B[dae_col_major(n, j, i)] = (F[j] - F_saved[j]) / delta;
    }
    y[i] = y_saved;
  }
  for (int j = 1; j <= n; ++j) F[j] = F_saved[j];
  if (!ok) return false;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) s.caller.fy[layout::flat_index(j, i, n)] = st.B[dae_col_major(n, j, i)];
  }
  return true;
}

// One model call for a stage at (y, yp, t): Jacobians copied into the stage's
// regions (fy by differences when requested) and r = -F. False on a model failure.
bool evaluate_stage(DaeCallState& s, const StageRegions& st, double* y, double* yp, double t) {
  const int n = s.settings.n;
  call_model(s, y, yp, t, DAE_MODEL_ORDINARY);
  if (!evaluation_usable(s)) return false;
  dae_copy_column_major(s.caller.fyp, n, s.settings.m, st.A);
  if (s.settings.forward_differences) {
    if (!difference_jacobian(s, st, y, yp, t)) return false;
  } else {
    dae_copy_column_major(s.caller.fy, n, n, st.B);
  }
  for (int j = 1; j <= n; ++j) st.r[j] = -s.caller.F[j];
  return true;
}

// ---------------------------------------------------------------------------
// Iteration

// Derivative defects: zero when the discretisation relation holds.
void compute_defects(DaeCallState& s) {
  const WorkRegions& w = s.region;
  const double c = s.c;
  const double* yp = s.caller.yp;
  double* g = w.stage[0].g;
  for (int i = 1; i <= s.settings.m; ++i) {
    switch (s.method) {
      case Method::euler:
        g[i] = -(c * w.dy_sum[i] + yp[i]);
        break;
      case Method::trapezoidal:
        g[i] = -(c * w.dy_sum[i] + yp[i] + w.yp_old[i]);
        break;
      case Method::lobatto:
        g[i] = -(w.yp_old[i] / 2 + c * (kLobattoD2 * w.dy_sum_end[i] + kLobattoD1 * w.dy_sum[i]) + yp[i]);
        w.stage[1].g[i] = -(c * (kLobattoD4 * w.dy_sum_end[i] + kLobattoD3 * w.dy_sum[i]) + w.dyp_sum_end[i]);
        break;
    }
  }
}

NewtonStageMatrices stage_matrices(const StageRegions& st, int* perm) { return {st.A, st.B, perm}; }

NewtonStageVectors stage_vectors(const StageRegions& st) { return {st.r, st.g, st.gc, st.dy, st.dy, st.dyp}; }

// The outcome of a verdict that ends the iteration; iterate otherwise.
bool iteration_ends(NewtonVerdict verdict, NewtonOutcome& outcome) {
  if (verdict == NewtonVerdict::converged) outcome = NewtonOutcome::converged;
  if (verdict == NewtonVerdict::divergent) outcome = NewtonOutcome::divergent;
  return verdict != NewtonVerdict::iterate;
}

// Implicit Euler and the trapezoidal rule.
NewtonOutcome iterate_one_stage(DaeCallState& s) {
  const StageRegions& st = s.region.stage[0];
  NewtonOutcome outcome = NewtonOutcome::converged;
  for (;;) {
    compute_defects(s);
    if (!evaluate_stage(s, st, s.caller.y, s.caller.yp, s.t)) return NewtonOutcome::model_failure;
    if (iteration_ends(judge_iteration(s, kOneStage), outcome)) return outcome;

    keep_previous_corrections(s, kOneStage);
    const int result =
        dae_factor_solve_one_stage(s.settings.n, s.settings.m, s.c,
                                   stage_matrices(st, dae_newton_perm1(s.caller.ip, s.settings.n)), stage_vectors(st));
    ++s.caller.ip[IP_STEP_SOLVES];
    if (result != 0) return NewtonOutcome::singular;
    if (s.caller.ip[IP_STEP_SOLVES] > kMaxSolves) return NewtonOutcome::not_converged;
    filter_corrections(s, st, s.caller.y, s.caller.yp);
    apply_one_stage(s);
    make_relative(s, kOneStage);
  }
}

// The three-point method: mid-point stage in y, yp; end-point stage in ye, ype.
NewtonOutcome iterate_two_stage(DaeCallState& s) {
  const StageRegions& mid = s.region.stage[0];
  const StageRegions& end = s.region.stage[1];
  const int n = s.settings.n;
  const NewtonStageMatrices mid_matrices = stage_matrices(mid, dae_newton_perm1(s.caller.ip, n));
  const NewtonStageMatrices end_matrices = stage_matrices(end, dae_newton_perm2(s.caller.ip, n));
  const NewtonCoupling coupling{s.region.L21, s.region.U12};
  NewtonOutcome outcome = NewtonOutcome::converged;
  for (;;) {
    compute_defects(s);
    if (!evaluate_stage(s, mid, s.caller.y, s.caller.yp, s.t_mid)) return NewtonOutcome::model_failure;
    if (!evaluate_stage(s, end, s.caller.ye, s.caller.ype, s.t)) return NewtonOutcome::model_failure;
    if (iteration_ends(judge_iteration(s, kTwoStages), outcome)) return outcome;

    keep_previous_corrections(s, kTwoStages);
    const int result = dae_factor_solve_three_point(n, s.settings.m, s.c, mid_matrices, end_matrices, coupling,
                                                    stage_vectors(mid), stage_vectors(end));
    ++s.caller.ip[IP_STEP_SOLVES];
    if (result != 0) return NewtonOutcome::singular;
    if (s.caller.ip[IP_STEP_SOLVES] > kMaxSolves) return NewtonOutcome::not_converged;
    filter_corrections(s, mid, s.caller.y, s.caller.yp);
    filter_corrections(s, end, s.caller.ye, s.caller.ype);
    apply_two_stages(s);
    make_relative(s, kTwoStages);
  }
}

}  // namespace

bool place_step(DaeCallState& s) {
  const double tres = s.conm14 * std::fabs(s.t_old);
  s.placement = placement_mode(s, tres);
  s.t = placed_time(s, kStepEnd);
  const double stop = *s.caller.tstop;
  if (within_look_ahead(s, stop, tres) && stop_reachable(s, stop, tres)) {
    land_on(s, stop);
    s.stop_flag = true;
  }
  if (within_look_ahead(s, s.settings.tend, tres)) {
    land_on(s, s.settings.tend);
    s.last_step = true;
  }
  s.t_mid = placed_time(s, kStepMiddle);
  // Far from t = 0 the rounding of t can leave the integration at tend before
  // t reaches it; no step can then end there.
  return s.h > 0;
}

void reset_attempt(DaeCallState& s) {
  s.fdz = false;
  s.r0 = 0;
  s.dymax = 0;
  s.quick_drop = false;
  s.slow_count = 0;
  s.caller.ip[IP_STEP_SOLVES] = 0;
  *s.caller.tstop = kNoStopFactor * s.settings.tend;
  for (int i = 1; i <= s.settings.n; ++i) s.region.ymax[i] = std::fabs(s.caller.y[i]);
  for (int i = 1; i <= s.settings.m; ++i) {
    s.region.dy_sum[i] = 0;
    s.region.dy_sum_end[i] = 0;
    s.region.dyp_sum_end[i] = 0;
  }
  s.c = method_coefficient(s.method, s.h);
}

NewtonOutcome iterate(DaeCallState& s) {
  return s.method == Method::lobatto ? iterate_two_stage(s) : iterate_one_stage(s);
}

void add_solves(DaeCallState& s) {
  int* ip = s.caller.ip;
  ip[IP_TOTAL_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::trapezoidal) ip[IP_TRAPEZOIDAL_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::lobatto) ip[IP_LOBATTO_SOLVES] += ip[IP_STEP_SOLVES];
}

void call_model(DaeCallState& s, double* y, double* yp, double t, int kind) {
  const CoreArrays& c = s.caller;
  *c.status = DAE_STATUS_OK;
  s.model.function(s.model.context, y, yp, c.F, c.fyp, c.fy, s.settings.n, s.settings.m, t, s.h, kind, c.status, c.ip);
}

void call_output(DaeCallState& s, int kind) {
  const CoreArrays& c = s.caller;
  const double t0 = kind == DAE_OUTPUT_ERROR ? s.t : s.settings.t0;
  const OutputReply reply = s.output.function(s.output.context, c.y, c.yp, s.settings.n, s.settings.m, s.t, t0,
                                              s.settings.tend, s.h, c.tstop, kind, c.ip);
  if (kind != DAE_OUTPUT_ERROR && reply == OutputReply::stop) s.stop_requested = true;
}

}  // namespace dae
