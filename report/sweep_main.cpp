// report_sweep: the work-precision sweep of the DAE tests.
//
//   usage: report_sweep REFERENCES DIR [--grid full|short]
//
// Runs every test with a reference, by nm = 1..4 and by IDA, at tolerances
// from 1e-2 down to 1e-10 (full: three per decade; short: one per decade, for
// a quick check), on two threads. Prints one line per run; writes
// DIR/wp_<case>.dat for each diagram and DIR/sweep.tsv with every run.
//
//   settings   kLoosest, kTightest, kMaxSteps, kMaxCpuSeconds, settings_for
//   output     print_progress, write_file
//   entry      main
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "models/model_streams.h"
#include "report/sweep.h"
#include "textout/textout.h"

namespace {

constexpr double kLoosest = 1e-2;
constexpr double kTightest = 1e-10;
constexpr int kFullPerDecade = 3;
constexpr int kShortPerDecade = 1;
// A run that needs more is beyond what the method can afford here: the
// tighter tolerances are left out. Implicit Euler reaches the step limit
// first; IDA has no time limit of its own, only the step limit.
constexpr long long kMaxSteps = 200000;
constexpr double kMaxCpuSeconds = 2.0;
// Runs shorter than this are repeated and the fastest kept: a single run of
// a few microseconds is mostly the clock's noise.
constexpr double kMinTimingSeconds = 0.01;
constexpr int kThreads = 2;

report::SweepSettings settings_for(int per_decade) {
  report::SweepSettings s;
  s.eps = report::eps_grid(kLoosest, kTightest, per_decade);
  s.limits = {kMaxSteps, kMaxCpuSeconds};
  s.threads = kThreads;
  s.min_timing_seconds = kMinTimingSeconds;
  return s;
}

const char* outcome_text(const report::SweepPoint& p) {
  switch (p.outcome) {
    case report::Outcome::reached:
      return "";
    case report::Outcome::limit:
      return "  stopped by the limits";
    case report::Outcome::failed:
      return "  failed";
    case report::Outcome::skipped:
      return "  skipped";
  }
  return "";
}

void print_progress(const report::SweepPoint& p) {
  textout::out_printf(stdout, "%-12s %-20s eps %.1e  %.2e s  %7lld steps  scd %5.2f%s\n", p.sweep_case->title.c_str(),
                      report::method_label(p.method), p.eps, p.run.cpu_seconds, p.run.steps, p.scd, outcome_text(p));
  std::fflush(stdout);
}

bool write_file(const std::string& path, const std::function<void(std::FILE*)>& write) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  write(out);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool short_grid = argc == 5 && std::strcmp(argv[3], "--grid") == 0 && std::strcmp(argv[4], "short") == 0;
  const bool full_grid =
      argc == 3 || (argc == 5 && std::strcmp(argv[3], "--grid") == 0 && std::strcmp(argv[4], "full") == 0);
  if (!short_grid && !full_grid) {
    std::fprintf(stderr, "usage: report_sweep REFERENCES DIR [--grid full|short]\n");
    return 2;
  }
  std::string error;
  const auto references = verdict::load_references(argv[1], &error);
  if (!references) {
    std::fprintf(stderr, "report_sweep: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::string dir = argv[2];
  models::streams = {nullptr, nullptr, nullptr};
  const auto cases = report::sweep_cases(*references);
  const report::SweepSettings settings = settings_for(short_grid ? kShortPerDecade : kFullPerDecade);
  const auto points = report::sweep(cases, settings, print_progress);
  bool written =
      write_file(dir + "/sweep.tsv", [&](std::FILE* out) { report::write_sweep_table(out, points, settings); });
  for (const auto& c : cases) {
    written = written && write_file(dir + "/wp_" + c.slug + ".dat",
                                    [&](std::FILE* out) { report::write_diagram_data(out, points, c); });
  }
  if (!written) {
    std::fprintf(stderr, "report_sweep: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
