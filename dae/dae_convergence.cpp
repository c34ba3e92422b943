// The Newton iteration's verdict and its corrections: what an iteration
// observed, what that means, and how the corrections of a solve are filtered,
// applied and measured.
//
//   verdict        judge_iteration, measure_iteration, decide_iteration
//   measures       largest_magnitudes, correction_ratio
//   tests          zero_residual, redo_exhausted, diverging, dropped_at_once
//   corrections    keep_previous_corrections, filter_corrections,
//                  apply_one_stage, apply_two_stages, make_relative
//
// Every formula is evaluated in the order written, so that each result is
// rounded the same way in every run.
#include <cmath>

#include "dae/dae_state.h"

namespace dae {
namespace {

struct Largest {
  double r;  // largest |r_j| over the stages
  double g;  // largest |g_i| over the stages
};

Largest largest_magnitudes(const DaeCallState& s, int stages) {
  Largest l{0, 0};
  for (int k = 0; k < stages; ++k) {
    const StageRegions& st = s.region.stage[k];
    for (int j = 1; j <= s.settings.n; ++j) raise_to(l.r, std::fabs(st.r[j]));
    for (int i = 1; i <= s.settings.m; ++i) raise_to(l.g, std::fabs(st.g[i]));
  }
  return l;
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
      const double shrink = d_prev / d;  // formed also for zeros, then not used
      const double growth = d / d_prev;
      if (d > kTiny && shrink > q) q = shrink;
      if (d_prev > kTiny && growth > q) q = growth;
    }
  }
  return q;
}

// Nothing left to correct (a one-stage attempt may stop before any solve).
bool zero_residual(const IterationMeasure& m) { return m.r0 < kTiny && (m.one_stage || m.solves != 0); }

// An implicit-Euler redo of an oscillating step is taken at its last solve.
bool redo_exhausted(const IterationMeasure& m) { return m.one_stage && m.damping_redo && m.solves == kMaxSolves; }

// The corrections grew far beyond those that ended the last accepted step
// (unless the residuals had dropped at once after the first solve).
bool diverging(const IterationMeasure& m) {
  return m.may_diverge && (m.rho_d < kTiny || (m.rho_d < kSlowRatio && !m.quick_drop));
}

// A slow end after residuals that dropped at once, with corrections or
// residuals still comparable to the last accepted step's: no fdz test.
bool dropped_at_once(const IterationMeasure& m) {
  return m.quick_drop && (m.rho_d > kSlowRatio || m.rho_F > kSlowRatio);
}

// The correction d of a value v, or 0 when d is below the rounding level of a
// nonzero v, or when a frozen component had its previous correction dropped.
// The quotient is formed even for v = 0 (and then not used), so that the
// loops run without branches.
inline double filtered(double d, double v, double level, bool frozen) {
  const double size = std::fabs(v);
  const double ratio = std::fabs(d) / size;
  // Bitwise & and | on the truths keep the loops free of branches.
  const bool negligible = (size > kTiny) & (ratio <= level);  // NOLINT(readability-implicit-bool-conversion)
  return negligible | frozen ? 0.0 : d;                       // NOLINT(readability-implicit-bool-conversion)
}

}  // namespace

IterationMeasure measure_iteration(const DaeCallState& s, int stages) {
  const int solves = s.caller.ip[IP_STEP_SOLVES];
  const Largest l = largest_magnitudes(s, stages);
  IterationMeasure m{};
  m.solves = solves;
  m.one_stage = stages == 1;
  m.r0 = s.r0;
  if (solves < kVerdictSolves) {
    raise_to(m.r0, l.r);
    raise_to(m.r0, l.g);
  }
  m.rF = l.r;
  m.quick_drop = s.quick_drop;
  m.q = 1;
  m.rho_F = 1;
  m.rho_d = 1;
  if (solves != 0) {
    const double rmax = l.g > l.r ? l.g : l.r;
    const double rho_r = m.r0 <= kTiny ? 0 : rmax / m.r0;
    if (rho_r < s.sqrt_conm14 && solves == 1) m.quick_drop = true;
    m.q = correction_ratio(s, stages);
    if (!(m.rF <= kTiny || s.rF_accepted < kTiny)) m.rho_F = s.rF_accepted / m.rF;
    if (!(s.dymax <= kTiny)) m.rho_d = s.dymax_accepted / s.dymax;
  }
  m.dymax = s.dymax;
  m.slow_count = s.slow_count;
  m.damping_redo = s.damping_flag;
  m.may_diverge = s.h > kSmallStepFactor * s.settings.hmin;
  m.converged_below = s.sqrt_conm14;
  return m;
}

// The tests in their fixed order: a zero residual; no verdict before two
// solves; a damped redo ends at its last solve; settling corrections iterate;
// corrections at the rounding level converge; divergence against the last
// accepted step; otherwise the iteration is slow.
NewtonDecision decide_iteration(const IterationMeasure& m) {
  if (zero_residual(m)) return NewtonDecision::converged;
  if (m.solves < kVerdictSolves) return NewtonDecision::iterate;
  if (redo_exhausted(m)) return NewtonDecision::converged;
  if (m.q > kSettlingRatio) return NewtonDecision::iterate;
  if (m.dymax < m.converged_below) return NewtonDecision::converged;
  if (m.solves == kVerdictSolves) return NewtonDecision::iterate;
  if (diverging(m)) return NewtonDecision::divergent;
  if (m.slow_count + 1 < kSlowIterations) return NewtonDecision::iterate_slow;
  return dropped_at_once(m) ? NewtonDecision::slow_quick_drop : NewtonDecision::slow;
}

NewtonVerdict judge_iteration(DaeCallState& s, int stages) {
  const IterationMeasure m = measure_iteration(s, stages);
  s.r0 = m.r0;
  s.rF = m.rF;
  s.quick_drop = m.quick_drop;
  switch (decide_iteration(m)) {
    case NewtonDecision::iterate:
      return NewtonVerdict::iterate;
    case NewtonDecision::iterate_slow:
      ++s.slow_count;
      return NewtonVerdict::iterate;
    case NewtonDecision::converged:
      return NewtonVerdict::converged;
    case NewtonDecision::slow:
      ++s.slow_count;
      s.fdz = true;
      return NewtonVerdict::converged;
    case NewtonDecision::slow_quick_drop:
      ++s.slow_count;
      s.fdz = false;
      return NewtonVerdict::converged;
    case NewtonDecision::divergent:
      break;
  }
  return NewtonVerdict::divergent;
}

void keep_previous_corrections(DaeCallState& s, int stages) {
  for (int k = 0; k < stages; ++k) {
    const StageRegions& st = s.region.stage[k];
    for (int i = 1; i <= s.settings.n; ++i) st.dy_prev[i] = std::fabs(st.dy[i]);
    for (int i = 1; i <= s.settings.m; ++i) st.dyp_prev[i] = std::fabs(st.dyp[i]);
  }
}

// Drops corrections below the rounding level of the stage's own values, and
// keeps a component frozen once its correction has been dropped.
void filter_corrections(const DaeCallState& s, const StageRegions& st, const double* y, const double* yp) {
  const bool freeze = s.caller.ip[IP_STEP_SOLVES] >= kFreezeFromSolve;
  const double level = s.conm14;
  for (int i = 1; i <= s.settings.n; ++i) {
    st.dy[i] =
        filtered(st.dy[i], y[i], level, freeze & (st.dy_prev[i] == 0));  // NOLINT(readability-implicit-bool-conversion)
  }
  for (int i = 1; i <= s.settings.m; ++i) {
    st.dyp[i] = filtered(st.dyp[i], yp[i], level,
                         freeze & (st.dyp_prev[i] == 0));  // NOLINT(readability-implicit-bool-conversion)
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
  const CoreArrays& c = s.caller;
  WorkRegions& w = s.region;
  for (int i = 1; i <= s.settings.n; ++i) {
    c.y[i] += mid.dy[i];
    c.ye[i] += end.dy[i];
    raise_to(w.ymax[i], std::fabs(c.y[i]));
    raise_to(w.ymax[i], std::fabs(c.ye[i]));
  }
  for (int i = 1; i <= s.settings.m; ++i) {
    c.yp[i] += mid.dyp[i];
    c.ype[i] += end.dyp[i];
    w.dy_sum[i] += mid.dy[i];
    w.dy_sum_end[i] += end.dy[i];
    w.dyp_sum_end[i] += end.dyp[i];
  }
}

// Rounding-level relative corrections are set to 0, so that dymax measures
// only corrections that still move the solution. A correction whose ymax is
// zero is divided by 1, which leaves it as it is, so that the loop runs
// without branches.
void make_relative(DaeCallState& s, int stages) {
  const double* ymax = s.region.ymax;
  const double level = s.conm14;
  const int n = s.settings.n;
  double dymax = 0;
  for (int k = 0; k < stages; ++k) {
    double* dy = s.region.stage[k].dy;
    for (int i = 1; i <= n; ++i) {
      const double d = dy[i] / (ymax[i] > kTiny ? ymax[i] : 1.0);
      dy[i] = std::fabs(d) < level ? 0.0 : d;
    }
    for (int i = 1; i <= n; ++i) raise_to(dymax, std::fabs(dy[i]));
  }
  s.dymax = dymax;
}

}  // namespace dae
