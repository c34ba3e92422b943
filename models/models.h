// Model and output callbacks of the ten DAE tests, and the two device helpers.
//
//   model00..model09     residual F(t, y, y') and the Jacobians A = dF/dy', B = dF/dy
//   print00..print09     header and data lines of the plot table and protocol
//   bjt_currents         bipolar transistor of the Colpitts oscillator (test06)
//   pwl_diode            piecewise-linear diode of the Chua circuit (test07)
//
// Every model writes F(1..n) and the same set of Jacobian entries on every
// call; entries it never writes stay as the solver cleared them (0). The
// parameters and state they use are in models/model_params.h, the streams
// they write in models/model_streams.h.
#pragma once

#include <optional>
#include <type_traits>

#include "dae/dae_solver.h"
#include "models/model_params.h"

namespace models {

// The callback types as function types, so that each declaration below has
// exactly the solver's signature.
using ModelCallback = std::remove_pointer_t<DAE_Model>;
using OutputCallback = std::remove_pointer_t<DAE_Output>;

ModelCallback model00, model01, model02, model03, model04, model05, model06, model07, model08, model09;
OutputCallback print00, print01, print02, print03, print04, print05, print06, print07, print08, print09;

// Currents of the transistor's two junctions, their derivatives and the
// junction capacitances at the junction voltages u1, u2.
struct BjtValues {
  double i1, i2;
  double di1_du1, di1_du2, di2_du1, di2_du2;
  double C1, dC1_du1;
  double C2, dC2_du2;
};

// Evaluates the transistor; empty when a scaled junction voltage exceeds the
// overflow limit (the model then reports that it cannot be evaluated).
std::optional<BjtValues> bjt_currents(const Test06Params& p, double u1, double u2);

// Diode current and its slope.
struct DiodePoint {
  double g, dg;
};

// Evaluates the diode at u on the segment chosen at the first Newton
// iteration of the step (ip1 == 0) and remembered in kz; searches breakpoints
// 1..K. Sets *status to 1 when no valid segment is at hand (g = dg = 0), or to
// 2 when the iterate has left the segment in a way that makes the value
// doubtful (never lowering a 1).
DiodePoint pwl_diode(const Test07Params& p, int& kz, double u, int K, int ip1, int* status);

}  // namespace models
