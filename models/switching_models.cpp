// Switching models: the Chua circuit and the AC-to-DC converter.
//
//   test07   pwl_diode, first_breakpoint_above, relative_distance, model07, print07 (Chua circuit with a
//            piecewise-linear diode whose segment is held for a whole step)
//   test09   model09, print09 (half-wave rectifier with an exponential diode)
//
// Both report through the status flag: the Chua diode when an iterate has left
// the segment of its step, the rectifier when its diode exponent would overflow.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "models/model_params.h"
#include "models/model_streams.h"
#include "models/models.h"
#include "models/plot_line.h"
#include "textout/textout.h"

namespace models {
namespace {

// Divisors and segment widths at or below this count as zero.
constexpr double kTiny = 1e-200;

// Largest diode exponent the rectifier is evaluated at (exp(70) is about
// 2.5e30); below its negative the diode counts as fully reverse-biased.
constexpr double kDiodeExponentLimit = 70;

// |e - v| relative to |e|, or the plain difference when e is (nearly) zero.
double relative_distance(double e, double v) {
  const double difference = std::fabs(e - v);
  const double divisor = std::fabs(e);
  return divisor > kTiny ? difference / divisor : difference;
}

// The first of the breakpoints 1..K above u, or K + 1; never beyond the table.
int first_breakpoint_above(const Test07Params& p, double u, int K) {
  for (int k = 1; k <= std::min(K, kDiodeLastPoint); ++k) {
    if (u < p.xb[k]) return k;
  }
  return K + 1;
}

}  // namespace

// --- test07 --------------------------------------------------------------------

DiodePoint pwl_diode(const Test07Params& p, int& kz, double u, int K, int ip1, int* status) {
  const auto& xb = p.xb;
  const auto& yb = p.yb;
  const int kf = first_breakpoint_above(p, u, K);

  // The segment is chosen at the first Newton iteration of a step and held.
  int k = kz;
  if (ip1 == 0 && p.fixseg == 0) {
    k = kf;
    kz = kf;
  }

  // No segment chosen yet (kz = 0), or beyond the table: nothing to evaluate.
  if (k < 1 || k > kDiodeLastPoint) {
    *status = 1;
    return {0, 0};
  }
  const double dx = xb[k - 1] - xb[k];
  if (!(std::fabs(dx) > kTiny)) {
    *status = 1;
    return {0, 0};
  }

  const double dg = (yb[k - 1] - yb[k]) / dx;
  const double b = -(xb[k] * yb[k - 1] - yb[k] * xb[k - 1]) / dx;
  const double g = dg * u + b;

  // The end of the segment that u is moving towards.
  const bool towards_upper = kf >= k;
  const double xe = towards_upper ? xb[k] : xb[k - 1];
  const double ye = towards_upper ? yb[k] : yb[k - 1];
  const double rx = relative_distance(xe, u);
  const double ry = relative_distance(ye, g);

  if (p.fixseg != 0) return {g, dg};

  const bool far_off_segment = kf != k && rx > p.tolx && ry > p.toly;
  const bool doubtful = far_off_segment || std::abs(kf - k) > 1;
  if (*status != 1 && doubtful) *status = 2;
  return {g, dg};
}

int model07(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int* status,
            const int* ip) {
  const auto& p = test07_params;
  const DiodePoint d = pwl_diode(p, test07_state.kz, y[1], n, ip[1], status);
  f[1] = d.g + yp[1] * p.c1 - y[2] / p.r + y[1] / p.r;
  f[2] = y[2] / p.r + yp[2] * p.c2 - y[1] / p.r - y[3];
  f[3] = yp[3] * p.l + y[2];
  fyp[flat_index(1, 1, n)] = p.c1;
  fyp[flat_index(2, 2, n)] = p.c2;
  fyp[flat_index(3, 3, n)] = p.l;
  fy[flat_index(1, 1, n)] = d.dg + 1 / p.r;
  fy[flat_index(1, 2, n)] = -1 / p.r;
  fy[flat_index(2, 1, n)] = -1 / p.r;
  fy[flat_index(2, 2, n)] = 1 / p.r;
  fy[flat_index(2, 3, n)] = -1;
  fy[flat_index(3, 2, n)] = 1;
  return 0;
}

int print07(double* y, double* yp, int, int, double t, double, double, double, double*, int kind, const int*) {
  if (kind == 0) textout::out_printf(streams.plot, "           chua-circuit,t-time,z1,z2,z3,xp[1]=dz[1]/dt\n");
  write_plot_line(streams.plot, t, y[1], y[2], y[3], yp[1]);
  return 0;
}

// --- test09 --------------------------------------------------------------------

int model09(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t, double, int, int* status,
            const int*) {
  const auto& p = test09_params;
  const double s = p.e * std::sin(p.omega * t);
  double x = y[4] / p.vt;
  if (x >= kDiodeExponentLimit) {
    *status = 1;
    return 0;
  }
  if (x < -kDiodeExponentLimit) x = -kDiodeExponentLimit;
  const double E = std::exp(x);
  const double id = p.isat * (E - 1);
  const double Cd = (p.isat + (E - 1) * p.isat) * (p.tau / p.vt) + p.cj;

  f[1] = y[3] - Cd * yp[1];
  f[2] = y[1] - y[6] + y[7];
  f[3] = y[5] - id;
  f[4] = y[4] - y[6] + y[7];
  f[5] = y[8] - y[3] - y[5];
  f[6] = y[3] + y[9] + y[5];
  f[7] = y[11] - y[8];
  f[8] = -y[9] - y[14] - y[15];
  f[9] = y[13] - s;
  f[10] = y[13] - y[17];
  f[11] = y[11] - y[10] * p.r1;
  f[12] = y[11] - y[17] + y[6];
  f[13] = y[14] - yp[2] * p.c1;
  f[14] = y[2] - y[7];
  f[15] = y[16] - y[15] * p.r2;
  f[16] = y[16] - y[7];
  f[17] = y[12] - y[10];

  fyp[flat_index(1, 1, n)] = -Cd;
  fyp[flat_index(13, 2, n)] = -p.c1;

  fy[flat_index(1, 3, n)] = 1;
  fy[flat_index(1, 4, n)] = -(p.tau / p.vt) * yp[1] * p.isat * (1 / p.vt) * E;
  fy[flat_index(3, 4, n)] = -E * p.isat / p.vt;
  fy[flat_index(2, 1, n)] = 1;
  fy[flat_index(2, 6, n)] = -1;
  fy[flat_index(2, 7, n)] = 1;
  fy[flat_index(3, 5, n)] = 1;
  fy[flat_index(4, 4, n)] = 1;
  fy[flat_index(4, 6, n)] = -1;
  fy[flat_index(4, 7, n)] = 1;
  fy[flat_index(5, 3, n)] = -1;
  fy[flat_index(5, 5, n)] = -1;
  fy[flat_index(5, 8, n)] = 1;
  fy[flat_index(6, 3, n)] = 1;
  fy[flat_index(6, 5, n)] = 1;
  fy[flat_index(6, 9, n)] = 1;
  fy[flat_index(7, 8, n)] = -1;
  fy[flat_index(7, 11, n)] = 1;
  fy[flat_index(8, 9, n)] = -1;
  fy[flat_index(8, 14, n)] = -1;
  fy[flat_index(8, 15, n)] = -1;
  fy[flat_index(9, 13, n)] = 1;
  fy[flat_index(10, 13, n)] = 1;
  fy[flat_index(10, 17, n)] = -1;
  fy[flat_index(11, 10, n)] = -p.r1;
  fy[flat_index(11, 11, n)] = 1;
  fy[flat_index(12, 6, n)] = 1;
  fy[flat_index(12, 11, n)] = 1;
  fy[flat_index(12, 17, n)] = -1;
  fy[flat_index(13, 14, n)] = 1;
  fy[flat_index(14, 2, n)] = 1;
  fy[flat_index(14, 7, n)] = -1;
  fy[flat_index(15, 15, n)] = -p.r2;
  fy[flat_index(15, 16, n)] = 1;
  fy[flat_index(16, 7, n)] = -1;
  fy[flat_index(16, 16, n)] = 1;
  fy[flat_index(17, 10, n)] = -1;
  fy[flat_index(17, 12, n)] = 1;

  test09_state.idiode = y[5];
  return 0;
}

// The header goes out whenever t is the start time, also at an error exit.
int print09(double* y, double*, int, int, double t, double t0, double, double, double*, int, const int*) {
  if (t == t0) textout::out_printf(streams.plot, "ac-to-dc-converter,t-time,diod-current,diod-voltage,ic,uc\n");
  textout::out_printf(streams.plot, " %e   %e  %e  %e  %e\n", t, test09_state.idiode, y[1], y[14], y[2]);
  return 0;
}

}  // namespace models
