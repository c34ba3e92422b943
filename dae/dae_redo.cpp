// The two ways DAE_Solver_01 redoes a step: damping, an implicit-Euler redo of
// a step whose derivatives oscillate, and halving, the retry of a rejected or
// failed attempt with h/2 from the last accepted point.
//
//   damping     derivatives_oscillate, sign_change, begin_damping,
//               finish_damping
//   failure     count_failure, fail_attempt
//   halving     halve_step, resample_history
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"

namespace dae {
namespace {

// A sign change between neighbouring derivative values, counted only when
// their relative jump reaches the rounding level.
bool sign_change(double a, double b, double conm14) {
  const double larger = std::fabs(a) > std::fabs(b) ? std::fabs(a) : std::fabs(b);
  if (larger <= kTiny) return false;
  return (a < 0) != (b < 0) && std::fabs(a - b) / larger >= conm14;
}

// The derivative component damped by the redo: it changed sign at every pair.
bool damped(const DaeCallState& s, int i) { return s.caller.ip[IP_SIGN_CHANGES + i] == kOscillationPairs; }

}  // namespace

// ---------------------------------------------------------------------------
// Damping

bool derivatives_oscillate(DaeCallState& s) {
  const WorkRegions& w = s.region;
  const bool trapezoidal = s.method == Method::trapezoidal;
  s.damping_flag = false;
  bool oscillating = false;
  for (int i = 1; i <= s.settings.m; ++i) {
    // The latest derivative values, oldest to newest.
    const std::array<double, kOscillationPairs + 1> d =
        trapezoidal ? std::array{w.yp_oldest[i], w.yp_older[i], w.yp_old[i], s.caller.yp[i]}
                    : std::array{w.yp_oldest[i], w.yp_old[i], s.caller.yp[i], s.caller.ype[i]};
    int changes = 0;
    for (int k = 0; k < kOscillationPairs; ++k) {
      if (sign_change(d[k], d[k + 1], s.conm14)) ++changes;
    }
    s.caller.ip[IP_SIGN_CHANGES + i] = changes;
    if (damped(s, i)) oscillating = true;
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
      if (damped(s, i)) w.kept_yp[i] = s.caller.yp[i];
    }
    copy_vector(s.caller.y, w.kept_y, s.settings.n);
    copy_vector(s.caller.yp, w.kept_yp, m);
  } else {
    // The end-point derivative of a damped component becomes the implicit-Euler
    // one; the mid-point derivatives return, the damped components taking the
    // end-point value (they become the older derivatives at acceptance).
    s.method = Method::lobatto;
    for (int i = 1; i <= m; ++i) {
      if (damped(s, i)) {
        s.caller.ype[i] = s.caller.yp[i];
        w.kept_yp[i] = s.caller.ype[i];
      }
    }
    copy_vector(s.caller.yp, w.kept_yp, m);
  }
  s.damping = Damping::none;
}

// ---------------------------------------------------------------------------
// Failure and halving

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
    s.ier = DAE_IER_STEP_FAILED;
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
  s.h = s.h / 2;
  copy_vector(s.caller.y, s.region.y_old, n);
  copy_vector(s.caller.ye, s.region.y_old, n);
  copy_vector(s.caller.yp, s.region.yp_old, m);
  copy_vector(s.caller.ype, s.region.yp_old, m);
  ++s.caller.ip[IP_HALVINGS];
  add_solves(s);
  s.last_step = false;
  s.stop_flag = false;
  s.damping = Damping::none;
  resample_history(m, s.region.history, s.interval);
}

// Newton form of P backwards from the newest point T1 = 0 (T2 = -H1, T3 = T2 - H2,
// T4 = T3 - H3), with the divided differences over H4 .. H1:
//   P(x) = Y1 + (x - T1)*([1,2] + (x - T2)*([1,2,3] + (x - T3)*([1..4] + (x - T4)*[1..5]))).
void resample_history(int m, const std::array<double*, kHistoryLength + 1>& Y, std::array<double, kHistoryLength>& H) {
  const double H1 = H[1];
  const double H2 = H[2];
  const double H3 = H[3];
  const double H4 = H[4];
  // Offsets x - T1 .. x - T4 of the midpoint of H1 and of the midpoint of H2.
  const std::array<double, 4> at_mid1{-(H1 / 2), H1 / 2, H1 / 2 + H2, H1 / 2 + H2 + H3};
  const std::array<double, 4> at_mid2{-(H1 + H2 / 2), -(H2 / 2), H2 / 2, H2 / 2 + H3};
  auto evaluate = [](double y1, double d1, double d2, double d3, double d4, const std::array<double, 4>& w) {
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
