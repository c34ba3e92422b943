// The DAE battery: ten initial-value problems through DAE_Solver_01.
//
//   storage        DaeStorage (the solver's arrays and scalars), dae
//   frame          open_test_files, close_test_files, set_start, call_solver,
//                  write_statistics, write_result
//   the tests      run_test00 .. run_test09, run_dae_battery
//
// Each test: open its protocol (and plot table), set the model parameters and
// print them, set the start values, print the method, call the solver, print
// ier and the statistics, close the files. The order of lines and whether a
// line goes to the console first, to the file first or to one of them only
// differ per test and are spelled out in each run_testNN.
#include "driver/dae_battery.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "dae/dae_solver.h"
#include "driver/report.h"
#include "driver/shared_ier.h"
#include "models/model_params.h"
#include "models/model_streams.h"
#include "models/models.h"
#include "textout/textout.h"

namespace battery {
namespace {

// --- storage -----------------------------------------------------------------------

// The arrays and scalars handed to DAE_Solver_01. The driver writes y, ye,
// eps and nm only; yp, ype, tstop, status (and ier) are left to the solver,
// so each call starts from what the previous one left.
struct DaeStorage {
  std::array<double, 50> y{};      // unknowns; the start values y(1..n)
  std::array<double, 50> yp{};     // derivatives of the differential unknowns
  std::array<double, 50> ye{};     // start magnitude scales, then end-point stage values
  std::array<double, 50> ype{};    // end-point stage derivatives
  std::array<double, 50> F{};      // residual, written by the model
  std::array<double, 2500> fyp{};  // dF/dy', (i, j) at i*n + j, written by the model
  std::array<double, 2500> fy{};   // dF/dy, (i, j) at i*n + j, written by the model
  double tstop = 0;                // stop time, written by the solver and the output callback
  int status = 0;                  // model status flag
  std::array<int, 10000> ip{};     // statistics and integer workspace
  double eps = 0;                  // relative tolerance of the current test
  int nm = 0;                      // method number of the current call
};

DaeStorage dae;

// --- frame -------------------------------------------------------------------------

constexpr const char* kToleranceLine = "        relative tolerance - eps=%.4g\n\n";
constexpr const char* kMethodLine = "        number of method - nm=%d\n";
constexpr const char* kIerLine = "ier= %d \n";

// Statistics printed after a run: ip[1..16], and ip[1..20] for test03.
constexpr int kStatistics = 16;
constexpr int kLongStatistics = 20;

// Solver arguments that vary per test (t and h are passed as 0, init as 0).
struct SolverSpan {
  int n;  // equations
  int m;  // differential unknowns
  double t0, tend, hmin, hmax;
};

// Where the "ier" line of a test goes, and in which order.
enum class IerEcho { ProtocolOnly, ProtocolFirst, ConsoleFirst };

// Opens the protocol and then, when given, the plot table.
std::FILE* open_test_files(const char* protocol, const char* plot) {
  models::streams.protocol = open_report(protocol);
  models::streams.plot = plot != nullptr ? open_report(plot) : nullptr;
  return models::streams.protocol;
}

void close_test_files() {
  close_report(models::streams.protocol);
  close_report(models::streams.plot);
}

// y(1..) and ye(1..) from the two lists.
void set_start(std::initializer_list<double> y0, std::initializer_list<double> ye0) {
  int i = 1;
  for (const double v : y0) dae.y[i++] = v;
  i = 1;
  for (const double v : ye0) dae.ye[i++] = v;
}

// The output callback of the running test. The solver calls checked_output,
// which passes the call on and then stops the program at once if a line of the
// callback (or of the solver) could not be written.
DAE_Output current_output = nullptr;

int checked_output(double* y, double* yp, int n, int m, double t, double t0, double tend, double h,
                   double* tstop, int kind, const int* ip) {
  const int result = current_output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
  check_report_streams();
  return result;
}

void call_solver(const SolverSpan& s, DAE_Model model, DAE_Output output) {
  current_output = output;
  constexpr double t = 0.0;
  constexpr double h = 0.0;
  constexpr int init = 0;
  DAE_Solver_01(dae.y.data(), dae.yp.data(), dae.ye.data(), dae.ype.data(), dae.F.data(), dae.fyp.data(),
                dae.fy.data(), t, s.t0, s.tend, h, s.hmin, s.hmax, dae.eps, &dae.tstop, s.n, s.m, dae.nm, init,
                &dae.status, &ier, dae.ip.data(), model, checked_output);
}

// ip[1..count], each followed by a blank, on one line.
void write_statistics(std::FILE* stream, int count) {
  for (int k = 1; k <= count; ++k) textout::out_printf(stream, "%d ", dae.ip[k]);
  textout::out_printf(stream, "\n");
}

// The closing lines of a run: ier, then the statistics line to the protocol.
void write_result(std::FILE* protocol, IerEcho route) {
  switch (route) {
    case IerEcho::ProtocolOnly:
      to_file(protocol, kIerLine, ier);
      break;
    case IerEcho::ProtocolFirst:
      echo_file_first(protocol, kIerLine, ier);
      break;
    case IerEcho::ConsoleFirst:
      echo(protocol, kIerLine, ier);
      break;
  }
  write_statistics(protocol, kStatistics);
}

// --- the tests -----------------------------------------------------------------------

// Stiff linear 3x3 system with a known solution: two values of a, three methods each.
void run_test00() {
  std::FILE* protocol = open_test_files("test00.rez", nullptr);
  constexpr std::array<double, 2> kA = {0.001, 0.999};
  for (int ii = 1; ii <= 2; ++ii) {
    auto& p = models::test00_params;
    p.a = kA[ii - 1];
    p.c1 = 1;
    p.c2 = 1.5;
    p.c3 = 1;
    p.l1 = -100000;
    p.l2 = -1;
    p.l3 = -100;
    to_file(protocol, "\nii= %d\n", ii);
    to_file(protocol, "a=%14.5e\nc1=%14.5e c2=%14.5e c3=%14.5e\n l1=%14.5e l2=%14.5e l3= %14.5e\n", p.a, p.c1,
            p.c2, p.c3, p.l1, p.l2, p.l3);
    models::derive_test00_matrix(p);
    dae.eps = 0.001;
    to_file(protocol, kToleranceLine, dae.eps);
    for (int nm = 1; nm <= 3; ++nm) {
      dae.nm = nm;
      to_file(protocol, kMethodLine, dae.nm);
      const double z1 = p.c2 + p.c1 + p.c3;  // the exact solution at t = 0
      const double z2 = p.c2 + p.c1 * p.a - p.c3;
      const double z3 = p.c2 + p.c1 * p.a + p.c3;
      set_start({z1, z2, z3}, {z1, z2, z3});
      call_solver({.n = 3, .m = 3, .t0 = 0, .tend = 10, .hmin = 1e-10, .hmax = 10}, models::model00,
                  models::print00);
      write_result(protocol, IerEcho::ProtocolOnly);
    }
  }
  close_test_files();
}

// Van der Pol equation with stiffness 1e20.
void run_test01() {
  std::FILE* protocol = open_test_files("test01.rez", "grtest01.rez");
  auto& p = models::test01_params;
  p.MU = 1e20;
  dae.eps = 0.0001;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  to_file(protocol, "        stiffness parameter - MU=%.4g\n\n", p.MU);
  set_start({2, 0}, {2, 2});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  const double MU = p.MU;
  call_solver({.n = 2, .m = 2, .t0 = 0, .tend = 8.4 * MU, .hmin = 1e-12 / MU, .hmax = 8.4 * MU},
              models::model01, models::print01);
  write_result(protocol, IerEcho::ProtocolFirst);
  close_test_files();
}

// High-Q filter on the time scale 1e-150.
void run_test02() {
  std::FILE* protocol = open_test_files("test02.rez", "grtest02.rez");
  const double KT = 1e-150;
  const double KU = 1;
  const double KI = 1;
  models::test02_params = models::derive_test02(KT, KU, KI);
  const auto& p = models::test02_params;
  to_console("kt=%Le ku=%Le ki=%Le\n", KT, KU, KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", KT, KU, KI);
  to_file(protocol, "        KR=%Le   KC=%Le   KL=%Le\n", p.KR, p.KC, p.KL);
  echo_file_first(protocol, "    e= %e    r1= %e   l1= %e    c1= %e\n", p.e, p.r1, p.l1, p.c1);
  to_file(protocol, "    c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  to_console("     c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  dae.eps = 0.0001;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  set_start({0, 0, 0, 0, 0}, {0, 0, 0, 0, 0});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 5, .m = 5, .t0 = 0 * KT, .tend = 12560 * KT, .hmin = 1e-06 * KT, .hmax = 12560 * KT},
              models::model02, models::print02);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Stiff cubic oscillator; the only test showing twenty statistics, on the console too.
void run_test03() {
  std::FILE* protocol = open_test_files("test03.rez", "grtest03.rez");
  dae.eps = 1e-08;
  to_file(protocol, "        relative tolerance - eps=%.4g\n", dae.eps);
  set_start({2, 0}, {1, 2});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 2, .m = 2, .t0 = 0, .tend = 3, .hmin = 1e-16, .hmax = 3}, models::model03, models::print03);
  echo_file_first(protocol, kIerLine, ier);
  write_statistics(stdout, kLongStatistics);
  write_statistics(protocol, kLongStatistics);
  close_test_files();
}

// Laser model.
void run_test04() {
  std::FILE* protocol = open_test_files("test04.rez", "grtest04.rez");
  auto& p = models::test04_params;
  p = {.al = 1.5e-18, .be = 2.5e-06, .ga = 2.1e-06, .p = 0.6, .si = 0.18, .ta = 0.016};
  echo(protocol, "al=%Le be=%Le ga=%Le p=%Le si=%Le ta=%Le\n", p.al, p.be, p.ga, p.p, p.si, p.ta);
  dae.eps = 1e-10;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  set_start({-1, 0}, {1, 1});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 2, .m = 2, .t0 = 0, .tend = 1000000, .hmin = 1e-16, .hmax = 1000000}, models::model04,
              models::print04);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Predator-prey system tabulated at whole times through the stop time.
void run_test05() {
  std::FILE* protocol = open_test_files("test05.rez", "grtest05.rez");
  models::test05_state.tnext = 0;
  dae.eps = 0.0001;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  set_start({1, 3}, {1, 3});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 2, .m = 2, .t0 = 0, .tend = 10, .hmin = 1e-07, .hmax = 5}, models::model05, models::print05);
  write_result(protocol, IerEcho::ProtocolFirst);
  close_test_files();
}

// Colpitts oscillator.
void run_test06() {
  std::FILE* protocol = open_test_files("test06.rez", "grtest06.rez");
  const double KT = 1;
  const double KU = 1;
  const double KI = 1;
  models::test06_params = models::derive_test06(KT, KU, KI);
  const auto& p = models::test06_params;
  to_console("%Le %Le %Le\n", KT, KU, KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", KT, KU, KI);
  echo(protocol, "      %e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n\n",
       p.r1, p.r2, p.r3, p.r4, p.r5, p.c1, p.c2, p.l1, p.e, p.is1, p.is2, p.lam, p.cd1, p.cd2, p.cj1, p.cj2);
  dae.eps = 0.001;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  set_start({0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver(
      {.n = 6, .m = 5, .t0 = 0 * KT, .tend = 0.001 * KT, .hmin = (0.001 * KT) / 1e9, .hmax = 0.001 * KT},
      models::model06, models::print06);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Chua circuit with its piecewise-linear diode.
void run_test07() {
  std::FILE* protocol = open_test_files("test07.rez", "grtest07.rez");
  auto& p = models::test07_params;
  p.r = 1.4285714285714286;
  p.c1 = 0.1111111111111111;
  p.c2 = 1;
  p.l = 0.14285714285714285;
  p.fixseg = 0;
  p.xb = {-21, -11, -1, 1, 11, 21};
  p.yb = {0, 5.8, 0.8, -0.8, -5.8, 0};
  p.tolx = 0.001;
  p.toly = 0.001;
  dae.eps = 0.001;
  echo_file_first(protocol, kToleranceLine, dae.eps);
  set_start({0.1, 0, 0}, {});
  for (int i = 1; i <= 3; ++i) dae.ye[i] = std::fabs(dae.y[i]);
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 3, .m = 3, .t0 = 0, .tend = 261.2, .hmin = 1e-10, .hmax = 261.2}, models::model07,
              models::print07);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Capacitor in series with a nonlinear capacitor across a triangle source.
void run_test08() {
  std::FILE* protocol = open_test_files("test08.rez", "grtest08.rez");
  auto& p = models::test08_params;
  p.c1 = 1;
  p.c2 = 0.5;
  echo_file_first(protocol, " c1= %e   c2= %e\n", p.c1, p.c2);
  dae.eps = 1e-05;
  echo_file_first(protocol, "        relative tolerance - eps=%e\n\n", dae.eps);
  set_start({0, 0}, {0, 0});
  dae.nm = 3;
  echo_file_first(protocol, kMethodLine, dae.nm);
  call_solver({.n = 3, .m = 2, .t0 = 0, .tend = 4, .hmin = 1e-16, .hmax = 4}, models::model08, models::print08);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// AC-to-DC converter: 17 equations, two of them differential.
void run_test09() {
  std::FILE* protocol = open_test_files("test09.rez", "grtest09.rez");
  const double KT = 1;
  const double KU = 1;
  const double KI = 1;
  const double tend = 0.16 * KT;
  models::test09_params = models::derive_test09(KT, KU, KI);
  const auto& p = models::test09_params;
  to_file(protocol, "        kt=%e   ku=%e   ki=%e\n", KT, KU, KI);
  to_file(protocol, "      %e    %e    %e    %e   %e\n %e    %e    %e    %e   %e\n\n", p.r1, p.r2, p.c1, p.e,
          p.omega, p.isat, p.cj, p.vt, p.tau, tend);
  dae.eps = 0.001;
  to_file(protocol, kToleranceLine, dae.eps);
  set_start({0, 0}, {0, 0});
  dae.nm = 3;
  to_file(protocol, kMethodLine, dae.nm);
  call_solver({.n = 17, .m = 2, .t0 = 0 * KT, .tend = tend, .hmin = tend / 1e12, .hmax = tend / 20},
              models::model09, models::print09);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

}  // namespace

void run_dae_battery() {
  run_test00();
  run_test01();
  run_test02();
  run_test03();
  run_test04();
  run_test05();
  run_test06();
  run_test07();
  run_test08();
  run_test09();
}

}  // namespace battery
