// The DAE battery: ten initial-value problems through DAE_Solver_01.
//
//   storage        dae (the solver's arrays, of the catalogue's kind)
//   frame          open_test_files, close_test_files, test_case,
//                  checked_output, call_solver, write_statistics, write_result
//   test00         run_test00 (six runs in one protocol, no plot table)
//   tests 01-09    header01 .. header09, kTests, run_test
//   the battery    run_dae_battery
//
// The solver's arguments, the start values and the model parameters come from
// the DAE test catalogue (models/dae_catalogue.h); the printing is the driver's.
// Each test: open its protocol (and plot table), set the model parameters and
// print them, set the start values, print the method, call the solver, print
// ier and the statistics, close the files. The header lines, their order and
// whether a line goes to the console first, to the file first or to one of
// them only differ per test and are spelled out in each header function; the
// rest of the frame is one table.
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

// How the closing lines of a run go: the "ier" line to the protocol only, to
// the protocol and then the console, or the reverse; the statistics line to
// the protocol. test03 shows twenty statistics, on the console too.
enum class Closing { ProtocolOnly, ProtocolFirst, ConsoleFirst, LongOnBoth };

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

int checked_output(double* y, double* yp, int n, int m, double t, double t0, double tend, double h, double* tstop,
                   int kind, const int* ip) {
  const int result = current_output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
  check_report_streams();
  return result;
}

// The run's solver call on the battery's arrays, its output lines checked.
void call_solver(const models::DaeTestCase& c) {
  current_output = c.output;
  models::call_dae_solver(c, dae, ier, checked_output);
}

// ip[1..count], each followed by a blank, on one line; to the console when
// file is null.
void write_statistics(std::FILE* file, int count) {
  for (int k = 1; k <= count; ++k) {
    if (file != nullptr) {
      to_file(file, "%d ", dae.ip[k]);
    } else {
      to_console("%d ", dae.ip[k]);
    }
  }
  if (file != nullptr) {
    to_file(file, "\n");
  } else {
    to_console("\n");
  }
}

void write_result(std::FILE* protocol, Closing closing) {
  switch (closing) {
    case Closing::ProtocolOnly:
      to_file(protocol, kIerLine, ier);
      break;
    case Closing::ProtocolFirst:
    case Closing::LongOnBoth:
      echo_file_first(protocol, kIerLine, ier);
      break;
    case Closing::ConsoleFirst:
      echo(protocol, kIerLine, ier);
      break;
  }
  if (closing == Closing::LongOnBoth) {
    write_statistics(nullptr, kLongStatistics);
    write_statistics(protocol, kLongStatistics);
  } else {
    write_statistics(protocol, kStatistics);
  }
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
    to_file(protocol, "a=%14.5e\nc1=%14.5e c2=%14.5e c3=%14.5e\n l1=%14.5e l2=%14.5e l3= %14.5e\n", p.a, p.c1, p.c2,
            p.c3, p.l1, p.l2, p.l3);
    to_file(protocol, kToleranceLine, test_case(runs[0]).eps);
    for (const char* name : runs) {
      const models::DaeTestCase& c = test_case(name);
      to_file(protocol, kMethodLine, c.nm);
      models::set_start_values(c, dae);
      call_solver(c);
      write_result(protocol, Closing::ProtocolOnly);
    }
  }
  close_test_files();
}

// --- tests 01 to 09: their header lines, then one frame for all ---------------------

// Van der Pol equation with stiffness 1e20.
void header01(std::FILE* protocol, const models::DaeTestCase& c) {
  echo_file_first(protocol, kToleranceLine, c.eps);
  to_file(protocol, "        stiffness parameter - MU=%.4g\n\n", models::test01_params.MU);
}

// High-Q filter on the time scale 1e-150.
void header02(std::FILE* protocol, const models::DaeTestCase& c) {
  const auto& p = models::test02_params;
  to_console("kt=%Le ku=%Le ki=%Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KR=%Le   KC=%Le   KL=%Le\n", p.KR, p.KC, p.KL);
  echo_file_first(protocol, "    e= %e    r1= %e   l1= %e    c1= %e\n", p.e, p.r1, p.l1, p.c1);
  to_file(protocol, "    c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  to_console("     c2= %e    c3= %e   l2= %e    r2= %e\n", p.c2, p.c3, p.l2, p.r2);
  echo_file_first(protocol, kToleranceLine, c.eps);
}

// Stiff cubic oscillator; the only test showing twenty statistics, on the console too.
void header03(std::FILE* protocol, const models::DaeTestCase& c) {
  to_file(protocol, "        relative tolerance - eps=%.4g\n", c.eps);
}

// Laser model.
void header04(std::FILE* protocol, const models::DaeTestCase& c) {
  const auto& p = models::test04_params;
  echo(protocol, "al=%Le be=%Le ga=%Le p=%Le si=%Le ta=%Le\n", p.al, p.be, p.ga, p.p, p.si, p.ta);
  echo_file_first(protocol, kToleranceLine, c.eps);
}

// Predator-prey system tabulated at whole times through the stop time (test05);
// Chua circuit with its piecewise-linear diode (test07).
void tolerance_only(std::FILE* protocol, const models::DaeTestCase& c) {
  echo_file_first(protocol, kToleranceLine, c.eps);
}

// Colpitts oscillator.
void header06(std::FILE* protocol, const models::DaeTestCase& c) {
  const auto& p = models::test06_params;
  to_console("%Le %Le %Le\n", p.KT, p.KU, p.KI);
  to_file(protocol, "        KT=%Le   KU=%Le   KI=%Le\n", p.KT, p.KU, p.KI);
  echo(protocol, "      %e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n%e    %e    %e    %e\n\n",
       p.r1, p.r2, p.r3, p.r4, p.r5, p.c1, p.c2, p.l1, p.e, p.is1, p.is2, p.lam, p.cd1, p.cd2, p.cj1, p.cj2);
  echo_file_first(protocol, kToleranceLine, c.eps);
}

// Capacitor in series with a nonlinear capacitor across a triangle source.
void header08(std::FILE* protocol, const models::DaeTestCase& c) {
  const auto& p = models::test08_params;
  echo_file_first(protocol, " c1= %e   c2= %e\n", p.c1, p.c2);
  echo_file_first(protocol, "        relative tolerance - eps=%e\n\n", c.eps);
}

// AC-to-DC converter: 17 equations, two of them differential.
void header09(std::FILE* protocol, const models::DaeTestCase& c) {
  const auto& p = models::test09_params;
  to_file(protocol, "        kt=%e   ku=%e   ki=%e\n", p.KT, p.KU, p.KI);
  to_file(protocol, "      %e    %e    %e    %e   %e\n %e    %e    %e    %e   %e\n\n", p.r1, p.r2, p.c1, p.e, p.omega,
          p.isat, p.cj, p.vt, p.tau, c.tend);
  to_file(protocol, kToleranceLine, c.eps);
}

struct DaeTest {
  const char* name;  // the catalogue's run
  const char* protocol;
  const char* plot;
  void (*write_header)(std::FILE* protocol, const models::DaeTestCase& c);
  bool method_on_console;  // test08 shows its method line on the console too
  Closing closing;
};

constexpr std::array<DaeTest, 9> kTests = {{
    {"test01", "test01.rez", "grtest01.rez", header01, false, Closing::ProtocolFirst},
    {"test02", "test02.rez", "grtest02.rez", header02, false, Closing::ConsoleFirst},
    {"test03", "test03.rez", "grtest03.rez", header03, false, Closing::LongOnBoth},
    {"test04", "test04.rez", "grtest04.rez", header04, false, Closing::ConsoleFirst},
    {"test05", "test05.rez", "grtest05.rez", tolerance_only, false, Closing::ProtocolFirst},
    {"test06", "test06.rez", "grtest06.rez", header06, false, Closing::ConsoleFirst},
    {"test07", "test07.rez", "grtest07.rez", tolerance_only, false, Closing::ConsoleFirst},
    {"test08", "test08.rez", "grtest08.rez", header08, true, Closing::ConsoleFirst},
    {"test09", "test09.rez", "grtest09.rez", header09, false, Closing::ConsoleFirst},
}};

// Open the files, set the parameters, the header lines, the start values, the
// method line, the solver call, the closing lines, close the files.
void run_test(const DaeTest& test) {
  const models::DaeTestCase& c = test_case(test.name);
  std::FILE* protocol = open_test_files(test.protocol, test.plot);
  c.set_parameters();
  test.write_header(protocol, c);
  models::set_start_values(c, dae);
  if (test.method_on_console) {
    echo_file_first(protocol, kMethodLine, c.nm);
  } else {
    to_file(protocol, kMethodLine, c.nm);
  }
  call_solver(c);
  write_result(protocol, test.closing);
  close_test_files();
}

}  // namespace

void run_dae_battery() {
  run_test00();
  for (const DaeTest& test : kTests) run_test(test);
}

}  // namespace battery
