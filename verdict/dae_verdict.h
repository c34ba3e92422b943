// The verdict on the DAE battery: each run's state against its reference, with
// the work it took, and SUNDIALS IDA on each test at the battery's settings.
//
//   work         DaeWork, kTimingRepeats
//   battery      HorizonCapture, DaeRow, judge_dae_run
//   peer         PeerRow, judge_peer
//
// The battery's runs are made as run_dae_case makes them, so on fresh arrays
// they are the battery's runs bit for bit; the model and output callbacks are
// wrapped to count the model calls and to see each accepted point, the output
// callbacks write into null streams, and the solver's lines and print00's
// console lines are silenced.
//
// A chaotic test is compared at its reference's horizon. DAE_Solver_01 has no
// interpolation to a time between its points, so a second run lands on the
// horizon: after each output its wrapper writes the horizon as the stop time,
// which a step ends on exactly. The first run records its accepted points before
// the horizon, the landing run does the same, and HorizonCapture says whether
// the two agree bit for bit (they do when the stop time changes nothing before
// it). The work figures stay those of the first run, the battery's own run to
// tend. IDA's state at the horizon is its own interpolation there, within its
// run to tend.
#pragma once

#include <optional>
#include <string>

#include "models/dae_catalogue.h"
#include "verdict/dae_reference.h"

namespace verdict {

// --- work ------------------------------------------------------------------------------

// CPU times are the best of this many runs: the machine is shared, and the
// least disturbed run comes closest to the cost itself.
inline constexpr int kTimingRepeats = 5;

struct DaeWork {
  long accepted_steps = 0;
  long newton_solves = 0;  // DAE_Solver_01: ip[IP_TOTAL_SOLVES]; IDA: nonlinear iterations
  long model_calls = 0;    // calls of the model callback, every kind
  double cpu_seconds = 0;  // process CPU time of the run
};

// --- battery ---------------------------------------------------------------------------

struct HorizonCapture {
  double t;               // the time the landing run's state belongs to (the horizon when it landed)
  long points_before;     // accepted points of the battery's run before the horizon
  bool identical_before;  // the landing run's points before the horizon are the same, bit for bit
};

struct DaeRow {
  const models::DaeTestCase* c;
  int ier;                 // the solver's
  double t;                // the time of the state compared: the last output's, or the horizon
  models::DaeVector y;     // that state
  std::optional<Scd> scd;  // absent when the run failed or there is no reference
  DaeWork work;
  std::optional<HorizonCapture> horizon;  // chaotic tests
};

// The run against its reference (nullptr: no scd). timing_repeats runs are
// timed; the first one also gives the counts and the state.
DaeRow judge_dae_run(const models::DaeTestCase& c, const DaeReference* ref, int timing_repeats = kTimingRepeats);

// --- peer ------------------------------------------------------------------------------

struct PeerRow {
  const models::DaeTestCase* c;  // the catalogue run whose test it integrates (test00: nm = 1 of its pass)
  std::string name;              // "test00 ii=1", "test01", ...
  double rtol;                   // = the run's eps
  int flag;                      // IDA's last return flag
  bool reached_tend;
  double t;  // the time of the state compared: tend, or the horizon
  models::DaeVector y;
  std::optional<Scd> scd;  // absent when IDA did not get there
  DaeWork work;
};

PeerRow judge_peer(const models::DaeTestCase& c, const DaeReference* ref, int timing_repeats = kTimingRepeats);

}  // namespace verdict
