// Solutions that do not come from IDA, to cross-check the references with.
//
//   CrossCheck        a named solution at a time
//   closed_form       exact or asymptotic solution where a test admits one
//   own_solver        DAE_Solver_01 with the three-point method at a tight eps
//   first_integral05  the conserved quantity of test05
//
// Which tests admit a closed form at tend:
//   test00, test02  linear with constant coefficients: the exact exponential of
//                   the model's own coefficients (exact_linear.h);
//   test01          Van der Pol at MU = 1e20 is at its singular limit to far
//                   beyond double precision (the corrections are of relative
//                   order MU^(-4/3)): each slow branch, from |y1| = 2 to the
//                   fold at |y1| = 1, lasts (3/2 - ln 2) MU, and each jump
//                   changes the sign of y1; on a branch, with tau the time
//                   since its start over MU, ln(|y1|/2) - (y1^2 - 4)/2 = tau
//                   and y2 = y1 / (MU (1 - y1^2)); at tend it has made ten
//                   jumps and is back on the branch y1 > 1;
//   test08          the charge balance makes y1 + y2 = s(t) and
//                   y1 = y2/2 - y2^2/2, so y2 = 3/2 - sqrt(9/4 - 2 s): at t = 4 the
//                   source is 0 and y1 = y2 = 0, and the current y3 = y1' is
//                   its limit from the falling side, -(1 - 2/3) = -1/3.
// test05 has a first integral instead (y1 - ln y1 + 2 (y2 - ln y2)). The
// others (test03, 04, 06, 07, 09) are checked against DAE_Solver_01, which
// shares nothing with IDA but is the battery's own integrator.
#pragma once

#include <optional>
#include <string>

#include "models/dae_catalogue.h"

namespace references {

struct CrossCheck {
  std::string method;
  double t;             // the time of y
  models::DaeVector y;  // y(1..n) at t
  bool reached;         // the method got there
  bool closed_form;     // y is exact or asymptotic, not integrated
};

std::optional<CrossCheck> closed_form(const models::DaeTestCase& c);

// DAE_Solver_01 with nm = 3 and the given eps from t0 to `until`.
CrossCheck own_solver(const models::DaeTestCase& c, double eps, double until);

double first_integral05(const models::DaeVector& y);

}  // namespace references
