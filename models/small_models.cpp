// The small test models and their output callbacks.
//
//   test00   model00, print00 (stiff linear system checked against its exact solution)
//            exact_solution00, track_errors00, write_final_errors00
//   test01   model01, print01 (Van der Pol)
//   test03   model03, print03 (stiff cubic oscillator)
//   test04   model04, print04 (laser)
//   test05   model05, print05 (predator-prey with a protocol table at whole times)
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

// Below this exponent a mode of test00's exact solution counts as decayed to 0.
constexpr double kDecayedExponent = -70;

// Stiffness factor of the cubic oscillator.
constexpr double kCubicStiffness = 1000000;

// Number of statistics that print00 shows on the console.
constexpr int kShownStatistics = 16;

// Exact solution of test00 at t into state.z(1..3).
void exact_solution00(const Test00Params& p, double t, Test00State& state) {
  double w1 = std::exp(p.l1 * t);
  double w2 = std::exp(p.l2 * t);
  double w3 = std::exp(p.l3 * t);
  if (p.l1 * t < kDecayedExponent) w1 = 0;
  if (p.l2 * t < kDecayedExponent) w2 = 0;
  if (p.l3 * t < kDecayedExponent) w3 = 0;
  const double s = p.c2 * w2 + p.a * p.c1 * w1;
  state.z[1] = p.c1 * w1 + p.c2 * w2 + p.c3 * w3;
  state.z[2] = s - p.c3 * w3;
  state.z[3] = s + p.c3 * w3;
}

// Absolute errors of y against z, and their running maxima; a NaN on
// either side is taken over into the maximum so that it shows.
void track_errors00(const double* y, int n, Test00State& state) {
  for (int i = 1; i <= n; ++i) {
    state.ea[i] = std::fabs(y[i] - state.z[i]);
    if (!(state.ea[i] <= state.em[i])) state.em[i] = state.ea[i];
  }
}

void write_errors00(std::FILE* stream, const double* y, int n, double t, const Test00State& state) {
  textout::out_printf(stream, "\nt=%14.5e\n", t);
  for (int i = 1; i <= n; ++i) {
    textout::out_printf(stream, "z[i]=%14.5e ea[i]=%14.5e em[i]=%14.5e\n", y[i], state.ea[i], state.em[i]);
  }
}

// The final error lines: protocol, console, then the statistics on the console.
void write_final_errors00(const double* y, int n, double t, const int* ip, const Test00State& state) {
  write_errors00(streams.protocol, y, n, t, state);
  write_errors00(streams.console, y, n, t, state);
  textout::out_printf(streams.protocol, "\n");
  for (int k = 1; k <= kShownStatistics; ++k) textout::out_printf(streams.console, "%d  ", ip[k]);
  textout::out_printf(streams.console, "\n");
}

}  // namespace

// --- test00 --------------------------------------------------------------------

int model00(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  const auto& M = test00_params.M;
  constexpr int k = kTest00Order;  // stride of M
  for (int i = 1; i <= 3; ++i) {
    f[i] = yp[i] - M[flat_index(i, 1, k)] * y[1] - M[flat_index(i, 2, k)] * y[2] - M[flat_index(i, 3, k)] * y[3];
  }
  for (int i = 1; i <= 3; ++i) fyp[flat_index(i, i, n)] = 1;
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) fy[flat_index(i, j, n)] = -M[flat_index(i, j, k)];
  }
  return 0;
}

int print00(double* y, double*, int n, int, double t, double, double tend, double, double*, int kind, const int* ip) {
  auto& state = test00_state;
  if (kind == 0) {
    constexpr const char* header =
        "time \nx(1) eps x(1) maxeps x(1) \nx(2) eps x(2) maxeps x(2) \nx(3) eps x(3) maxeps x(3)\n";
    textout::out_printf(streams.protocol, header);
    textout::out_printf(streams.console, header);
    state.em = {};
  }
  exact_solution00(test00_params, t, state);
  track_errors00(y, n, state);
  if (t == tend) write_final_errors00(y, n, t, ip, state);
  return 0;
}

// --- test01 --------------------------------------------------------------------

int model01(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  const double MU = test01_params.MU;
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (1 - y[1] * y[1]) * MU * y[2] + y[1];
  fyp[flat_index(1, 1, n)] = 1;
  fyp[flat_index(2, 2, n)] = 1;
  fy[flat_index(1, 2, n)] = -1;
  fy[flat_index(2, 1, n)] = 1 - (y[1] * (-2)) * (y[2] * MU);
  fy[flat_index(2, 2, n)] = -(MU * (1 - y[1] * y[1]));
  return 0;
}

int print01(double* y, double* yp, int, int, double t, double, double, double, double*, int kind, const int*) {
  if (kind == 0) textout::out_printf(streams.plot, "           Van-der-pol equations,t,y1(t),yp1,y2,yp2\n");
  write_plot_line(streams.plot, t, y[1], yp[1], y[2], yp[2]);
  return 0;
}

// --- test03 --------------------------------------------------------------------

int model03(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (y[1] + y[2] - y[1] * y[1] * y[1] - y[1] * y[1] * y[2]) * kCubicStiffness;
  fyp[flat_index(1, 1, n)] = 1;
  fyp[flat_index(2, 2, n)] = 1;
  fy[flat_index(1, 2, n)] = -1;
  fy[flat_index(2, 1, n)] = (1 - 3 * y[1] * y[1] - 2 * y[2] * y[1]) * (-kCubicStiffness);
  fy[flat_index(2, 2, n)] = (1 - y[1] * y[1]) * (-kCubicStiffness);
  return 0;
}

int print03(double* y, double* yp, int, int, double t, double, double, double, double*, int kind, const int*) {
  if (kind == 0) textout::out_printf(streams.plot, "           drovask-test-4-2,t-time,y1,xp1,y1,xp1\n");
  write_plot_line(streams.plot, t, y[1], yp[1], y[1], yp[1]);
  return 0;
}

// --- test04 --------------------------------------------------------------------

int model04(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  const auto& p = test04_params;
  f[1] = (p.al * y[2] + p.be) * y[1] + yp[1] - p.ga;
  f[2] = yp[2] - (y[1] * p.p - p.si) * y[2] - (y[1] + 1) * p.ta;
  fyp[flat_index(1, 1, n)] = 1;
  fyp[flat_index(2, 2, n)] = 1;
  fy[flat_index(1, 1, n)] = p.be + p.al * y[2];
  fy[flat_index(1, 2, n)] = p.al * y[1];
  fy[flat_index(2, 1, n)] = -(p.p * y[2]) - p.ta;
  fy[flat_index(2, 2, n)] = -(p.p * y[1] - p.si);
  return 0;
}

int print04(double* y, double* yp, int, int, double t, double, double, double, double*, int kind, const int*) {
  if (kind == 0) textout::out_printf(streams.plot, "           lazer,t-time,y2,y1,yp1,yp2\n");
  write_plot_line(streams.plot, t, y[2], y[1], yp[1], yp[2]);
  return 0;
}

// --- test05 --------------------------------------------------------------------

int model05(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
            const int*) {
  f[1] = yp[1] - 2 * y[1] + 2 * y[1] * y[2];
  f[2] = yp[2] - y[2] * y[1] + y[2];
  fyp[flat_index(1, 1, n)] = 1;
  fyp[flat_index(2, 2, n)] = 1;
  fy[flat_index(1, 1, n)] = 2 * y[2] - 2;
  fy[flat_index(1, 2, n)] = 2 * y[1];
  fy[flat_index(2, 1, n)] = -y[2];
  fy[flat_index(2, 2, n)] = 1 - y[1];
  return 0;
}

// Writes a protocol line at every whole time and asks the solver, through the
// stop time, to end a step exactly on the next one.
int print05(double* y, double* yp, int, int, double t, double, double, double, double* tstop, int kind, const int*) {
  double& tnext = test05_state.tnext;
  if (kind == 0) {
    textout::out_printf(streams.plot, "           tabulation test from IMSL,t,y1(t),yp1,y2,yp2\n");
  }
  write_plot_line(streams.plot, t, y[1], yp[1], y[2], yp[2]);
  if (t == tnext) textout::out_printf(streams.protocol, "    %e  %e  %e\n", t, y[1], y[2]);
  if (t >= tnext) tnext = tnext + 1;
  if (*tstop > tnext && t <= tnext) *tstop = tnext;
  return 0;
}

}  // namespace models
