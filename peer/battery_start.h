// The consistent start values that the battery's own start-up computes.
//
//   StartValues             y(1..n) and y'(1..m) at t0
//   battery_start_values    from a short DAE_Solver_01 run of the test
#pragma once

#include "models/dae_catalogue.h"

namespace peer {

struct StartValues {
  bool found = false;      // the start-up succeeded and showed its values
  models::DaeVector y{};   // y(1..m) as given, y(m+1..n) consistent with them
  models::DaeVector yp{};  // y'(1..m)
};

// Sets the test's parameters and runs DAE_Solver_01's start-up on fresh
// arrays, silently; its values at the first output call.
StartValues battery_start_values(const models::DaeTestCase& c);

}  // namespace peer
