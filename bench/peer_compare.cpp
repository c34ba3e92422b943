// bench_peer: the DAE battery's runs against SUNDIALS IDA, per test and in
// total: CPU time of DAE_Solver_01 with the reports written and without them,
// CPU time of IDA at the battery's settings, accepted steps of each and the
// time per accepted step. `make bench-peer` runs it, then the whole-process
// comparison with hyperfine.
//
//   measuring    cpu_now, battery_seconds, ida_seconds, best_of
//   the table    Row, measure, per_step_us, print_row, main
//
// Each figure is the best of BENCH_PEER_REPEAT runs (default 5): the machine
// is shared, and the least disturbed run is the closest to the cost itself.
// "With reports" writes the plot tables and protocols to files in a scratch
// directory (and the console lines to /dev/null); "without" gives the output
// callbacks null streams and silences the solver. IDA's time leaves out the
// battery start-up that provides its start values.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "peer/ida_peer.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace {

constexpr int kDefaultRepeat = 5;
constexpr double kMicro = 1e6;

double cpu_now() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct BatteryRun {
  double seconds;
  int steps;
};

// One run of the test on fresh arrays; with reports, its protocol and plot
// table go to files in dir.
BatteryRun battery_seconds(const models::DaeTestCase& c, const std::filesystem::path* dir) {
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  const models::SilentStreams silent;
  std::FILE* console = dir != nullptr ? std::fopen("/dev/null", "w") : nullptr;
  const textout::DiagnosticsTo diagnostics(console);
  const double start = cpu_now();
  if (dir != nullptr) {
    models::streams = {std::fopen((*dir / "protocol.rez").c_str(), "wt"), std::fopen((*dir / "plot.rez").c_str(), "wt"),
                       console};
  }
  models::run_dae_case(c, *arrays, ier);
  for (std::FILE* f : {models::streams.protocol, models::streams.plot, console}) {
    if (f != nullptr) std::fclose(f);
  }
  return {cpu_now() - start, arrays->ip[IP_ACCEPTED_STEPS]};
}

template <class Run>
auto best_of(int repeat, Run run) {
  auto best = run();
  for (int k = 1; k < repeat; ++k) {
    auto next = run();
    if (next.seconds < best.seconds) best = next;
  }
  return best;
}

struct IdaTiming {
  double seconds;
  long steps;
  int flag;
};

IdaTiming ida_seconds(const models::DaeTestCase& c) {
  const textout::DiagnosticsTo quiet(nullptr);
  const peer::IdaRun r = peer::integrate_with_ida(c, peer::battery_settings(c));
  return {r.cpu_seconds, r.steps, r.flag};
}

// --- the table -------------------------------------------------------------------------

struct Row {
  double with_reports = 0, without_reports = 0, ida = 0;
  long battery_steps = 0, ida_steps = 0;
  bool ida_reached_tend = true;
};

Row measure(const models::DaeTestCase& c, const std::filesystem::path& dir, int repeat) {
  const BatteryRun written = best_of(repeat, [&] { return battery_seconds(c, &dir); });
  const BatteryRun silent = best_of(repeat, [&] { return battery_seconds(c, nullptr); });
  const IdaTiming ida = best_of(repeat, [&] { return ida_seconds(c); });
  peer::IdaRun outcome;
  outcome.flag = ida.flag;
  return {written.seconds, silent.seconds, ida.seconds, silent.steps, ida.steps, peer::ida_succeeded(outcome)};
}

double per_step_us(double seconds, long steps) { return steps > 0 ? kMicro * seconds / steps : 0; }

constexpr const char* kHeader = "%-17s %3s %12s %12s %9s %9s %12s %9s %9s %8s\n";
constexpr const char* kLine = "%-17s %3s %12.4e %12.4e %9ld %9.3f %12.4e %9ld %9.3f %8.2f%s\n";

void print_row(const char* name, const std::string& n, const Row& r) {
  textout::out_printf(stdout, kLine, name, n.c_str(), r.with_reports, r.without_reports, r.battery_steps,
                      per_step_us(r.without_reports, r.battery_steps), r.ida, r.ida_steps,
                      per_step_us(r.ida, r.ida_steps), r.ida > 0 ? r.without_reports / r.ida : 0,
                      r.ida_reached_tend ? "" : "  (IDA failed)");
}

}  // namespace

int main() {
  const char* repeat_text = std::getenv("BENCH_PEER_REPEAT");
  const int repeat = repeat_text != nullptr ? std::max(1, std::atoi(repeat_text)) : kDefaultRepeat;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench-peer-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  textout::out_printf(stdout, "DAE battery (DAE_Solver_01) against SUNDIALS IDA at the battery's settings\n");
  textout::out_printf(stdout,
                      "CPU seconds, best of %d runs; us/step = microseconds per accepted step "
                      "(battery without reports)\n\n",
                      repeat);
  textout::out_printf(stdout, kHeader, "test", "n", "battery+rep", "battery", "steps", "us/step", "IDA", "steps",
                      "us/step", "bat/IDA");
  Row total;
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    const Row r = measure(c, dir, repeat);
    print_row(c.name, std::to_string(c.n), r);
    total.with_reports += r.with_reports;
    total.without_reports += r.without_reports;
    total.ida += r.ida;
    total.battery_steps += r.battery_steps;
    total.ida_steps += r.ida_steps;
    total.ida_reached_tend = total.ida_reached_tend && r.ida_reached_tend;
  }
  print_row("total", "", total);
  std::filesystem::remove_all(dir);
  return 0;
}
