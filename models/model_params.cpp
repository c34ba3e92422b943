// Dependent model parameters, derived from a test's free parameters.
//
//   set_scales             the scale factors and the units they make
//   derive_test00_matrix   system matrix of test00 from its eigen-decomposition
//   derive_test02          high-Q filter components from the scale factors
//   derive_test06          Colpitts oscillator components from the scale factors
//   derive_test09          AC-to-DC converter components from the scale factors
//
// Each value is computed in the written order of operations: the reports
// print these numbers and the models integrate with them.
#include "models/model_params.h"

#include <cmath>

namespace models {
namespace {

// The scale factors of time, voltage and current, and the units they make of
// resistance (KR), capacitance (KC) and, where the circuit has inductors, of
// inductance (KL).
template <class CircuitParams>
void set_scales(CircuitParams& p, double KT, double KU, double KI) {
  p.KT = KT;
  p.KU = KU;
  p.KI = KI;
  p.KR = KU / KI;
  p.KC = KI * KT / KU;
  if constexpr (requires { p.KL; }) p.KL = KT * KU / KI;
}

}  // namespace

// M = T diag(l1, l2, l3) T^-1, with T's columns (1, a, a), (1, 1, 1), (1, -1, 1).
void derive_test00_matrix(Test00Params& p) {
  constexpr int n = kTest00Order;
  const double a = p.a;
  const double s = (p.l3 + p.l2) * 0.5;
  const double d = 0.5 * (p.l2 - p.l3);
  const double q = 1 / (1 - a);
  auto& M = p.M;
  M[flat_index(1, 1, n)] = (p.l1 - p.l2 * a) * q;
  M[flat_index(1, 2, n)] = d;
  M[flat_index(1, 3, n)] = (a * d + s - p.l1) * q;
  M[flat_index(2, 1, n)] = (p.l1 - p.l2) * (a * q);
  M[flat_index(2, 2, n)] = s;
  M[flat_index(2, 3, n)] = (s * a + d - p.l1 * a) * q;
  M[flat_index(3, 1, n)] = (p.l1 - p.l2) * (a * q);
  M[flat_index(3, 2, n)] = d;
  M[flat_index(3, 3, n)] = q * (a * d + s - p.l1 * a);
}

Test02Params derive_test02(double KT, double KU, double KI) {
  Test02Params p{};
  set_scales(p, KT, KU, KI);
  p.e = KU;
  p.r1 = p.KR;
  p.l1 = 1001 * p.KL;
  p.c1 = 0.001 * p.KC;
  p.c2 = 0.001 * p.KC;
  p.c3 = p.KC;
  p.l2 = 999 * p.KL;
  p.r2 = p.KR;
  return p;
}

Test06Params derive_test06(double KT, double KU, double KI) {
  Test06Params p{};
  set_scales(p, KT, KU, KI);
  p.r1 = 12000 * p.KR;
  p.r2 = 8200 * p.KR;
  p.r3 = 1500 * p.KR;
  p.r4 = 0.2 * p.KR;
  p.r5 = 1.8 * p.KR;
  p.c1 = 1e-07 * p.KC;
  p.c2 = 4.7e-08 * p.KC;
  p.l1 = 0.01 * p.KL;
  p.e = 10 * KU;
  p.is1 = 4.29e-14 * KI;
  p.is2 = 5.78e-14 * KI;
  p.lam = 38.3 / KU;
  p.cd1 = 2.36e-20 * p.KC;
  p.cd2 = 2.1e-20 * p.KC;
  p.cj1 = 1.68e-11 * p.KC;
  p.cj2 = 8.65e-12 * p.KC;
  return p;
}

Test09Params derive_test09(double KT, double KU, double KI) {
  Test09Params p{};
  set_scales(p, KT, KU, KI);
  p.e = 100 * KU;
  p.omega = 400 * std::atan(1.0) / KT;
  p.r1 = p.KR;
  p.r2 = 5000 * p.KR;
  p.c1 = 1e-05 * p.KC;
  p.isat = 1e-07 * KI;
  p.vt = 0.026 * KU;
  p.tau = 1e-06 * KT;
  p.cj = 1e-10 * p.KC;
  return p;
}

}  // namespace models
