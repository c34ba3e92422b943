// One step attempt of DAE_Solver_01: placement of the step and the full
// Newton iteration of the current method.
//
//   attempt set-up      place_step, reset_attempt, method_coefficient
//   iteration           iterate, iterate_one_stage, iterate_two_stage,
//                       stage_matrices, stage_vectors
//   model evaluation    evaluate_stage, evaluation_usable, difference_usable,
//                       difference_jacobian, residual_is_finite
//   defects and tests   compute_defects, newton_verdict, correction_ratio
//   corrections         keep_previous_corrections, filter_corrections,
//                       apply_one_stage, apply_two_stages, make_relative
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"
#include "dae/newton_linalg.h"

namespace dae {
namespace {

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
  return status == DAE_STATUS_DOUBTFUL && finite && s.h <= 2 * s.settings.hmin;
}

// After a difference call only status 1 (or a non-finite residual) fails.
bool difference_usable(DaeCallState& s) {
  if (*s.caller.status != DAE_STATUS_FAILED && residual_is_finite(s)) return true;
  ++s.caller.ip[IP_MODEL_FAILURES];
  ++s.caller.ip[IP_FAILED_ATTEMPTS];
  return false;
}

// Column i of dF/dy by forward differences, perturbing y_n first and y_1 last.
// The quotients go straight into the stage's copy of fy (and, at the end, into
// the caller's fy), so that a model that writes its Jacobians in the difference
// calls cannot overwrite columns already formed. F is restored afterwards.
bool difference_jacobian(DaeCallState& s, const StageRegions& st, double* y, double* yp, double t) {
  const int n = s.settings.n;
  double* F = s.caller.F;
  double* f_save = s.region.F_saved;
  for (int j = 1; j <= n; ++j) f_save[j] = F[j];
  bool ok = true;
  for (int i = n; i >= 1 && ok; --i) {
    const double y_saved = y[i];
    const double delta = std::fabs(y[i]) > kTiny ? std::fabs(y[i]) * s.sqrt_conm14 : kTiny;
    y[i] += delta;
    *s.caller.status = DAE_STATUS_OK;
    s.caller.model(y, yp, F, s.caller.fyp, s.caller.fy, n, s.settings.m, t, s.h, DAE_MODEL_DIFFERENCE, s.caller.status, s.caller.ip);
    ok = difference_usable(s);
    if (ok) {
      for (int j = 1; j <= n; ++j) st.B[dae_col_major(n, j, i)] = (F[j] - f_save[j]) / delta;
    }
    y[i] = y_saved;
  }
  for (int j = 1; j <= n; ++j) F[j] = f_save[j];
  if (!ok) return false;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) s.caller.fy[j * n + i] = st.B[dae_col_major(n, j, i)];
  }
  return true;
}

// One model call for a stage at (y, yp, t): Jacobians copied into the stage's
// regions (fy by differences when requested) and r = -F. False on a model failure.
bool evaluate_stage(DaeCallState& s, const StageRegions& st, double* y, double* yp, double t) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  *s.caller.status = DAE_STATUS_OK;
  s.caller.model(y, yp, s.caller.F, s.caller.fyp, s.caller.fy, n, m, t, s.h, DAE_MODEL_ORDINARY, s.caller.status, s.caller.ip);
  if (!evaluation_usable(s)) return false;
  dae_copy_column_major(s.caller.fyp, n, m, st.A);
  if (s.forward_differences) {
    if (!difference_jacobian(s, st, y, yp, t)) return false;
  } else {
    dae_copy_column_major(s.caller.fy, n, n, st.B);
  }
  for (int j = 1; j <= n; ++j) st.r[j] = -s.caller.F[j];
  return true;
}

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

// Largest ratio, either way round, between the relative corrections of the
// last two solves; at least 1.
double correction_ratio(const DaeCallState& s, int stages) {
  double q = 1;
  for (int k = 0; k < stages; ++k) {
    const StageRegions& st = s.region.stage[k];
    for (int i = 1; i <= s.settings.n; ++i) {
      const double d = std::fabs(st.dy[i]);
      const double d_prev = st.dy_prev[i];
      if (d > kTiny) {
        const double ratio = d_prev / d;
        if (ratio > q) q = ratio;
      }
      if (d_prev > kTiny) {
        const double ratio = d / d_prev;
        if (ratio > q) q = ratio;
      }
    }
  }
  return q;
}

// Bookkeeping and convergence tests after the model calls of one iteration,
// in their fixed order.
NewtonVerdict newton_verdict(DaeCallState& s, int stages) {
  const int solves = s.caller.ip[IP_STEP_SOLVES];
  const bool one_stage = stages == 1;
  double r_largest = 0;
  double g_largest = 0;
  for (int k = 0; k < stages; ++k) {
    const StageRegions& st = s.region.stage[k];
    for (int j = 1; j <= s.settings.n; ++j) {
      const double r = std::fabs(st.r[j]);
      if (r > r_largest) r_largest = r;
    }
    for (int i = 1; i <= s.settings.m; ++i) {
      const double g = std::fabs(st.g[i]);
      if (g > g_largest) g_largest = g;
    }
  }
  if (solves < 2) {
    if (r_largest > s.r0) s.r0 = r_largest;
    if (g_largest > s.r0) s.r0 = g_largest;
  }
  const double rmax = g_largest > r_largest ? g_largest : r_largest;
  s.rF = r_largest;
  if (one_stage && s.r0 < kTiny) return NewtonVerdict::converged;

  double q = 1;
  double rho_F = 1;
  double rho_d = 1;
  if (solves != 0) {
    if (!one_stage && s.r0 < kTiny) return NewtonVerdict::converged;
    q = correction_ratio(s, stages);
    const double rho_r = s.r0 <= kTiny ? 0 : rmax / s.r0;
    if (rho_r < s.sqrt_conm14 && solves == 1) s.quick_drop = true;
    if (!(s.rF <= kTiny || s.rF_accepted < kTiny)) rho_F = s.rF_accepted / s.rF;
    if (!(s.dymax <= kTiny)) rho_d = s.dymax_accepted / s.dymax;
  }
  if (solves < 2) return NewtonVerdict::iterate;
  if (one_stage && s.damping_flag && solves == kMaxSolves) return NewtonVerdict::converged;
  if (q > kSettlingRatio) return NewtonVerdict::iterate;
  if (s.dymax < s.sqrt_conm14) return NewtonVerdict::converged;
  if (solves == 2) return NewtonVerdict::iterate;
  if (s.h > 4 * s.settings.hmin && (rho_d < kTiny || (rho_d < kSlowRatio && !s.quick_drop))) {
    return NewtonVerdict::divergent;
  }
  ++s.slow_count;
  if (s.slow_count >= 2) {
    s.fdz = true;
    if (s.quick_drop && (rho_d > kSlowRatio || rho_F > kSlowRatio)) s.fdz = false;
    return NewtonVerdict::converged;
  }
  return NewtonVerdict::iterate;
}

// Keeps |relative dy| and |dy'| of the last solve for the ratio test and the
// freeze rule of the next one.
void keep_previous_corrections(DaeCallState& s, int stages) {
  for (int k = 0; k < stages; ++k) {
    const StageRegions& st = s.region.stage[k];
    for (int i = 1; i <= s.settings.n; ++i) st.dy_prev[i] = std::fabs(st.dy[i]);
    for (int i = 1; i <= s.settings.m; ++i) st.dyp_prev[i] = std::fabs(st.dyp[i]);
  }
}

// Drops corrections below the rounding level of the stage's own values, and
// keeps a component frozen once its correction has been dropped (from the
// third solve on).
void filter_corrections(const DaeCallState& s, const StageRegions& st, const double* y,
                        const double* yp) {
  const bool freeze = s.caller.ip[IP_STEP_SOLVES] >= 3;
  for (int i = 1; i <= s.settings.n; ++i) {
    if (std::fabs(y[i]) > kTiny && std::fabs(st.dy[i]) / std::fabs(y[i]) <= s.conm14) st.dy[i] = 0;
    if (freeze && st.dy_prev[i] == 0) st.dy[i] = 0;
  }
  for (int i = 1; i <= s.settings.m; ++i) {
    if (std::fabs(yp[i]) > kTiny && std::fabs(st.dyp[i]) / std::fabs(yp[i]) <= s.conm14) {
      st.dyp[i] = 0;
    }
    if (freeze && st.dyp_prev[i] == 0) st.dyp[i] = 0;
  }
}

void apply_one_stage(DaeCallState& s) {
  const StageRegions& st = s.region.stage[0];
  double* y = s.caller.y;
  double* yp = s.caller.yp;
  for (int i = 1; i <= s.settings.n; ++i) {
    y[i] += st.dy[i];
    raise_to(s.region.ymax[i], std::fabs(y[i]));
    if (i <= s.settings.m) {
      yp[i] += st.dyp[i];
      s.region.dy_sum[i] += st.dy[i];
    }
  }
}

void apply_two_stages(DaeCallState& s) {
  const StageRegions& mid = s.region.stage[0];
  const StageRegions& end = s.region.stage[1];
  double* y = s.caller.y;
  double* yp = s.caller.yp;
  double* ye = s.caller.ye;
  double* ype = s.caller.ype;
  for (int i = 1; i <= s.settings.n; ++i) {
    y[i] += mid.dy[i];
    ye[i] += end.dy[i];
    raise_to(s.region.ymax[i], std::fabs(y[i]));
    raise_to(s.region.ymax[i], std::fabs(ye[i]));
    if (i <= s.settings.m) {
      yp[i] += mid.dyp[i];
      ype[i] += end.dyp[i];
      s.region.dy_sum[i] += mid.dy[i];
      s.region.dy_sum_end[i] += end.dy[i];
      s.region.dyp_sum_end[i] += end.dyp[i];
    }
  }
}

// Corrections relative to ymax, rounding-level ones set to 0; dymax over all stages.
void make_relative(DaeCallState& s, int stages) {
  s.dymax = 0;
  for (int k = 0; k < stages; ++k) {
    double* dy = s.region.stage[k].dy;
    for (int i = 1; i <= s.settings.n; ++i) {
      if (s.region.ymax[i] > kTiny) dy[i] = dy[i] / s.region.ymax[i];
      if (std::fabs(dy[i]) < s.conm14) dy[i] = 0;
      raise_to(s.dymax, std::fabs(dy[i]));
    }
  }
}

NewtonStageMatrices stage_matrices(const StageRegions& st, int* perm) { return {st.A, st.B, perm}; }

NewtonStageVectors stage_vectors(const StageRegions& st) {
  return {st.r, st.g, st.gc, st.dy, st.dy, st.dyp};
}

// Implicit Euler and the trapezoidal rule.
NewtonOutcome iterate_one_stage(DaeCallState& s) {
  const StageRegions& st = s.region.stage[0];
  for (;;) {
    compute_defects(s);
    if (!evaluate_stage(s, st, s.caller.y, s.caller.yp, s.t)) return NewtonOutcome::model_failure;
    const NewtonVerdict verdict = newton_verdict(s, 1);
    if (verdict == NewtonVerdict::converged) return NewtonOutcome::converged;
    if (verdict == NewtonVerdict::divergent) return NewtonOutcome::divergent;

    keep_previous_corrections(s, 1);
    const int result = dae_factor_solve_one_stage(
        s.settings.n, s.settings.m, s.c, stage_matrices(st, dae_newton_perm1(s.caller.ip, s.settings.n)), stage_vectors(st));
    ++s.caller.ip[IP_STEP_SOLVES];
    if (result != 0) return NewtonOutcome::singular;
    if (s.caller.ip[IP_STEP_SOLVES] > kMaxSolves) return NewtonOutcome::not_converged;
    filter_corrections(s, st, s.caller.y, s.caller.yp);
    apply_one_stage(s);
    make_relative(s, 1);
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
  for (;;) {
    compute_defects(s);
    if (!evaluate_stage(s, mid, s.caller.y, s.caller.yp, s.t_mid)) return NewtonOutcome::model_failure;
    if (!evaluate_stage(s, end, s.caller.ye, s.caller.ype, s.t)) return NewtonOutcome::model_failure;
    const NewtonVerdict verdict = newton_verdict(s, 2);
    if (verdict == NewtonVerdict::converged) return NewtonOutcome::converged;
    if (verdict == NewtonVerdict::divergent) return NewtonOutcome::divergent;

    keep_previous_corrections(s, 2);
    int result = dae_factor_three_point(n, s.settings.m, s.c, mid_matrices, end_matrices, coupling);
    if (result == 0) {
      result = dae_solve_three_point(n, s.settings.m, s.c, mid_matrices, end_matrices, coupling,
                                     stage_vectors(mid), stage_vectors(end));
    }
    ++s.caller.ip[IP_STEP_SOLVES];
    if (result != 0) return NewtonOutcome::singular;
    if (s.caller.ip[IP_STEP_SOLVES] > kMaxSolves) return NewtonOutcome::not_converged;
    filter_corrections(s, mid, s.caller.y, s.caller.yp);
    filter_corrections(s, end, s.caller.ye, s.caller.ype);
    apply_two_stages(s);
    make_relative(s, 2);
  }
}

}  // namespace

void place_step(DaeCallState& s) {
  const double tres = s.conm14 * s.t_old;
  if (s.h < tres) {
    s.time_backlog_new = s.time_backlog + s.h;
    s.placement = s.time_backlog_new >= tres ? Placement::accumulated : Placement::below_resolution;
  } else {
    s.placement = Placement::normal;
  }
  switch (s.placement) {
    case Placement::normal:
      s.t = s.t_old + s.h;
      break;
    case Placement::accumulated:
      s.t = s.t_old + s.time_backlog_new;
      break;
    case Placement::below_resolution:
      s.t = s.t_old;
      break;
  }
  // A stop time not later than the start of the step is ignored: it would
  // give a step of zero or negative length.
  const double stop = *s.caller.tstop;
  if (stop > s.t_old && stop <= s.t + s.h / 2) {
    if (std::fabs(s.t_old - stop) >= tres) {
      s.h = stop - s.t_old;
      s.t = s.t_old + s.h;
    }
    s.stop_flag = true;
  }
  if (s.settings.tend <= s.t + s.h / 2) {
    if (std::fabs(s.t_old - s.settings.tend) >= tres) {
      s.h = s.settings.tend - s.t_old;
      s.t = s.t_old + s.h;
    }
    s.last_step = true;
  }
  switch (s.placement) {
    case Placement::normal:
      s.t_mid = s.t_old + s.h / 2;
      break;
    case Placement::accumulated:
      s.t_mid = s.t_old + s.time_backlog_new / 2;
      break;
    case Placement::below_resolution:
      s.t_mid = s.t_old;
      break;
  }
}

void reset_attempt(DaeCallState& s) {
  s.fdz = false;
  s.r0 = 0;
  s.dymax = 0;
  s.quick_drop = false;
  s.slow_count = 0;
  s.caller.ip[IP_STEP_SOLVES] = 0;
  *s.caller.tstop = 2 * s.settings.tend;
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

}  // namespace dae
