// Error control of DAE_Solver_01: the error estimate from the history of past
// values, the error test, and the acceptance of a step with the choice of the
// next step size and method.
//
//   error estimate   estimate_history_errors, estimate_error, method_estimate
//   error test       error_test, halve_unless_at_hmin, new_values_finite
//   acceptance       accept_step, accept_euler, accept_trapezoidal,
//                    accept_lobatto, update_magnitudes, shift_history,
//                    remember_iteration_end
//   time             update_backlog, step_time_residue
//   growth           grow_euler, apply_growth_rule, band_bound
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace dae {
namespace {

// ---------------------------------------------------------------------------
// Error test

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

// Like any failure at hmin: halving again could shrink h without end, so the
// run ends there with ier = 7.
ErrorVerdict halve_unless_at_hmin(DaeCallState& s) {
  if (s.h > s.settings.hmin) return ErrorVerdict::halve;
  s.ier = DAE_IER_STEP_FAILED;
  return ErrorVerdict::fail;
}

// ---------------------------------------------------------------------------
// Growth

// eps/divisor of band j.
double band_bound(const DaeCallState& s, const GrowthBands& bands, int j) { return s.settings.eps / bands.divisor[j]; }

// Implicit Euler grows by the factor of the smallest band the estimate falls in.
void grow_euler(DaeCallState& s, double e) {
  for (int j = 0; j < kEulerBands.levels && e <= band_bound(s, kEulerBands, j); ++j) {
    s.h_next = kEulerBands.factor[j] * s.h;
  }
}

// Inside a band the step grows at once after a step whose size had changed,
// otherwise on every third step of unchanged size; an error below
// sqrt(conm14) in the best band doubles it at once.
void apply_growth_rule(DaeCallState& s, double e, const GrowthBands& bands) {
  std::array<int, kMaxGrowthBands + 1>& c = s.growth_count;
  const int k = bands.levels;
  const bool unchanged = s.h_prev == s.h;
  if (e > band_bound(s, bands, 0)) {
    for (int j = 1; j <= k; ++j) c[j] = 0;
    return;
  }
  if (s.stop_flag) return;
  for (int j = 1; j < k; ++j) {
    const double lower = band_bound(s, bands, j);
    if (unchanged && e > lower) ++c[j];
    const bool applies = !unchanged || c[j] > kUnchangedStepsToGrow || e <= lower;
    if (!applies) return;
    if (e > lower) {
      c[j] = 0;
      s.h_next = bands.factor[j - 1] * s.h;
      return;
    }
  }
  if (e < s.sqrt_conm14) c[k] = kUnchangedStepsToGrow + 1;
  if (!unchanged || ++c[k] > kUnchangedStepsToGrow) {
    c[k] = 0;
    s.h_next = bands.factor[k - 1] * s.h;
  }
}

// ---------------------------------------------------------------------------
// Acceptance

// Running maxima of |y_i| over accepted points.
void update_magnitudes(DaeCallState& s) {
  for (int i = 1; i <= s.settings.m; ++i) raise_to(s.region.y_magnitude[i], std::fabs(s.region.y_old[i]));
}

void accept_euler(DaeCallState& s) {
  copy_vector(s.region.y_old, s.caller.y, s.settings.n);
  copy_vector(s.region.yp_old, s.caller.yp, s.settings.m);
  update_magnitudes(s);
  ++s.caller.ip[IP_ACCEPTED_STEPS];
  call_output(s, DAE_OUTPUT_STEP);
  remember_iteration_end(s);
  if (!s.stop_flag) grow_euler(s, s.ee1());
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
  call_output(s, DAE_OUTPUT_STEP);
  apply_growth_rule(s, s.ee2(), kTrapezoidalBands);
  if (s.ee2() >= s.settings.eps / kToLobattoBelow) s.method = Method::lobatto;
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
  call_output(s, DAE_OUTPUT_STEP);
  apply_growth_rule(s, s.ee3(), kLobattoBands);
  if (s.ee2() < s.settings.eps / kToTrapezoidalBelow) s.method = Method::trapezoidal;
}

// Integrated minus reported time of the attempt: what rounding took from (or
// added to) the move of t. None while t stays: the backlog holds the step.
double step_time_residue(const DaeCallState& s, double taken) {
  switch (s.placement) {
    case Placement::normal:
      return taken - (s.t - s.t_old);
    case Placement::accumulated:
      return s.time_backlog_new - (s.t - s.t_old);
    case Placement::below_resolution:
      break;
  }
  return 0;
}

// The backlog is what the state is integrated beyond t. The rounding of t is
// summed apart; once it exceeds eps*(tend - t0) it joins the backlog, so that
// the step that lands on tend integrates exactly up to it, unless the
// integration is already that close to tend: the last step then lands
// without it, within that bound. (Runs whose rounding stays below the bound
// keep the backlog exactly as before.)
void update_backlog(DaeCallState& s, double taken) {
  s.time_drift += step_time_residue(s, taken);
  if (s.placement == Placement::below_resolution) s.time_backlog = s.time_backlog_new;
  if (s.placement == Placement::accumulated) s.time_backlog = 0;
  const double bound = s.settings.eps * (s.settings.tend - s.settings.t0);
  const double left = (s.settings.tend - s.t) - (s.time_backlog + s.time_drift);
  if (std::fabs(s.time_drift) > bound && left > 0) {
    s.time_backlog += s.time_drift;
    s.time_drift = 0;
  }
}

// Y5 = Y4, ..., Y1 = Y0 (the accepted values, now y_old); H1 = the step taken.
void shift_history(DaeCallState& s, double taken) {
  WorkRegions& w = s.region;
  for (int k = kHistoryLength; k >= 2; --k) copy_vector(w.history[k], w.history[k - 1], s.settings.m);
  copy_vector(w.history[1], w.y_old, s.settings.m);
  for (int k = kHistoryLength - 1; k >= 2; --k) s.interval[k] = s.interval[k - 1];
  s.interval[1] = taken;
}

}  // namespace

// ---------------------------------------------------------------------------
// Error estimate and test

ErrorEstimates estimate_history_errors(int m, const double* Y0, const std::array<double*, kHistoryLength + 1>& Y,
                                       const std::array<double, kHistoryLength>& H, double h, const double* ymax,
                                       const double* M) {
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
  return {kEe1Weight * f_largest, kEe2Weight * g_largest, kEe3Weight * l_largest};
}

void estimate_error(DaeCallState& s) {
  const double* Y0 = s.method == Method::lobatto ? s.caller.ye : s.caller.y;
  const ErrorEstimates e =
      estimate_history_errors(s.settings.m, Y0, s.region.history, s.interval, s.h, s.region.ymax, s.region.y_magnitude);
  s.ee1() = e.ee1;
  s.ee2() = e.ee2;
  s.ee3() = e.ee3;
}

ErrorVerdict error_test(DaeCallState& s) {
  int* ip = s.caller.ip;
  s.error_test_failed = false;
  const double ee1 = s.ee1();
  if (s.fdz && s.settings.eps <= kFdzEpsLimit && ee1 > s.sqrt_conm14) {
    ++ip[IP_SLOW_REJECTIONS];
    return halve_unless_at_hmin(s);
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
    return halve_unless_at_hmin(s);
  }
  if (e > s.settings.eps) {
    ++ip[IP_ERROR_TEST_FAILURES];
    if (s.h > kSmallStepFactor * s.settings.hmin) return ErrorVerdict::halve;
    s.error_test_failed = true;  // accepted all the same: h cannot be halved further
  }
  return ErrorVerdict::pass;
}

void remember_iteration_end(DaeCallState& s) {
  s.rF_accepted = s.rF;
  s.dymax_accepted = s.dymax;
}

// ---------------------------------------------------------------------------
// Acceptance

bool accept_step(DaeCallState& s) {
  s.h_next = s.h;
  ++s.accepted_steps;
  if (s.error_test_failed) ++s.accepted_error_failed;
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
  update_backlog(s, taken);
  s.t_old = s.t;
  s.stop_flag = false;
  if (s.last_step) {
    s.ier = DAE_IER_OK;
    return true;
  }
  return false;
}

}  // namespace dae
