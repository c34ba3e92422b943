// Circuit models: high-Q filter, Colpitts oscillator, nonlinear capacitor.
//
//   test02   model02, print02 (fifth-order filter on any time scale)
//   test06   bjt_currents, model06, print06 (Colpitts oscillator)
//   test08   triangle_source, model08, print08 (capacitor in series with a nonlinear one)
//
// Residuals and Jacobian entries are written in their stated order of
// operations, left to right.
#include <cmath>

#include "models/model_params.h"
#include "models/model_streams.h"
#include "models/models.h"
#include "models/plot_line.h"
#include "textout/textout.h"

namespace models {
namespace {

// Largest scaled junction voltage the transistor is evaluated at: exp(40) is
// about 2.35e17, beyond which a Newton iterate is not worth evaluating.
constexpr double kJunctionOverflow = 40;
// Scaled junction voltages below this count as fully reverse-biased.
constexpr double kJunctionCutoff = -160;

// Transfer ratios of the transistor's two junctions.
constexpr double kForwardRatio = 0.981;
constexpr double kReverseRatio = 0.8711;

// Capacitance of the nonlinear capacitor at zero voltage (and its voltage of
// vanishing capacitance).
constexpr double kNonlinearCapacitance = 0.5;

// Triangle wave between 0 and 1 with period 2, rising on [0, 1] for t >= 0.
// The truncation is done in double so that no time can overflow an integer.
double triangle_source(double t) {
  const double k = std::trunc(t);
  const bool even_and_not_negative = k >= 0 && std::fmod(k, 2.0) == 0;
  return even_and_not_negative ? t - k : 1 - (t - k);
}

}  // namespace

// --- test02 --------------------------------------------------------------------

int model02(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  const auto& p = test02_params;
  f[1] = yp[1] * p.c1 - y[4];
  f[2] = yp[2] * p.c2 - y[5];
  f[3] = yp[3] * p.c3 - y[4] + y[5];
  f[4] = yp[4] * p.l1 - p.e + y[1] + y[3] + p.r1 * y[4];
  f[5] = y[5] * p.r2 + yp[5] * p.l2 + y[2] - y[3];
  fyp[flat_index(1, 1, n)] = p.c1;
  fyp[flat_index(2, 2, n)] = p.c2;
  fyp[flat_index(3, 3, n)] = p.c3;
  fyp[flat_index(4, 4, n)] = p.l1;
  fyp[flat_index(5, 5, n)] = p.l2;
  fy[flat_index(1, 4, n)] = -1;
  fy[flat_index(2, 5, n)] = -1;
  fy[flat_index(3, 4, n)] = -1;
  fy[flat_index(3, 5, n)] = 1;
  fy[flat_index(4, 1, n)] = 1;
  fy[flat_index(4, 3, n)] = 1;
  fy[flat_index(4, 4, n)] = p.r1;
  fy[flat_index(5, 2, n)] = 1;
  fy[flat_index(5, 3, n)] = -1;
  fy[flat_index(5, 5, n)] = p.r2;
  return 0;
}

// Plot table at every call; the header and the final point also to the protocol.
int print02(double* y, double*, int, int, double t, double, double tend, double, double*, int kind, const int*) {
  constexpr const char* header = "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1\n";
  if (kind == 0) textout::out_printf(streams.plot, header);
  write_plot_line(streams.plot, t, y[5], y[3], y[4], y[1]);
  if (t == tend) {
    textout::out_printf(streams.protocol, header);
    write_plot_line(streams.protocol, t, y[5], y[3], y[4], y[1]);
    textout::out_printf(streams.protocol, "\n");
  }
  return 0;
}

// --- test06 --------------------------------------------------------------------

std::optional<BjtValues> bjt_currents(const Test06Params& p, double u1, double u2) {
  double e1 = p.lam * u1;
  double e2 = p.lam * u2;
  if (e1 > kJunctionOverflow || e2 > kJunctionOverflow) return std::nullopt;
  if (e1 < kJunctionCutoff) e1 = kJunctionCutoff;
  if (e2 < kJunctionCutoff) e2 = kJunctionCutoff;
  const double E1 = std::exp(e1);
  const double E2 = std::exp(e2);
  BjtValues v{};
  v.i1 = p.is2 * (E1 - 1) - kForwardRatio * p.is1 * (E2 - 1);
  v.i2 = p.is1 * (E2 - 1) - kReverseRatio * p.is2 * (E1 - 1);
  v.di1_du1 = p.lam * p.is2 * E1;
  v.di1_du2 = -kForwardRatio * p.lam * p.is1 * E2;
  v.di2_du1 = -kReverseRatio * p.lam * p.is2 * E1;
  v.di2_du2 = p.lam * p.is1 * E2;
  v.C1 = p.cj2 + p.cd2 * E1;
  v.dC1_du1 = p.lam * p.cd2 * E1;
  v.C2 = p.cj1 + p.cd1 * E2;
  v.dC2_du2 = p.lam * p.cd1 * E2;
  return v;
}

int model06(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int* status,
            const int*) {
  const auto& p = test06_params;
  const std::optional<BjtValues> bjt = bjt_currents(p, y[1], y[2]);
  if (!bjt) {
    *status = 1;
    return 0;
  }
  const BjtValues& q = *bjt;
  const double ga = (y[3] - y[1] + y[4] - y[6]) / p.r1;
  const double gb = (y[1] - y[3] - y[4] + y[6] + p.e) / p.r2;
  const double gc = (y[1] - y[2] - y[4]) / p.r4;
  const double gd = (p.e - y[3]) / p.r3;
  f[1] = yp[1] * q.C1 - ga + gb + gc + q.i1;
  f[2] = q.C2 * yp[2] - gc + q.i2;
  f[3] = yp[3] * p.c1 + y[5] + ga - gb - gd;
  f[4] = yp[4] * p.c2 + y[5] + ga - gb - gc;
  f[5] = yp[5] * p.l1 - y[3] - y[4];
  f[6] = gb + y[6] / p.r5 - ga;

  fyp[flat_index(1, 1, n)] = q.C1;
  fyp[flat_index(2, 2, n)] = q.C2;
  fyp[flat_index(3, 3, n)] = p.c1;
  fyp[flat_index(4, 4, n)] = p.c2;
  fyp[flat_index(5, 5, n)] = p.l1;

  const double G12 = 1 / p.r1 + 1 / p.r2;
  fy[flat_index(1, 1, n)] = yp[1] * q.dC1_du1 + 1 / p.r4 + G12 + q.di1_du1;
  fy[flat_index(1, 2, n)] = q.di1_du2 - 1 / p.r4;
  fy[flat_index(1, 3, n)] = -G12;
  fy[flat_index(1, 4, n)] = -G12 - 1 / p.r4;
  fy[flat_index(1, 6, n)] = G12;
  fy[flat_index(2, 1, n)] = q.di2_du1 - 1 / p.r4;
  fy[flat_index(2, 2, n)] = 1 / p.r4 + q.di2_du2 + q.dC2_du2 * yp[2];
  fy[flat_index(2, 4, n)] = 1 / p.r4;
  fy[flat_index(3, 1, n)] = -G12;
  fy[flat_index(3, 3, n)] = 1 / p.r3 + G12;
  fy[flat_index(3, 4, n)] = G12;
  fy[flat_index(3, 5, n)] = 1;
  fy[flat_index(3, 6, n)] = -G12;
  fy[flat_index(4, 1, n)] = -G12 - 1 / p.r4;
  fy[flat_index(4, 2, n)] = 1 / p.r4;
  fy[flat_index(4, 3, n)] = G12;
  fy[flat_index(4, 4, n)] = 1 / p.r4 + G12;
  fy[flat_index(4, 5, n)] = 1;
  fy[flat_index(4, 6, n)] = -G12;
  fy[flat_index(5, 3, n)] = -1;
  fy[flat_index(5, 4, n)] = -1;
  fy[flat_index(6, 1, n)] = G12;
  fy[flat_index(6, 3, n)] = -G12;
  fy[flat_index(6, 4, n)] = -G12;
  fy[flat_index(6, 6, n)] = 1 / p.r5 + G12;
  return 0;
}

int print06(double* y, double*, int, int, double t, double, double, double, double*, int kind, const int*) {
  if (kind == 0) {
    textout::out_printf(streams.plot, "           kolpitz-oscillator,t-time,u-out,u-kollec,u-emiter,il1\n");
  }
  write_plot_line(streams.plot, t, test06_params.e - y[3], y[1], y[2], y[5]);
  return 0;
}

// --- test08 --------------------------------------------------------------------

int model08(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t, double, int, int*,
            const int*) {
  const double s = triangle_source(t);
  test08_state.usrc = s;
  const double c1 = test08_params.c1;
  f[1] = yp[1] * c1 - y[3];
  f[2] = (kNonlinearCapacitance - y[2]) * yp[2] - y[3];
  f[3] = y[1] + y[2] - s;
  fyp[flat_index(1, 1, n)] = c1;
  fyp[flat_index(2, 2, n)] = kNonlinearCapacitance - y[2];
  fy[flat_index(1, 3, n)] = -1;
  fy[flat_index(2, 2, n)] = -yp[2];
  fy[flat_index(2, 3, n)] = -1;
  fy[flat_index(3, 1, n)] = 1;
  fy[flat_index(3, 2, n)] = 1;
  return 0;
}

// Prints the solution next to its closed form for a rising source.
int print08(double* y, double*, int, int, double t, double, double, double, double*, int kind, const int*) {
  const double w = 2.25 - 2 * test08_state.usrc;
  const double root = std::sqrt(w);
  const double U = 1.5 - root;
  const double I = (root - 1) / root;
  if (kind == 0) textout::out_printf(streams.plot, "C&nonlenear2C,t-time,ic2,uc2,EA,ER\n");
  write_plot_line(streams.plot, t, y[3], y[2], U, I);
  return 0;
}

}  // namespace models
