// The work-precision sweep (see sweep.h).
//
//   the grid       method_label, eps_grid
//   the cases      case_at_reference, plotted_digits, sweep_cases
//   running        hit_limits, timed_run, sweep_method, sweep_group, sweep
//   writing        outcome_word, write_diagram_data, write_sweep_table
#include "report/sweep.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <span>
#include <thread>

#include "dae/dae_core.h"
#include "textout/textout.h"

namespace report {

// --- the grid --------------------------------------------------------------------------

const char* method_label(int method) {
  switch (method) {
    case 1:
      return "nm=1 implicit Euler";
    case 2:
      return "nm=2 trapezoidal";
    case 3:
      return "nm=3 three-point";
    case 4:
      return "nm=4 automatic";
    case kIdaMethod:
      return "SUNDIALS IDA";
  }
  return "?";
}

std::vector<double> eps_grid(double loose, double tight, int per_decade) {
  std::vector<double> grid;
  const double decades = std::log10(loose / tight);
  const int steps = static_cast<int>(std::lround(decades * per_decade));
  // Each tolerance as a power of ten, not by repeated division or a product,
  // so that the grid holds 1e-3 itself (the battery's own eps for several
  // tests) rather than a neighbour.
  const double top = std::log10(loose);
  for (int k = 0; k <= steps; ++k) {
    grid.push_back(std::pow(10.0, top - static_cast<double>(k) / per_decade));
  }
  return grid;
}

// --- the cases -------------------------------------------------------------------------

models::DaeTestCase case_at_reference(const models::DaeTestCase& c, const verdict::DaeReference& reference) {
  // The file's times are decimal copies: a tend computed from scale factors
  // (8.4 * 1e20) may differ from its copy in the last bit, and that bit moves
  // every step. Only a reference well before tend moves the end.
  constexpr double kSameTime = 1e-12;
  models::DaeTestCase at = c;
  if (std::fabs(reference.t - c.tend) > kSameTime * std::fabs(c.tend)) at.tend = reference.t;
  return at;
}

double plotted_digits(const verdict::DaeReference& reference, const models::DaeVector& y, int n) {
  const auto scd = verdict::significant_digits(std::span<const double>(y.data() + 1, static_cast<std::size_t>(n)),
                                               reference.components);
  return scd ? std::max(0.0, scd->digits) : 0.0;
}

std::vector<SweepCase> sweep_cases(const std::vector<verdict::DaeReference>& references) {
  std::vector<SweepCase> cases;
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    const verdict::DaeReference* r = verdict::find_reference(references, c.test, c.ii);
    if (r == nullptr) continue;
    const bool seen = std::any_of(cases.begin(), cases.end(),
                                  [&](const SweepCase& s) { return s.run.test == c.test && s.run.ii == c.ii; });
    if (seen) continue;
    const std::string number = textout::out_format("test%02d", c.test);
    const std::string pass = textout::out_format("ii%d", c.ii);
    SweepCase s{number, number, case_at_reference(c, *r), r};
    if (c.test == 0) {
      s.slug = number + "_" + pass;
      s.title = number + textout::out_format(" ii=%d", c.ii);
    }
    cases.push_back(s);
  }
  return cases;
}

// --- running ---------------------------------------------------------------------------

namespace {

bool hit_limits(int method, const CaseRun& run) {
  if (method == kIdaMethod) return run.code == -1;  // IDA_TOO_MUCH_WORK
  return run.code == dae::DAE_IER_STEP_LIMIT || run.code == dae::DAE_IER_STOPPED;
}

// One run, repeated while the runs so far took less than min_seconds in all;
// the fastest is kept (the machine is shared: the least disturbed run is
// closest to the cost itself).
CaseRun timed_run(const SweepCase& c, int method, double eps, const SweepSettings& settings) {
  constexpr int kMostRepeats = 50;
  CaseRun best;
  double total = 0;
  for (int k = 0; k < kMostRepeats; ++k) {
    const CaseRun run = method == kIdaMethod ? run_ida_case(c.run, eps, settings.limits)
                                             : run_case(c.run, method, eps, settings.limits);
    if (k == 0 || run.cpu_seconds < best.cpu_seconds) best = run;
    total += run.cpu_seconds;
    if (!run.reached_end || total >= settings.min_timing_seconds) break;
  }
  return best;
}

// The tolerances of one method, loosest first, until the limits stop a run.
void sweep_method(const SweepCase& c, int method, const SweepSettings& settings,
                  const std::function<void(SweepPoint)>& record) {
  bool beyond_reach = false;
  for (const double eps : settings.eps) {
    SweepPoint p{&c, method, eps, Outcome::skipped, {}, 0};
    if (!beyond_reach) {
      p.run = timed_run(c, method, eps, settings);
      if (p.run.reached_end) {
        p.outcome = Outcome::reached;
        p.scd = plotted_digits(*c.reference, p.run.y, c.run.n);
      } else {
        p.outcome = hit_limits(method, p.run) ? Outcome::limit : Outcome::failed;
        beyond_reach = p.outcome == Outcome::limit;
      }
    }
    record(p);
  }
}

}  // namespace

std::vector<SweepPoint> sweep(const std::vector<SweepCase>& cases, const SweepSettings& settings,
                              const std::function<void(const SweepPoint&)>& progress) {
  // Runs of one test share its model's process-wide parameters: a test's cases
  // (test00's two passes) go to one thread, one run after another.
  std::map<int, std::vector<const SweepCase*>> by_test;
  for (const SweepCase& c : cases) by_test[c.run.test].push_back(&c);
  std::vector<std::vector<const SweepCase*>> groups;
  groups.reserve(by_test.size());
  for (auto& [test, group] : by_test) groups.push_back(group);
  // The larger systems first: their runs cost most, and a long group taken
  // last would leave the other thread idle at the end.
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a.front()->run.n > b.front()->run.n; });

  std::vector<SweepPoint> points;
  std::mutex lock;
  const auto record = [&](SweepPoint p) {
    const std::lock_guard<std::mutex> hold(lock);
    points.push_back(p);
    if (p.outcome != Outcome::skipped) progress(p);
  };
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (std::size_t g = next++; g < groups.size(); g = next++) {
      for (const SweepCase* c : groups[g]) {
        for (const int method : kMethods) sweep_method(*c, method, settings, record);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int k = 1; k < settings.threads; ++k) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();

  const auto order = [&](const SweepPoint& a, const SweepPoint& b) {
    const auto ia = a.sweep_case - cases.data();
    const auto ib = b.sweep_case - cases.data();
    if (ia != ib) return ia < ib;
    if (a.method != b.method) return a.method < b.method;
    return a.eps > b.eps;
  };
  std::sort(points.begin(), points.end(), order);
  return points;
}

// --- writing ---------------------------------------------------------------------------

namespace {

const char* outcome_word(Outcome o) {
  switch (o) {
    case Outcome::reached:
      return "reached";
    case Outcome::limit:
      return "limit";
    case Outcome::failed:
      return "failed";
    case Outcome::skipped:
      return "skipped";
  }
  return "?";
}

}  // namespace

void write_diagram_data(std::FILE* out, const std::vector<SweepPoint>& points, const SweepCase& c) {
  bool first = true;
  for (const int method : kMethods) {
    textout::out_printf(out, "%s# %s\n# eps scd cpu_seconds steps\n", first ? "" : "\n\n", method_label(method));
    first = false;
    for (const SweepPoint& p : points) {
      if (p.sweep_case != &c || p.method != method || p.outcome != Outcome::reached) continue;
      textout::out_printf(out, "%.3e %.4f %.6e %lld\n", p.eps, p.scd, p.run.cpu_seconds, p.run.steps);
    }
  }
}

void write_sweep_table(std::FILE* out, const std::vector<SweepPoint>& points, const SweepSettings& settings) {
  textout::out_printf(out, "# tolerances: %zu from %.0e to %.0e\n", settings.eps.size(), settings.eps.front(),
                      settings.eps.back());
  textout::out_printf(out, "# limits of a run: %lld accepted steps, %g s of CPU time (IDA: the steps only)\n",
                      settings.limits.max_steps, settings.limits.max_cpu_seconds);
  textout::out_printf(out, "# CPU time: of the thread that ran it; runs under %g s repeated, the fastest kept\n",
                      settings.min_timing_seconds);
  textout::out_printf(out, "case\tmethod\teps\toutcome\tcode\tscd\tcpu_seconds\tsteps\n");
  for (const SweepPoint& p : points) {
    textout::out_printf(out, "%s\t%d\t%.3e\t%s\t%d\t%.4f\t%.6e\t%lld\n", p.sweep_case->slug.c_str(), p.method, p.eps,
                        outcome_word(p.outcome), p.run.code, p.scd, p.run.cpu_seconds, p.run.steps);
  }
}

}  // namespace report
