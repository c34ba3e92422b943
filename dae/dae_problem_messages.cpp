// The words of solve's result (see dae_problem_messages.h). Numbers are
// written through textout, like every other number the project prints.
//
//   messages        size_message, result_message
//   by code         success_message, argument_message, failure_message,
//                   singular_message, limit_message
//   failure causes  kFailureCauses, counted_causes, uncounted_cause
#include "dae/dae_problem_messages.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "textout/textout.h"

namespace dae {
namespace {

// ---------------------------------------------------------------------------
// Failure causes

// A counter that explains a failed attempt at hmin, and what it means.
struct FailureCause {
  long long Statistics::*count;
  const char* meaning;
};

inline constexpr std::array<FailureCause, 4> kFailureCauses{{
    {&Statistics::model_failures,
     "model evaluation(s) failed or doubtful (ModelStatus::failed or ::doubtful, or a residual not finite)"},
    {&Statistics::not_converged,
     "Newton iteration(s) not converged within 10 solves (wrong Jacobian entries, or a solution that leaves "
     "the model's domain)"},
    {&Statistics::divergent,
     "Newton iteration(s) divergent (wrong Jacobian entries or layout: dfdy(i, j) is "
     "dF_i/dy_j)"},
    {&Statistics::slow_rejections, "slow Newton iteration(s) rejected for a large first-order error"},
}};

bool all_finite(const std::vector<double>& v) {
  return std::ranges::all_of(v, [](double x) { return std::isfinite(x); });
}

// The counted causes of the run, "; "-separated; empty when none was counted.
std::string counted_causes(const Result& r) {
  std::string text;
  for (const FailureCause& cause : kFailureCauses) {
    const long long count = r.statistics.*cause.count;
    if (count == 0) continue;
    if (!text.empty()) text += "; ";
    text += textout::out_format("%lld %s", count, cause.meaning);
  }
  if (r.statistics.error_test_failures > 0 && !(all_finite(r.y) && all_finite(r.yp))) {
    if (!text.empty()) text += "; ";
    text += textout::out_format("the solution became infinite or NaN (%lld error test failures)",
                                r.statistics.error_test_failures);
  }
  return text;
}

// A failure that no counter explains.
std::string uncounted_cause(const Result& r, const RunFacts& f) {
  if (r.t == f.t0) {
    return "the start-up did not settle within 60 attempts: a derivative keeps changing as the step shrinks "
           "(inconsistent start values, or a model not smooth at t0; try StartMode::given with consistent y, yp)";
  }
  return "far from t = 0 the steps fell below the time resolution of t (4.6e-15*|t|) and the integration "
         "reached tend before t could";
}

// ---------------------------------------------------------------------------
// By code

std::string success_message(const Result& r, const RunFacts& f) {
  const long long doubtful = r.statistics.accepted_error_failed;
  if (doubtful == 0) return "tend reached";
  return textout::out_format(
      "tend reached, but %lld step(s) were accepted although their error estimate exceeded eps, because a step "
      "no larger than 4*hmin = %g cannot be halved: their digits are not guaranteed (choose a smaller hmin)",
      doubtful, 4 * f.hmin);
}

std::string argument_message(int ier, const RunFacts& f) {
  switch (ier) {
    case DAE_IER_STEP_BOUNDS:
      return textout::out_format("step bounds: hmin = %g must exceed 1e-200 and hmax = %g must not be below it", f.hmin,
                                 f.hmax);
    case DAE_IER_SPAN:
      return textout::out_format(
          "span: tend - t0 = %g is below hmin = %g, below the time resolution 4.6e-15*max(|t0|, |tend|), "
          "or t0 or tend is not finite",
          f.tend - f.t0, f.hmin);
    case DAE_IER_TOLERANCE:
      return textout::out_format("tolerance: eps = %g must be finite and above 1e-12", f.eps);
    case DAE_IER_METHOD:
      return "method: not one of IntegrationMethod";
    case DAE_IER_INIT:
      return "start mode: not one of StartMode";
    default:
      break;
  }
  return "sizes: n < 1, m outside 0..n, or more unknowns than the workspace holds";
}

std::string failure_message(const Result& r, const RunFacts& f) {
  std::string causes = counted_causes(r);
  if (causes.empty()) causes = uncounted_cause(r, f);
  return textout::out_format("a step attempt failed at h <= hmin = %g, at t = %g; counted over the run: ", f.hmin,
                             r.t) +
         causes;
}

std::string singular_message(const Result& r) {
  return textout::out_format(
      "singular Newton matrix at t = %g, h = %g: check the Jacobians (dfdy is n x n, dfdyp n x m, (i, j) = "
      "dF_i/d(unknown j)) and that the algebraic equations determine the algebraic unknowns",
      r.t, r.h);
}

std::string limit_message(const Result& r) {
  return textout::out_format(
      "step limit: %lld steps accepted, stopped at t = %g with h = %g (%lld halvings, %lld failed attempts); "
      "raise Options::max_steps",
      r.statistics.accepted_steps, r.t, r.h, r.statistics.halvings, r.statistics.failed_attempts);
}

}  // namespace

// ---------------------------------------------------------------------------
// Messages

std::string size_message(int n, int m) {
  if (n < 1) return "n = " + std::to_string(n) + " is below 1";
  if (m < 0 || m > n) return "m = " + std::to_string(m) + " is outside 0..n = " + std::to_string(n);
  return textout::out_format("n = %d, m = %d need %lld doubles of workspace, more than the %lld there are", n, m,
                             dae_work_need(n, m), DAE_WORK_SIZE);
}

std::string result_message(const Result& r, const RunFacts& facts) {
  switch (r.ier) {
    case DAE_IER_OK:
      return success_message(r, facts);
    case DAE_IER_STEP_FAILED:
      return failure_message(r, facts);
    case DAE_IER_SINGULAR:
      return singular_message(r);
    case kIerStopped:
      return textout::out_format("stopped by the observer at t = %g", r.t);
    case kIerStepLimit:
      return limit_message(r);
    default:
      break;
  }
  return argument_message(r.ier, facts);
}

}  // namespace dae
