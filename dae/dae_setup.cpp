// Set-up and start-up of DAE_Solver_01: the rounding level, the workspace,
// the first model call, and the start-up attempts that find consistent
// initial derivatives and algebraic values.
//
//   set-up      rounding_level, lay_out_work, initialise, clear_matrices
//   start-up    start_up, restore_start_values, start_up_measure,
//               finish_start_up
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"
#include "layout/flat_index.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace dae {
namespace {

// The rounding-level iteration solves x*x = kRoundingSquare.
constexpr double kRoundingSquare = 2;

// fyp (n x m) and fy (n x n), once before the first model call: entries a
// model never writes stay 0.
void clear_matrices(DaeCallState& s) {
  const int n = s.settings.n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= s.settings.m; ++j) s.caller.fyp[layout::flat_index(i, j, n)] = 0;
    for (int j = 1; j <= n; ++j) s.caller.fy[layout::flat_index(i, j, n)] = 0;
  }
}

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
    for (int k = 1; k <= kHistoryLength; ++k) w.history[k][i] = s.caller.y[i];
  }
  s.growth_count = {};
  s.time_backlog = 0;
  s.time_drift = 0;
  copy_vector(s.caller.ye, s.caller.y, n);
  copy_vector(w.y_old, s.caller.y, n);
  copy_vector(s.caller.ype, s.caller.yp, m);
  copy_vector(w.yp_old, s.caller.yp, m);
  copy_vector(w.yp_older, s.caller.yp, m);
  copy_vector(w.yp_oldest, s.caller.yp, m);
  s.interval = {0, s.h, s.h, s.h, s.h};
  s.h_prev = s.h;
  s.t_old = s.settings.t0;
  call_output(s, DAE_OUTPUT_FIRST);

  s.stop_flag = false;
  s.last_step = false;
  if (s.h < s.settings.hmin) s.h = s.settings.hmin;
  if (s.h > s.settings.hmax) s.h = s.settings.hmax;
  s.method = s.settings.nm == DAE_NM_AUTOMATIC ? Method::lobatto : static_cast<Method>(s.settings.nm - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

double rounding_level() {
  double x = kRoundingStart;
  double r = 0;
  double d = 0;
  for (int k = 0; k < kRoundingSweeps; ++k) {
    r = x * x - kRoundingSquare;
    d = kRoundingDamping * r;
    x = x + d;
  }
  return (std::fabs(r) + std::fabs(d)) * kRoundingScale;
}

WorkRegions lay_out_work(double* work, int n, int m) {
  WorkRegions w{};
  long long next = kEstimateSlots;
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
  for (int k = 1; k <= kHistoryLength; ++k) w.history[k] = take(m);
  w.y_magnitude = take(m);
  w.dy_sum = take(m);
  w.dy_sum_end = take(m);
  w.dyp_sum_end = take(m);
  w.yp_start = take(m);
  w.kept_yp = take(m);
  w.ye_algebraic = take(n - m);
  w.used = next;
  return w;
}

bool initialise(DaeCallState& s) {
  const int n = s.settings.n;
  const int m = s.settings.m;
  const long long need = dae_work_need(n, m);
  for (long long k = 1; k <= need; ++k) s.work[k] = 0;
  s.region = lay_out_work(s.work.data(), n, m);
  for (int k = 1; k <= cleared_ip_count(n, m); ++k) s.caller.ip[k] = 0;
  s.h = s.settings.hmin;
  if (s.settings.init == DAE_INIT_COMPUTE) {
    for (int i = m + 1; i <= n; ++i) s.caller.y[i] = 0;
    for (int i = 1; i <= m; ++i) s.caller.yp[i] = 0;
  }
  clear_matrices(s);
  call_model(s, s.caller.y, s.caller.yp, s.settings.t0, DAE_MODEL_FIRST);
  if (*s.caller.status == DAE_STATUS_FAILED) {
    // The step is still hmin: the failure cannot be retried with a smaller one.
    ++s.caller.ip[IP_MODEL_FAILURES];
    ++s.caller.ip[IP_FAILED_ATTEMPTS];
    s.ier = DAE_IER_STEP_FAILED;
    return false;
  }
  copy_vector(s.region.y_start, s.caller.y, n);
  copy_vector(s.region.yp_start, s.caller.yp, m);
  // The caller's magnitude scales, already during the start-up, where only
  // difference increments read them (ye becomes stage storage later).
  for (int i = 1; i <= m; ++i) s.region.y_magnitude[i] = std::fabs(s.caller.ye[i]);
  for (int i = m + 1; i <= n; ++i) s.region.ye_algebraic[i - m] = std::fabs(s.caller.ye[i]);
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
      s.ier = DAE_IER_STEP_FAILED;
      return false;
    }
    restore_start_values(s);
    reset_attempt(s);
    const NewtonOutcome outcome = iterate(s);
    if (outcome == NewtonOutcome::singular) {
      s.ier = DAE_IER_SINGULAR;
      return false;
    }
    if (outcome != NewtonOutcome::converged) {
      // The start-up runs at h <= hmin: a failure cannot be retried.
      count_failure(s, outcome);
      s.ier = DAE_IER_STEP_FAILED;
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

}  // namespace dae
