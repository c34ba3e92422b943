// Error control, step size and start-up of DAE_Solver_01: everything around
// the step attempts.
//
//   set-up              rounding_level, lay_out_work, initialise
//   start-up            start_up, restore_start_values, start_up_measure,
//                       finish_start_up
//   error estimate      estimate_history_errors, estimate_error, error_test,
//                       method_estimate, new_values_finite
//   oscillation         derivatives_oscillate, sign_change, begin_damping,
//                       finish_damping
//   acceptance          accept_step, accept_euler, accept_trapezoidal,
//                       accept_lobatto, apply_growth_rule, shift_history,
//                       update_magnitudes, output_step, remember_iteration_end
//   rejection           add_solves, count_failure, fail_attempt, halve_step,
//                       resample_history
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>
#include <cstdio>

#include "dae/dae_state.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace dae {
namespace {

// Running maxima of |y_i| over accepted points.
void update_magnitudes(DaeCallState& s) {
  for (int i = 1; i <= s.settings.m; ++i) raise_to(s.region.y_magnitude[i], std::fabs(s.region.y_old[i]));
}

void output_step(DaeCallState& s) {
  s.caller.output(s.caller.y, s.caller.yp, s.settings.n, s.settings.m, s.t, s.settings.t0, s.settings.tend, s.h, s.caller.tstop, DAE_OUTPUT_STEP,
             s.caller.ip);
}

// ---------------------------------------------------------------------------
// Start-up

// Each start-up attempt begins from the start values; the derivatives of the
// previous attempt are kept in ype for the comparison.
void restore_start_values(DaeCallState& s) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  copy_vector(s.caller.ype, s.caller.yp, m);
  copy_vector(s.caller.yp, s.region.yp_start, m);
  copy_vector(s.caller.y, s.region.y_start, n);
  if (s.settings.init == DAE_INIT_COMPUTE) {
    for (int i = 1; i <= m; ++i) s.caller.yp[i] = 0;
    for (int i = m + 1; i <= n; ++i) {
      s.caller.y[i] = 0;
      s.region.y_start[i] = 0;
    }
  }
}

// The differential unknowns go back to their start values with the settled
// derivatives and algebraic values; history and counters start afresh.
void finish_start_up(DaeCallState& s) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  WorkRegions& w = s.region;
  remember_iteration_end(s);
  for (int i = 1; i <= m; ++i) {
    w.y_magnitude[i] = std::fabs(s.caller.ye[i]);
    s.caller.y[i] = w.y_start[i];
    for (int k = 1; k <= 5; ++k) w.history[k][i] = s.caller.y[i];
  }
  s.growth_count = {};
  s.time_backlog = 0;
  copy_vector(s.caller.ye, s.caller.y, n);
  copy_vector(w.y_old, s.caller.y, n);
  copy_vector(s.caller.ype, s.caller.yp, m);
  copy_vector(w.yp_old, s.caller.yp, m);
  copy_vector(w.yp_older, s.caller.yp, m);
  copy_vector(w.yp_oldest, s.caller.yp, m);
  s.interval = {0, s.h, s.h, s.h, s.h};
  s.h_prev = s.h;
  s.t_old = s.settings.t0;
  s.caller.output(s.caller.y, s.caller.yp, n, m, s.settings.t0, s.settings.t0, s.settings.tend, s.h, s.caller.tstop, DAE_OUTPUT_FIRST, s.caller.ip);

  s.stop_flag = false;
  s.last_step = false;
  if (s.h < s.settings.hmin) s.h = s.settings.hmin;
  if (s.h > s.settings.hmax) s.h = s.settings.hmax;
  s.method = s.settings.nm == DAE_NM_AUTOMATIC ? Method::lobatto : static_cast<Method>(s.settings.nm - 1);
}

// ---------------------------------------------------------------------------
// Growth of the step

struct GrowthBands {
  int k;                          // levels
  std::array<double, 4> bound;    // b1 > b2 > ... > bk
  std::array<double, 4> factor;   // f1 .. fk
};

// Inside a band the step grows at once after a step whose size had changed,
// otherwise on every third step of unchanged size; an error below
// sqrt(conm14) in the best band doubles it at once.
void apply_growth_rule(DaeCallState& s, double e, const GrowthBands& bands) {
  std::array<int, 5>& c = s.growth_count;
  const int k = bands.k;
  const bool unchanged = s.h_prev == s.h;
  if (e > bands.bound[0]) {
    for (int j = 1; j <= k; ++j) c[j] = 0;
    return;
  }
  if (s.stop_flag) return;
  for (int j = 1; j < k; ++j) {
    const double lower = bands.bound[j];
    if (unchanged && e > lower) ++c[j];
    const bool applies = !unchanged || c[j] > 2 || e <= lower;
    if (!applies) return;
    if (e > lower) {
      c[j] = 0;
      s.h_next = bands.factor[j - 1] * s.h;
      return;
    }
  }
  if (e < s.sqrt_conm14) c[k] = 3;
  if (!unchanged || ++c[k] > 2) {
    c[k] = 0;
    s.h_next = bands.factor[k - 1] * s.h;
  }
}

void accept_euler(DaeCallState& s) {
  copy_vector(s.region.y_old, s.caller.y, s.settings.n);
  copy_vector(s.region.yp_old, s.caller.yp, s.settings.m);
  update_magnitudes(s);
  ++s.caller.ip[IP_ACCEPTED_STEPS];
  output_step(s);
  remember_iteration_end(s);
  if (s.stop_flag) return;
  const double e = s.ee1();
  const double eps = s.settings.eps;
  if (e <= eps / 4) {
    s.h_next = 1.2 * s.h;
    if (e <= eps / 8) {
      s.h_next = 1.5 * s.h;
      if (e <= eps / 16) s.h_next = 2 * s.h;
    }
  }
}

void accept_trapezoidal(DaeCallState& s) {
  WorkRegions& w = s.region;
  const int m = s.settings.m;
  copy_vector(s.caller.ye, s.caller.y, s.settings.n);
  copy_vector(w.y_old, s.caller.y, s.settings.n);
  copy_vector(s.caller.ype, s.caller.yp, m);
  copy_vector(w.yp_oldest, w.yp_older, m);
  copy_vector(w.yp_older, w.yp_old, m);
  copy_vector(w.yp_old, s.caller.yp, m);
  update_magnitudes(s);
  ++s.caller.ip[IP_ACCEPTED_STEPS];
  ++s.caller.ip[IP_TRAPEZOIDAL_STEPS];
  output_step(s);
  const double eps = s.settings.eps;
  apply_growth_rule(s, s.ee2(), {3, {eps / 8, eps / 16, eps / 32, 0}, {1.1, 1.3, 2, 0}});
  if (s.ee2() >= eps / 8) s.method = Method::lobatto;
}

void accept_lobatto(DaeCallState& s) {
  WorkRegions& w = s.region;
  const int m = s.settings.m;
  copy_vector(s.caller.y, s.caller.ye, s.settings.n);
  copy_vector(w.y_old, s.caller.ye, s.settings.n);
  copy_vector(w.yp_oldest, s.caller.yp, m);
  copy_vector(w.yp_older, s.caller.yp, m);
  copy_vector(s.caller.yp, s.caller.ype, m);
  copy_vector(w.yp_old, s.caller.ype, m);
  update_magnitudes(s);
  ++s.caller.ip[IP_ACCEPTED_STEPS];
  ++s.caller.ip[IP_LOBATTO_STEPS];
  output_step(s);
  const double eps = s.settings.eps;
  apply_growth_rule(s, s.ee3(), {4, {eps / 16, eps / 32, eps / 64, eps / 128}, {1.1, 1.2, 1.5, 2}});
  if (s.ee2() < eps / 128) s.method = Method::trapezoidal;
}

// Y5 = Y4, ..., Y1 = Y0 (the accepted values, now y_old); H1 = the step taken.
void shift_history(DaeCallState& s, double taken) {
  WorkRegions& w = s.region;
  for (int k = 5; k >= 2; --k) copy_vector(w.history[k], w.history[k - 1], s.settings.m);
  copy_vector(w.history[1], w.y_old, s.settings.m);
  s.interval[4] = s.interval[3];
  s.interval[3] = s.interval[2];
  s.interval[2] = s.interval[1];
  s.interval[1] = taken;
}

// ---------------------------------------------------------------------------
// Oscillation

// A sign change between neighbouring derivative values, counted only when
// their relative jump reaches the rounding level.
bool sign_change(double a, double b, double conm14) {
  const double larger = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
  if (larger <= kTiny) return false;
  return (a < 0) != (b < 0) && std::fabs(a - b) / larger >= conm14;
}

// Any value that is not a number or infinite in the attempt's new solution.
bool new_values_finite(const DaeCallState& s) {
  const bool lobatto = s.method == Method::lobatto;
  const double* y = lobatto ? s.caller.ye : s.caller.y;
  const double* yp = lobatto ? s.caller.ype : s.caller.yp;
  for (int i = 1; i <= s.settings.n; ++i) {
    if (!std::isfinite(y[i])) return false;
  }
  for (int i = 1; i <= s.settings.m; ++i) {
    if (!std::isfinite(yp[i])) return false;
  }
  return true;
}

double method_estimate(DaeCallState& s) {
  switch (s.method) {
    case Method::euler:
      return s.ee1();
    case Method::trapezoidal:
      return s.ee2();
    case Method::lobatto:
      break;
  }
  return s.ee3();
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

double rounding_level() {
  double x = 1.41;
  double r = 0;
  double d = 0;
  for (int k = 0; k < 20; ++k) {
    r = x * x - 2;
    d = -0.3 * r;
    x = x + d;
  }
  return (std::fabs(r) + std::fabs(d)) * 16 / 2;
}

WorkRegions lay_out_work(double* work, int n, int m) {
  WorkRegions w{};
  long long next = 3;  // work[1..3]: ee1, ee2, ee3
  // Each region occupies work[next + 1 .. next + len]; its base is work + next.
  auto take = [&](long long len) {
    double* base = work + next;
    next += len;
    return base;
  };
  const long long nn = static_cast<long long>(n) * n;
  const long long nm = static_cast<long long>(n) * m;
  for (StageRegions& st : w.stage) {
    st.A = take(nm);
    st.B = take(nn);
  }
  w.L21 = take(nn);
  w.U12 = take(nn);
  for (StageRegions& st : w.stage) {
    st.r = take(n);
    st.dy = take(n);
    st.dy_prev = take(n);
    st.g = take(m);
    st.gc = take(m);
    st.dyp = take(m);
    st.dyp_prev = take(m);
  }
  w.y_old = take(n);
  w.ymax = take(n);
  w.F_saved = take(n);
  w.y_start = take(n);
  w.kept_y = take(n);
  w.yp_old = take(m);
  w.yp_older = take(m);
  w.yp_oldest = take(m);
  w.history[0] = nullptr;
  for (int k = 1; k <= 5; ++k) w.history[k] = take(m);
  w.y_magnitude = take(m);
  w.dy_sum = take(m);
  w.dy_sum_end = take(m);
  w.dyp_sum_end = take(m);
  w.yp_start = take(m);
  w.kept_yp = take(m);
  w.used = next;
  return w;
}

bool initialise(DaeCallState& s) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  const long long need = dae_work_need(n, m);
  for (long long k = 1; k <= need; ++k) s.work[k] = 0;
  s.region = lay_out_work(s.work.data(), n, m);
  for (int k = 1; k <= 20 + 2 * n + m; ++k) s.caller.ip[k] = 0;
  s.h = s.settings.hmin;
  if (s.settings.init == DAE_INIT_COMPUTE) {
    for (int i = m + 1; i <= n; ++i) s.caller.y[i] = 0;
    for (int i = 1; i <= m; ++i) s.caller.yp[i] = 0;
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= m; ++j) s.caller.fyp[i * n + j] = 0;
    for (int j = 1; j <= n; ++j) s.caller.fy[i * n + j] = 0;
  }
  *s.caller.status = DAE_STATUS_OK;
  s.caller.model(s.caller.y, s.caller.yp, s.caller.F, s.caller.fyp, s.caller.fy, n, m, s.settings.t0, s.h, DAE_MODEL_FIRST, s.caller.status,
            s.caller.ip);
  if (*s.caller.status == DAE_STATUS_FAILED) {
    // The step is still hmin: the failure cannot be retried with a smaller one.
    ++s.caller.ip[IP_MODEL_FAILURES];
    ++s.caller.ip[IP_FAILED_ATTEMPTS];
    *s.caller.ier = DAE_IER_STEP_FAILED;
    return false;
  }
  copy_vector(s.region.y_start, s.caller.y, n);
  copy_vector(s.region.yp_start, s.caller.yp, m);
  s.method = Method::euler;
  return true;
}

// ---------------------------------------------------------------------------
// Start-up

double start_up_measure(int m, const double* yp, const double* yp_before) {
  double ee = 0;
  for (int i = 1; i <= m; ++i) {
    if (!(std::fabs(yp[i]) > kTiny)) continue;
    const double p = yp_before[i];
    const double rho = std::fabs(p / yp[i]);
    const double e = std::fabs((p - yp[i]) / yp[i]);
    bool power_of_h = false;
    double power = 1;
    for (int k = 1; k <= kMaxPowerOfTwo && !power_of_h; ++k) {
      power = power * 2;
      power_of_h = std::fabs(rho - power) < kPowerBand;
    }
    if (!power_of_h) raise_to(ee, e);
  }
  return ee;
}

bool start_up(DaeCallState& s) {
  for (int attempt = 1;; ++attempt) {
    if (attempt > kMaxStartupAttempts) {
      *s.caller.ier = DAE_IER_STEP_FAILED;
      return false;
    }
    restore_start_values(s);
    reset_attempt(s);
    const NewtonOutcome outcome = iterate(s);
    if (outcome == NewtonOutcome::singular) {
      *s.caller.ier = DAE_IER_SINGULAR;
      return false;
    }
    if (outcome != NewtonOutcome::converged) {
      // The start-up runs at h <= hmin: a failure cannot be retried.
      count_failure(s, outcome);
      *s.caller.ier = DAE_IER_STEP_FAILED;
      return false;
    }
    add_solves(s);
    const double ee = start_up_measure(s.settings.m, s.caller.yp, s.caller.ype);
    textout::out_printf(textout::diagnostics_stream(), kStartupLine, ee, s.h, s.caller.ip[IP_STEP_SOLVES]);
    s.h = s.h / 2;
    if (ee > kStartupSettled) continue;
    finish_start_up(s);
    return true;
  }
}

// ---------------------------------------------------------------------------
// Error estimate and test

ErrorEstimates estimate_history_errors(int m, const double* Y0, const std::array<double*, 6>& Y,
                                       const std::array<double, 5>& H, double h,
                                       const double* ymax, const double* M) {
  const double H1 = H[1];
  const double H2 = H[2];
  const double H3 = H[3];
  const double H4 = H[4];
  double f_largest = 0;
  double g_largest = 0;
  double l_largest = 0;
  for (int i = 1; i <= m; ++i) {
    const double E1 = (Y[4][i] - Y[5][i]) * h / H4;
    const double E2 = (Y[3][i] - Y[4][i]) * h / H3;
    const double E3 = (Y[2][i] - Y[3][i]) * h / H2;
    const double E4 = (Y[1][i] - Y[2][i]) * h / H1;
    const double E5 = (Y0[i] - Y[1][i]) * h / h;
    const double F1 = (E2 - E1) * h / (H4 + H3);
    const double F2 = (E3 - E2) * h / (H3 + H2);
    const double F3 = (E4 - E3) * h / (H2 + H1);
    const double F4 = (E5 - E4) * h / (H1 + h);
    const double G1 = (F2 - F1) * h / (H4 + H3 + H2);
    const double G2 = (F3 - F2) * h / (H3 + H2 + H1);
    const double G3 = (F4 - F3) * h / (H2 + H1 + h);
    const double K1 = (G2 - G1) * h / (H4 + H3 + H2 + H1);
    const double K2 = (G3 - G2) * h / (H3 + H2 + H1 + h);
    const double L1 = (K2 - K1) * h / (H4 + H3 + H2 + H1 + h);
    double f = std::fabs(F4);
    double g = std::fabs(G3);
    double l = std::fabs(L1);
    const double scale = ymax[i] > M[i] ? ymax[i] : M[i];
    if (scale > kTiny) {
      f = f / scale;
      g = g / scale;
      l = l / scale;
    }
    raise_to(f_largest, f);
    raise_to(g_largest, g);
    raise_to(l_largest, l);
  }
  return {2 * f_largest, 6 * g_largest, 64 * l_largest};
}

void estimate_error(DaeCallState& s) {
  const double* Y0 = s.method == Method::lobatto ? s.caller.ye : s.caller.y;
  const ErrorEstimates e = estimate_history_errors(s.settings.m, Y0, s.region.history, s.interval, s.h, s.region.ymax, s.region.y_magnitude);
  s.ee1() = e.ee1;
  s.ee2() = e.ee2;
  s.ee3() = e.ee3;
}

ErrorVerdict error_test(DaeCallState& s) {
  int* ip = s.caller.ip;
  const double ee1 = s.ee1();
  if (s.fdz && s.settings.eps <= kFdzEpsLimit && ee1 > s.sqrt_conm14) {
    ++ip[IP_SLOW_REJECTIONS];
    // Like any failure at hmin: halving again could shrink h without end.
    if (s.h <= s.settings.hmin) {
      *s.caller.ier = DAE_IER_STEP_FAILED;
      return ErrorVerdict::fail;
    }
    return ErrorVerdict::halve;
  }
  if (s.fdz) {
    ++ip[IP_FDZ_WARNINGS];
    textout::out_printf(textout::diagnostics_stream(), kFdzWarning, s.t, s.h, ee1);
  }
  const double e = method_estimate(s);
  // A non-finite estimate or solution never passes: the step is halved while
  // it can be, and the run ends at hmin.
  if (!std::isfinite(e) || !new_values_finite(s)) {
    ++ip[IP_ERROR_TEST_FAILURES];
    if (s.h <= s.settings.hmin) {
      *s.caller.ier = DAE_IER_STEP_FAILED;
      return ErrorVerdict::fail;
    }
    return ErrorVerdict::halve;
  }
  if (e > s.settings.eps) {
    ++ip[IP_ERROR_TEST_FAILURES];
    if (s.h > 4 * s.settings.hmin) return ErrorVerdict::halve;
  }
  return ErrorVerdict::pass;
}

void remember_iteration_end(DaeCallState& s) {
  s.rF_accepted = s.rF;
  s.dymax_accepted = s.dymax;
}

// ---------------------------------------------------------------------------
// Oscillation and damping

bool derivatives_oscillate(DaeCallState& s) {
  const WorkRegions& w = s.region;
  const bool trapezoidal = s.method == Method::trapezoidal;
  s.damping_flag = false;
  bool oscillating = false;
  for (int i = 1; i <= s.settings.m; ++i) {
    // Four derivative values, oldest to newest.
    const std::array<double, 4> d =
        trapezoidal ? std::array<double, 4>{w.yp_oldest[i], w.yp_older[i], w.yp_old[i], s.caller.yp[i]}
                    : std::array<double, 4>{w.yp_oldest[i], w.yp_old[i], s.caller.yp[i], s.caller.ype[i]};
    int changes = 0;
    for (int k = 0; k < 3; ++k) {
      if (sign_change(d[k], d[k + 1], s.conm14)) ++changes;
    }
    s.caller.ip[IP_SIGN_CHANGES + i] = changes;
    if (changes == 3) oscillating = true;
  }
  return oscillating;
}

void begin_damping(DaeCallState& s) {
  WorkRegions& w = s.region;
  s.damping_flag = true;
  ++s.caller.ip[IP_DAMPING_REDOS];
  if (s.method == Method::trapezoidal) {
    copy_vector(w.kept_y, s.caller.y, s.settings.n);
    copy_vector(w.kept_yp, s.caller.yp, s.settings.m);
    s.damping = Damping::trapezoidal;
  } else {
    copy_vector(w.kept_yp, s.caller.yp, s.settings.m);  // mid-point derivatives
    s.damping = Damping::lobatto;
  }
  copy_vector(s.caller.y, w.y_old, s.settings.n);
  copy_vector(s.caller.yp, w.yp_old, s.settings.m);
  s.redo_saved_solves = s.caller.ip[IP_STEP_SOLVES];
  s.method = Method::euler;
}

void finish_damping(DaeCallState& s) {
  WorkRegions& w = s.region;
  const int m = s.settings.m;
  s.caller.ip[IP_STEP_SOLVES] = s.redo_saved_solves;
  if (s.damping == Damping::trapezoidal) {
    s.method = Method::trapezoidal;
    for (int i = 1; i <= m; ++i) {
      if (s.caller.ip[IP_SIGN_CHANGES + i] == 3) w.kept_yp[i] = s.caller.yp[i];
    }
    copy_vector(s.caller.y, w.kept_y, s.settings.n);
    copy_vector(s.caller.yp, w.kept_yp, m);
  } else {
    // The end-point derivative of a damped component becomes the implicit-Euler
    // one; the mid-point derivatives return, the damped components taking the
    // end-point value (they become the older derivatives at acceptance).
    s.method = Method::lobatto;
    for (int i = 1; i <= m; ++i) {
      if (s.caller.ip[IP_SIGN_CHANGES + i] == 3) {
        s.caller.ype[i] = s.caller.yp[i];
        w.kept_yp[i] = s.caller.ype[i];
      }
    }
    copy_vector(s.caller.yp, w.kept_yp, m);
  }
  s.damping = Damping::none;
}

// ---------------------------------------------------------------------------
// Acceptance and rejection

bool accept_step(DaeCallState& s) {
  s.h_next = s.h;
  switch (s.method) {
    case Method::euler:
      accept_euler(s);
      break;
    case Method::trapezoidal:
      accept_trapezoidal(s);
      break;
    case Method::lobatto:
      accept_lobatto(s);
      break;
  }
  const double taken = s.h;
  s.h_prev = s.h;
  if (s.settings.nm != DAE_NM_AUTOMATIC) s.method = static_cast<Method>(s.settings.nm - 1);
  s.h = s.h_next < s.settings.hmax ? s.h_next : s.settings.hmax;
  if (s.h < s.settings.hmin) s.h = s.settings.hmin;
  shift_history(s, taken);
  s.t_old = s.t;
  if (s.placement == Placement::below_resolution) s.time_backlog = s.time_backlog_new;
  if (s.placement == Placement::accumulated) s.time_backlog = 0;
  s.stop_flag = false;
  if (s.last_step) {
    *s.caller.ier = DAE_IER_OK;
    return true;
  }
  return false;
}

void add_solves(DaeCallState& s) {
  int* ip = s.caller.ip;
  ip[IP_TOTAL_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::trapezoidal) ip[IP_TRAPEZOIDAL_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::lobatto) ip[IP_LOBATTO_SOLVES] += ip[IP_STEP_SOLVES];
}

void count_failure(DaeCallState& s, NewtonOutcome outcome) {
  int* ip = s.caller.ip;
  // Model failures were counted at the call (a doubtful one near hmin is
  // counted and used).
  if (outcome == NewtonOutcome::not_converged) {
    ++ip[IP_FAILED_ATTEMPTS];
    ++ip[IP_NOT_CONVERGED];
  }
  if (outcome == NewtonOutcome::divergent) {
    ++ip[IP_FAILED_ATTEMPTS];
    ++ip[IP_DIVERGENT];
  }
}

bool fail_attempt(DaeCallState& s, NewtonOutcome outcome) {
  count_failure(s, outcome);
  if (s.h <= s.settings.hmin) {
    *s.caller.ier = DAE_IER_STEP_FAILED;
    return false;
  }
  if (s.damping == Damping::trapezoidal) s.method = Method::trapezoidal;
  if (s.damping == Damping::lobatto) s.method = Method::lobatto;
  halve_step(s);
  return true;
}

void halve_step(DaeCallState& s) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  int* ip = s.caller.ip;
  s.h = s.h / 2;
  copy_vector(s.caller.y, s.region.y_old, n);
  copy_vector(s.caller.ye, s.region.y_old, n);
  copy_vector(s.caller.yp, s.region.yp_old, m);
  copy_vector(s.caller.ype, s.region.yp_old, m);
  ++ip[IP_HALVINGS];
  ip[IP_TOTAL_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::lobatto) ip[IP_LOBATTO_SOLVES] += ip[IP_STEP_SOLVES];
  if (s.method == Method::trapezoidal) ip[IP_TRAPEZOIDAL_SOLVES] += ip[IP_STEP_SOLVES];
  s.last_step = false;
  s.stop_flag = false;
  s.damping = Damping::none;
  resample_history(m, s.region.history, s.interval);
}

// Newton form of P backwards from the newest point T1 = 0 (T2 = -H1, T3 = T2 - H2,
// T4 = T3 - H3), with the divided differences over H4 .. H1:
//   P(x) = Y1 + (x - T1)*([1,2] + (x - T2)*([1,2,3] + (x - T3)*([1..4] + (x - T4)*[1..5]))).
void resample_history(int m, const std::array<double*, 6>& Y, std::array<double, 5>& H) {
  const double H1 = H[1];
  const double H2 = H[2];
  const double H3 = H[3];
  const double H4 = H[4];
  // Offsets x - T1 .. x - T4 of the midpoint of H1 and of the midpoint of H2.
  const std::array<double, 4> at_mid1{-(H1 / 2), H1 / 2, H1 / 2 + H2, H1 / 2 + H2 + H3};
  const std::array<double, 4> at_mid2{-(H1 + H2 / 2), -(H2 / 2), H2 / 2, H2 / 2 + H3};
  auto evaluate = [](double y1, double d1, double d2, double d3, double d4,
                     const std::array<double, 4>& w) {
    return y1 + w[0] * (d1 + w[1] * (d2 + w[2] * (d3 + w[3] * d4)));
  };
  for (int i = 1; i <= m; ++i) {
    const double Y1 = Y[1][i];
    const double Y2 = Y[2][i];
    const double Y3 = Y[3][i];
    const double Y4 = Y[4][i];
    const double Y5 = Y[5][i];
    const double e1 = (Y4 - Y5) / H4;
    const double e2 = (Y3 - Y4) / H3;
    const double e3 = (Y2 - Y3) / H2;
    const double e4 = (Y1 - Y2) / H1;
    const double f1 = (e2 - e1) / (H4 + H3);
    const double f2 = (e3 - e2) / (H3 + H2);
    const double f3 = (e4 - e3) / (H2 + H1);
    const double g1 = (f2 - f1) / (H4 + H3 + H2);
    const double g2 = (f3 - f2) / (H3 + H2 + H1);
    const double k1 = (g2 - g1) / (H4 + H3 + H2 + H1);
    const double mid1 = evaluate(Y1, e4, f3, g2, k1, at_mid1);
    const double mid2 = evaluate(Y1, e4, f3, g2, k1, at_mid2);
    Y[5][i] = Y3;
    Y[4][i] = mid2;
    Y[3][i] = Y2;
    Y[2][i] = mid1;
    Y[1][i] = Y1;
  }
  H[4] = H2 / 2;
  H[3] = H2 / 2;
  H[2] = H1 / 2;
  H[1] = H1 / 2;
}

}  // namespace dae
