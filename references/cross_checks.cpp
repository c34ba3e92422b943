// Solutions that do not come from IDA (see cross_checks.h).
//
//   closed forms   van_der_pol_limit, nonlinear_capacitor_end, closed_form
//   own solver     silent_output, own_solver
//   invariant      first_integral05
#include "references/cross_checks.h"

#include <cmath>
#include <memory>
#include <string>

#include "models/model_params.h"
#include "references/exact_linear.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace references {
namespace {

// --- closed forms ----------------------------------------------------------------------

constexpr int kNewtonSteps = 50;

// y1 on the branch y1 > 1 with ln(y1/2) - (y1^2 - 4)/2 = tau, by Newton from 2.
double slow_branch_position(double tau) {
  double y = 2;
  for (int k = 0; k < kNewtonSteps; ++k) {
    const double g = std::log(y / 2) - (y * y - 4) / 2 - tau;
    const double dg = 1 / y - y;
    y -= g / dg;
  }
  return y;
}

CrossCheck van_der_pol_limit(const models::DaeTestCase& c) {
  const double MU = models::test01_params.MU;
  const double half_period = 1.5 - std::log(2.0);  // in units of MU, from |y1| = 2 to the fold at 1
  const double T = (c.tend - c.t0) / MU;
  const double jumps = std::floor(T / half_period);
  const double branch = std::fmod(jumps, 2.0) == 0 ? 1 : -1;  // each jump changes the sign of y1
  const double y1 = branch * slow_branch_position(T - jumps * half_period);
  CrossCheck x{"closed form: singular limit of the relaxation oscillation", c.tend, {}, true, true};
  x.y[1] = y1;
  x.y[2] = y1 / (MU * (1 - y1 * y1));
  return x;
}

CrossCheck nonlinear_capacitor_end(const models::DaeTestCase& c) {
  CrossCheck x{"closed form: charge balance at a zero of the triangle source", c.tend, {}, true, true};
  x.y[1] = 0;
  x.y[2] = 0;
  x.y[3] = -1.0 / 3;
  return x;
}

// --- own solver ------------------------------------------------------------------------

// Output callbacks only write reports and choose output times: left out.
int silent_output(double*, double*, int, int, double, double, double, double, double*, int, const int*) { return 0; }

}  // namespace

std::optional<CrossCheck> closed_form(const models::DaeTestCase& c) {
  c.set_parameters();
  if (c.test == 1) return van_der_pol_limit(c);
  if (c.test == 8) return nonlinear_capacitor_end(c);
  if (const std::optional<models::DaeVector> y = exact_linear_solution(c)) {
    return CrossCheck{"exact: matrix exponential of the model's coefficients in 320-bit arithmetic", c.tend, *y, true,
                      true};
  }
  return std::nullopt;
}

CrossCheck own_solver(const models::DaeTestCase& c, double eps, double until) {
  models::DaeTestCase tight = c;
  tight.eps = eps;
  tight.nm = DAE_NM_LOBATTO;
  tight.tend = until;
  tight.hmax = std::fmin(c.hmax, until - c.t0);
  tight.output = silent_output;
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  {
    const textout::DiagnosticsTo quiet(nullptr);
    models::run_dae_case(tight, *arrays, ier);
  }
  const std::string method = "DAE_Solver_01, three-point method, eps " + textout::out_format("%g", eps);
  CrossCheck x{method, until, {}, ier == DAE_IER_OK, false};
  for (int i = 1; i <= c.n; ++i) x.y[i] = arrays->y[i];
  return x;
}

// --- invariant -------------------------------------------------------------------------

double first_integral05(const models::DaeVector& y) { return y[1] - std::log(y[1]) + 2 * (y[2] - std::log(y[2])); }

}  // namespace references
