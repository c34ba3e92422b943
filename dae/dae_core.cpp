// The integrator core: argument checks, then set-up and start-up, then the
// loop of attempt, error test, accept (with output) or halve.
//
//   entry point       integrate
//   step loop         run_steps, judge_converged, ends_after_output
//   argument checks   check_arguments, sizes_fit, span_fits
//   console           announce
#include "dae/dae_core.h"

#include <cmath>
#include <optional>

#include "dae/dae_state.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace dae {
namespace {

// What follows a converged attempt.
enum class StepVerdict { accept, halve, damping_redo, run_over };

// The sizes are valid and the workspace holds the call (n is bounded first so
// that the need cannot overflow).
bool sizes_fit(int n, int m) {
  return n >= 1 && m >= 0 && m <= n && n <= DAE_WORK_SIZE && dae_work_need(n, m) <= DAE_WORK_SIZE;
}

// The span holds a step of hmin and moves t: it is not below the time
// resolution conm14*|t| at its far end (steps inside such a span could not be
// placed in time).
bool span_fits(const CoreSettings& p) {
  if (!std::isfinite(p.t0) || !std::isfinite(p.tend)) return false;
  const double far_end = std::fabs(p.t0) > std::fabs(p.tend) ? std::fabs(p.t0) : std::fabs(p.tend);
  return p.tend - p.t0 >= p.hmin && p.tend - p.t0 >= rounding_level() * far_end;
}

// The checks in their fixed order; the last failing one decides the code. Each
// is written so that a NaN (and an infinite time) fails it as well.
int check_arguments(const CoreSettings& p) {
  int ier = DAE_IER_OK;
  if (!sizes_fit(p.n, p.m)) ier = DAE_IER_SIZES;
  if (!(p.hmin > kTiny) || !(p.hmax >= p.hmin)) ier = DAE_IER_STEP_BOUNDS;
  if (!span_fits(p)) ier = DAE_IER_SPAN;
  if (!(p.eps > kMinTolerance) || !std::isfinite(p.eps)) ier = DAE_IER_TOLERANCE;
  if (p.nm < DAE_NM_EULER || p.nm > DAE_NM_AUTOMATIC) ier = DAE_IER_METHOD;
  if (p.init < DAE_INIT_COMPUTE || p.init > DAE_INIT_GIVEN || p.init == 1) ier = DAE_IER_INIT;
  return ier;
}

void announce(DaeCallState& s) {
  textout::out_printf(textout::diagnostics_stream(), kBanner);
  s.conm14 = rounding_level();
  s.sqrt_conm14 = std::sqrt(s.conm14);
  textout::out_printf(textout::diagnostics_stream(), kConm14Line, s.conm14);
}

// A damping redo is accepted as it is; any other converged attempt passes the
// error test and, with the trapezoidal rule or the three-point method, the
// oscillation test.
StepVerdict judge_converged(DaeCallState& s) {
  if (s.damping != Damping::none) {
    finish_damping(s);
    return StepVerdict::accept;
  }
  estimate_error(s);
  const ErrorVerdict verdict = error_test(s);
  if (verdict == ErrorVerdict::fail) return StepVerdict::run_over;
  if (verdict == ErrorVerdict::halve) return StepVerdict::halve;
  if (s.method == Method::euler) return StepVerdict::accept;
  remember_iteration_end(s);
  if (!derivatives_oscillate(s)) return StepVerdict::accept;
  begin_damping(s);
  return StepVerdict::damping_redo;
}

// After the output of a step short of tend: a stop request or the step limit
// ends the run there.
bool ends_after_output(DaeCallState& s) {
  if (s.stop_requested) {
    s.ier = DAE_IER_STOPPED;
    return true;
  }
  if (s.settings.max_steps > 0 && s.accepted_steps >= s.settings.max_steps) {
    s.ier = DAE_IER_STEP_LIMIT;
    return true;
  }
  return false;
}

// Attempts until tend is reached or something ends the run (ier set).
void run_steps(DaeCallState& s) {
  bool redo = false;  // the next attempt is an implicit-Euler redo of the same step
  for (;;) {
    if (!redo && !place_step(s)) {
      s.ier = DAE_IER_STEP_FAILED;
      return;
    }
    redo = false;
    reset_attempt(s);
    const NewtonOutcome outcome = iterate(s);
    if (outcome == NewtonOutcome::singular) {
      s.ier = DAE_IER_SINGULAR;
      return;
    }
    if (outcome != NewtonOutcome::converged) {
      if (!fail_attempt(s, outcome)) return;  // ier = 7 at hmin, else halved
      continue;
    }
    add_solves(s);
    switch (judge_converged(s)) {
      case StepVerdict::accept:
        if (accept_step(s) || ends_after_output(s)) return;  // accept_step: true at tend
        break;
      case StepVerdict::halve:
        halve_step(s);
        break;
      case StepVerdict::damping_redo:
        redo = true;
        break;
      case StepVerdict::run_over:
        return;
    }
  }
}

}  // namespace

CoreResult integrate(const CoreArrays& arrays, const CoreSettings& settings, ModelCallback model,
                     OutputCallback output) {
  std::optional<textout::DiagnosticsTo> silence;
  if (settings.quiet) silence.emplace(nullptr);
  DaeCallState s(arrays, settings, model, output);
  s.ier = check_arguments(settings);
  if (s.ier == DAE_IER_OK) {
    announce(s);
    if (initialise(s) && start_up(s)) {
      if (s.stop_requested) {
        s.ier = DAE_IER_STOPPED;
      } else {
        run_steps(s);
      }
    }
  }
  if (s.ier != DAE_IER_OK && s.ier != DAE_IER_STOPPED) call_output(s, DAE_OUTPUT_ERROR);
  return {s.ier, s.t, s.h, s.accepted_steps, s.accepted_error_failed};
}

}  // namespace dae
