// Process-wide parameters and state of the ten DAE test models.
//
//   Test00Params, Test00State        stiff linear 3x3 system, its exact-solution error tracker
//   Test01Params                     Van der Pol equation
//   Test02Params                     high-Q filter with its scale factors
//   Test04Params                     laser model
//   Test05State                      next tabulation time of the predator-prey test
//   Test06Params                     Colpitts oscillator with its scale factors
//   Test07Params, Test07State        Chua circuit, its piecewise-linear diode and remembered segment
//   Test08Params, Test08State        nonlinear capacitor and the source value of the last evaluation
//   Test09Params, Test09State        AC-to-DC converter and the diode current of the last evaluation
//   derive_*                         dependent values the driver sets from a test's free parameters
//
// The driver writes the *Params records before a solver call; the callbacks
// read them. The *State records are written by the callbacks themselves. All
// of them are zero at program start and are never reset between tests.
// Vectors and matrices are 1-based; index 0 is unused.
#pragma once

#include <array>

#include "layout/flat_index.h"

namespace models {

using layout::flat_index;

// --- test00: y' = M y with M = T diag(l1, l2, l3) T^-1 -------------------------

inline constexpr int kTest00Order = 3;

struct Test00Params {
  double a;
  double c1, c2, c3;  // weights of the three eigenmodes in the exact solution
  double l1, l2, l3;  // eigenvalues
  // The system matrix, (i, j) at flat_index(i, j, 3); derived by derive_test00_matrix.
  std::array<double, kTest00Order * kTest00Order + kTest00Order + 1> M;
};

struct Test00State {
  std::array<double, kTest00Order + 1> z;   // exact solution at the last output time
  std::array<double, kTest00Order + 1> ea;  // its absolute error at that time
  std::array<double, kTest00Order + 1> em;  // largest error of the current run
};

// Sets p.M from a, l1, l2, l3.
void derive_test00_matrix(Test00Params& p);

// --- test01: Van der Pol -------------------------------------------------------

struct Test01Params {
  double MU;  // stiffness parameter
};

// --- test02: high-Q filter -----------------------------------------------------

struct Test02Params {
  double KT, KU, KI;  // time, voltage and current scales
  double KR, KC, KL;  // resistance, capacitance and inductance scales derived from them
  double e, r1, l1, c1, c2, c3, l2, r2;
};

Test02Params derive_test02(double KT, double KU, double KI);

// --- test04: laser -------------------------------------------------------------

struct Test04Params {
  double al, be, ga, p, si, ta;
};

// --- test05: predator-prey with tabulated output -----------------------------

struct Test05State {
  double tnext;  // next time at which a protocol line is due; the driver sets it to 0
};

// --- test06: Colpitts oscillator -----------------------------------------------

struct Test06Params {
  double KT, KU, KI;
  double KR, KC, KL;
  double r1, r2, r3, r4, r5;
  double c1, c2, l1, e;
  double is1, is2;  // saturation currents of the second and first junction
  double lam;       // inverse thermal voltage
  double cd1, cd2;  // diffusion-capacitance factors of the second and first junction
  double cj1, cj2;  // junction capacitances of the second and first junction
};

Test06Params derive_test06(double KT, double KU, double KI);

// --- test07: Chua circuit --------------------------------------------------------

// Breakpoints 0..5 of the piecewise-linear diode characteristic.
inline constexpr int kDiodeLastPoint = 5;

struct Test07Params {
  double r, c1, c2, l;
  std::array<double, kDiodeLastPoint + 1> xb;  // breakpoint voltages
  std::array<double, kDiodeLastPoint + 1> yb;  // breakpoint currents
  double tolx, toly;  // relative distances to a segment end that make a segment change doubtful
  int fixseg;         // non-zero: always use the remembered segment and never report doubt
};

struct Test07State {
  int kz;  // remembered diode segment, chosen at the first Newton iteration of a step; 0 = none yet
};

// --- test08: nonlinear capacitor ------------------------------------------------

struct Test08Params {
  double c1;  // linear capacitance
  double c2;  // nonlinear capacitance at zero voltage, printed only (the model uses its own 0.5)
};

struct Test08State {
  double usrc;  // source value of the most recent model evaluation
};

// --- test09: AC-to-DC converter -----------------------------------------------

struct Test09Params {
  double KT, KU, KI;
  double KR, KC;
  double e, omega, r1, r2, c1, isat, vt, tau, cj;
};

struct Test09State {
  double idiode;  // diode current of the most recent model evaluation
};

Test09Params derive_test09(double KT, double KU, double KI);

// --- the process-wide records ----------------------------------------------------

inline Test00Params test00_params;
inline Test00State test00_state;
inline Test01Params test01_params;
inline Test02Params test02_params;
inline Test04Params test04_params;
inline Test05State test05_state;
inline Test06Params test06_params;
inline Test07Params test07_params;
inline Test07State test07_state;
inline Test08Params test08_params;
inline Test08State test08_state;
inline Test09Params test09_params;
inline Test09State test09_state;

}  // namespace models
