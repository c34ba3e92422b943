// Entry point of the DAE integrator.
//
//   entry point       DAE_Solver_01: checks, start-up, then the loop of attempt,
//                     error test, accept (with output) or halve
//   step loop         run_steps, judge_converged
//   argument checks   check_arguments, sizes_fit, span_resolvable
//   console and exit  announce
#include <cmath>

#include "dae/dae_solver.h"
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

// The span moves t: it is not below the time resolution conm14*|t| at its
// far end (steps inside such a span could not be placed in time).
bool span_resolvable(const DaeSettings& p) {
  const double far_end = std::fabs(p.t0) > std::fabs(p.tend) ? std::fabs(p.t0) : std::fabs(p.tend);
  return p.tend - p.t0 >= rounding_level() * far_end;
}

// The checks in their fixed order; the last failing one decides the code. Each
// is written so that a NaN (and an infinite time) fails it as well.
int check_arguments(const DaeSettings& p) {
  int ier = DAE_IER_OK;
  if (!sizes_fit(p.n, p.m)) ier = DAE_IER_SIZES;
  if (!(p.hmin > kTiny) || !(p.hmax >= p.hmin)) ier = DAE_IER_STEP_BOUNDS;
  if (!(p.tend - p.t0 >= p.hmin) || !std::isfinite(p.t0) || !std::isfinite(p.tend) || !span_resolvable(p)) {
    ier = DAE_IER_SPAN;
  }
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

// Attempts until tend is reached or an error ends the run (ier set).
void run_steps(DaeCallState& s) {
  bool redo = false;  // the next attempt is an implicit-Euler redo of the same step
  for (;;) {
    if (!redo && !place_step(s)) {
      *s.caller.ier = DAE_IER_STEP_FAILED;
      return;
    }
    redo = false;
    reset_attempt(s);
    const NewtonOutcome outcome = iterate(s);
    if (outcome == NewtonOutcome::singular) {
      *s.caller.ier = DAE_IER_SINGULAR;
      return;
    }
    if (outcome != NewtonOutcome::converged) {
      if (!fail_attempt(s, outcome)) return;  // ier = 7 at hmin, else halved
      continue;
    }
    add_solves(s);
    switch (judge_converged(s)) {
      case StepVerdict::accept:
        if (accept_step(s)) return;  // output; true after the step that reaches tend
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
}  // namespace dae

void DAE_Solver_01(double* y, double* yp, double* ye, double* ype, double* F, double* fyp, double* fy,
                   double t, double t0, double tend, double h, double hmin, double hmax, double eps,
                   double* tstop, int n, int m, int nm, int init, int* status, int* ier, int* ip,
                   DAE_Model model, DAE_Output output) {
  using namespace dae;
  static_cast<void>(t);  // the working time starts at t0
  const CallerArrays arrays{y, yp, ye, ype, F, fyp, fy, tstop, status, ier, ip, model, output};
  const DaeSettings settings{t0, tend, hmin, hmax, eps, n, m, nm, init};
  DaeCallState s(arrays, settings, h);

  s.forward_differences = *ier == DAE_IER_FORWARD_DIFFERENCES;
  *ier = check_arguments(settings);
  if (*ier == DAE_IER_OK) {
    announce(s);
    if (initialise(s) && start_up(s)) run_steps(s);
  }
  if (*ier != DAE_IER_OK) call_output(s, DAE_OUTPUT_ERROR);
}
