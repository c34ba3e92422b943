// The work-precision sweep: every DAE test at a grid of tolerances, by each
// method of DAE_Solver_01 and by SUNDIALS IDA, measured against the reference
// solutions.
//
//   the grid       Method, kMethods, method_label, eps_grid, SweepSettings
//   the cases      SweepCase, sweep_cases
//   the outcome    Outcome, SweepPoint
//   running        sweep
//   writing        write_diagram_data, write_sweep_table
//
// A method that hits the limits at some tolerance is not run at the tighter
// ones: those would cost more still. The tolerances it finished are the range
// it can afford.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "models/dae_catalogue.h"
#include "report/case_run.h"
#include "verdict/dae_reference.h"

namespace report {

// nm = 1..4 of DAE_Solver_01, then IDA.
inline constexpr int kIdaMethod = 5;
inline constexpr int kMethods[] = {1, 2, 3, 4, kIdaMethod};

// "nm=1 implicit Euler", ..., "IDA".
const char* method_label(int method);

// per_decade tolerances per decade from loose down to tight, both included
// (loose > tight > 0).
std::vector<double> eps_grid(double loose, double tight, int per_decade);

struct SweepSettings {
  std::vector<double> eps;        // loosest first
  RunLimits limits;               // of every run
  int threads = 2;                // runs of different tests at once
  double min_timing_seconds = 0;  // a shorter run is repeated up to this time, its best kept
};

// A diagram: one test (test00: one of its two passes) at its reference.
struct SweepCase {
  std::string slug;         // "test00_ii1", "test03", ...: file names
  std::string title;        // "test00 ii=1", "test03", ...
  models::DaeTestCase run;  // the catalogue's case, ending where the reference holds
  const verdict::DaeReference* reference;
};

// The catalogue's tests that have a reference, in catalogue order; test00 by
// its passes (its methods are swept anyway).
std::vector<SweepCase> sweep_cases(const std::vector<verdict::DaeReference>& references);

// The case, ending where the reference holds: a chaotic test is compared
// before its tend, and a run to there costs what the comparison needs.
models::DaeTestCase case_at_reference(const models::DaeTestCase& c, const verdict::DaeReference& reference);

// scd of y(1..n) against the reference (verdict::significant_digits), with a
// state that has no correct digit, or a NaN, drawn at 0.
double plotted_digits(const verdict::DaeReference& reference, const models::DaeVector& y, int n);

enum class Outcome {
  reached,  // got to the reference's time: scd counts
  limit,    // stopped by the step or time limit
  failed,   // the integrator gave up (its code)
  skipped,  // not run: a looser tolerance already hit the limits
};

struct SweepPoint {
  const SweepCase* sweep_case;
  int method;
  double eps;
  Outcome outcome;
  CaseRun run;
  double scd;
};

// Every case by every method at every tolerance; progress(point) after each
// run, from the worker threads one at a time. Points in case, method, eps order.
std::vector<SweepPoint> sweep(const std::vector<SweepCase>& cases, const SweepSettings& settings,
                              const std::function<void(const SweepPoint&)>& progress);

// The points of one case that reached the reference: a block per method (in
// kMethods order, headed by a comment naming it, blocks apart by two blank
// lines), rows "eps scd seconds steps".
void write_diagram_data(std::FILE* out, const std::vector<SweepPoint>& points, const SweepCase& c);

// The settings as comment lines ("# ..."), then every point, one
// tab-separated row each, after a header row.
void write_sweep_table(std::FILE* out, const std::vector<SweepPoint>& points, const SweepSettings& settings);

}  // namespace report
