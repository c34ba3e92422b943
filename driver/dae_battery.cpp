// The DAE battery: ten initial-value problems through DAE_Solver_01.
//
//   storage        dae (the solver's arrays, of the catalogue's kind)
//   frame          open_test_files, close_test_files, test_case,
//                  checked_output, call_solver,
//                  write_statistics, write_result
//   the tests      run_test00 .. run_test09, run_dae_battery
//
// The solver's arguments, the start values and the model parameters come from
// the DAE test catalogue (models/dae_catalogue.h); the printing is the driver's.
// Each test: open its protocol (and plot table), set the model parameters and
// print them, set the start values, print the method, call the solver, print
// ier and the statistics, close the files. The order of lines and whether a
// line goes to the console first, to the file first or to one of them only
// differ per test and are spelled out in each run_testNN.
#include "driver/dae_battery.h"

#include <array>
#include <cstdio>

#include "driver/report.h"
#include "driver/shared_ier.h"
#include "models/dae_catalogue.h"
#include "models/model_params.h"
#include "models/model_streams.h"
#include "textout/textout.h"

namespace battery {
namespace {

// --- storage -----------------------------------------------------------------------

// The arrays handed to every DAE_Solver_01 call of the battery. The driver
// writes y and ye only (through the catalogue); yp, ype, tstop, status (and
// ier) are left to the solver, so each call starts from what the previous one
// left (which the catalogue shows to make no difference).
models::DaeArrays dae;

// --- frame -------------------------------------------------------------------------

constexpr const char* kToleranceLine = "        relative tolerance - eps=%.4g\n\n";
constexpr const char* kMethodLine = "        number of method - nm=%d\n";
constexpr const char* kIerLine = "ier= %d \n";

// Statistics printed after a run: ip[1..16], and ip[1..20] for test03.
constexpr int kStatistics = 16;
constexpr int kLongStatistics = 20;

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

// The catalogue's run of this name; every name used below is in it.
const models::DaeTestCase& test_case(const char* name) { return *models::find_dae_case(name); }

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

// The run's solver call on the battery's arrays, its output lines checked.
void call_solver(const models::DaeTestCase& c) {
  current_output = c.output;
  models::call_dae_solver(c, dae, ier, checked_output);
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
  constexpr std::array<std::array<const char*, 3>, 2> kRuns = {{
      {"test00 ii=1 nm=1", "test00 ii=1 nm=2", "test00 ii=1 nm=3"},
      {"test00 ii=2 nm=1", "test00 ii=2 nm=2", "test00 ii=2 nm=3"},
  }};
  std::FILE* protocol = open_test_files("test00.rez", nullptr);
  for (int ii = 1; ii <= 2; ++ii) {
    const auto& runs = kRuns[ii - 1];
    test_case(runs[0]).set_parameters();
    const auto& p = models::test00_params;
    to_file(protocol, "\nii= %d\n", ii);
    to_file(protocol, "a=%14.5e\nc1=%14.5e c2=%14.5e c3=%14.5e\n l1=%14.5e l2=%14.5e l3= %14.5e\n", p.a, p.c1,
            p.c2, p.c3, p.l1, p.l2, p.l3);
    to_file(protocol, kToleranceLine, test_case(runs[0]).eps);
    for (const char* name : runs) {
      const models::DaeTestCase& c = test_case(name);
      to_file(protocol, kMethodLine, c.nm);
      models::set_start_values(c, dae);
      call_solver(c);
      write_result(protocol, IerEcho::ProtocolOnly);
    }
  }
  close_test_files();
}

// Van der Pol equation with stiffness 1e20.
void run_test01() {
  const models::DaeTestCase& c = test_case("test01");
  std::FILE* protocol = open_test_files("test01.rez", "grtest01.rez");
  c.set_parameters();
  echo_file_first(protocol, kToleranceLine, c.eps);
  to_file(protocol, "        stiffness parameter - MU=%.4g\n\n", models::test01_params.MU);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ProtocolFirst);
  close_test_files();
}

// High-Q filter on the time scale 1e-150.
void run_test02() {
  const models::DaeTestCase& c = test_case("test02");
  std::FILE* protocol = open_test_files("test02.rez", "grtest02.rez");
  c.set_parameters();
  const auto& p = models::test02_params;
  to_console("kt=%Le ku=%Le ki=%Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KR=%Le   KC=%Le   KL=%Le\n", p.KR, p.KC, p.KL);
  echo_file_first(protocol, "    e= %e    r1= %e   l1= %e    c1= %e\n", p.e, p.r1, p.l1, p.c1);
  to_file(protocol, "    c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  to_console("     c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  echo_file_first(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Stiff cubic oscillator; the only test showing twenty statistics, on the console too.
void run_test03() {
  const models::DaeTestCase& c = test_case("test03");
  std::FILE* protocol = open_test_files("test03.rez", "grtest03.rez");
  c.set_parameters();
  to_file(protocol, "        relative tolerance - eps=%.4g\n", c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  echo_file_first(protocol, kIerLine, ier);
  write_statistics(stdout, kLongStatistics);
  write_statistics(protocol, kLongStatistics);
  close_test_files();
}

// Laser model.
void run_test04() {
  const models::DaeTestCase& c = test_case("test04");
  std::FILE* protocol = open_test_files("test04.rez", "grtest04.rez");
  c.set_parameters();
  const auto& p = models::test04_params;
  echo(protocol, "al=%Le be=%Le ga=%Le p=%Le si=%Le ta=%Le\n", p.al, p.be, p.ga, p.p, p.si, p.ta);
  echo_file_first(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Predator-prey system tabulated at whole times through the stop time.
void run_test05() {
  const models::DaeTestCase& c = test_case("test05");
  std::FILE* protocol = open_test_files("test05.rez", "grtest05.rez");
  c.set_parameters();
  echo_file_first(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ProtocolFirst);
  close_test_files();
}

// Colpitts oscillator.
void run_test06() {
  const models::DaeTestCase& c = test_case("test06");
  std::FILE* protocol = open_test_files("test06.rez", "grtest06.rez");
  c.set_parameters();
  const auto& p = models::test06_params;
  to_console("%Le %Le %Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", p.KT, p.KU, p.KI);
  echo(protocol, "      %e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n\n",
       p.r1, p.r2, p.r3, p.r4, p.r5, p.c1, p.c2, p.l1, p.e, p.is1, p.is2, p.lam, p.cd1, p.cd2, p.cj1, p.cj2);
  echo_file_first(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Chua circuit with its piecewise-linear diode.
void run_test07() {
  const models::DaeTestCase& c = test_case("test07");
  std::FILE* protocol = open_test_files("test07.rez", "grtest07.rez");
  c.set_parameters();
  echo_file_first(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// Capacitor in series with a nonlinear capacitor across a triangle source.
void run_test08() {
  const models::DaeTestCase& c = test_case("test08");
  std::FILE* protocol = open_test_files("test08.rez", "grtest08.rez");
  c.set_parameters();
  const auto& p = models::test08_params;
  echo_file_first(protocol, " c1= %e   c2= %e\n", p.c1, p.c2);
  echo_file_first(protocol, "        relative tolerance - eps=%e\n\n", c.eps);
  models::set_start_values(c, dae);
  echo_file_first(protocol, kMethodLine, c.nm);
  call_solver(c);
  write_result(protocol, IerEcho::ConsoleFirst);
  close_test_files();
}

// AC-to-DC converter: 17 equations, two of them differential.
void run_test09() {
  const models::DaeTestCase& c = test_case("test09");
  std::FILE* protocol = open_test_files("test09.rez", "grtest09.rez");
  c.set_parameters();
  const auto& p = models::test09_params;
  to_file(protocol, "        kt=%e   ku=%e   ki=%e\n", p.KT, p.KU, p.KI);
  to_file(protocol, "      %e    %e    %e    %e   %e\n %e    %e    %e    %e   %e\n\n", p.r1, p.r2, p.c1, p.e,
          p.omega, p.isat, p.cj, p.vt, p.tau, c.tend);
  to_file(protocol, kToleranceLine, c.eps);
  models::set_start_values(c, dae);
  to_file(protocol, kMethodLine, c.nm);
  call_solver(c);
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
