// Exact solutions of the linear tests, for cross-checking the references with a
// method that shares nothing with an integrator.
//
//   exact_linear_solution   y(tend) of a linear constant-coefficient test
//
// A test whose model is F = A y' + B y + F0 with constant A (diagonal,
// non-singular, m = n), B and F0 has y' = K y + k with K = -A^-1 B and
// k = -A^-1 F0, so y(tend) = exp(T G) (y0, 1) with G = [[K, k], [0, 0]] and
// T = tend - t0. The coefficients are read from the model itself (its Jacobians
// and its residual at y = y' = 0), so the solution is that of the model as
// given in doubles; the exponential is computed in 320-bit binary floating
// point (GMP) by scaling, a Taylor series and repeated squaring.
#pragma once

#include <optional>

#include "models/dae_catalogue.h"

namespace references {

// y(1..n) at tend, rounded to double; empty when the test's model is not of
// that linear form (checked at t0 and at tend from two points).
std::optional<models::DaeVector> exact_linear_solution(const models::DaeTestCase& c);

}  // namespace references
