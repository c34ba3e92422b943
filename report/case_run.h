// One run of a catalogue case at any method and tolerance, silent and with a
// limit on its work, timed in the CPU time of the calling thread.
//
//   limits       RunLimits
//   result       CaseRun
//   observing    StepObserver
//   running      thread_cpu_seconds, run_case, run_ida_case
//
// Threads: a run sets the model's process-wide parameters (models/
// model_params.h) and its callbacks write the process-wide models::streams,
// so two runs of the same test must not overlap; runs of different tests may.
// The caller keeps models::streams null (or points them at its own files while
// no other thread runs).
#pragma once

#include "models/dae_catalogue.h"

namespace report {

struct RunLimits {
  long long max_steps = 0;     // accepted steps; 0 = no limit
  double max_cpu_seconds = 0;  // checked every few steps; 0 = no limit
};

struct CaseRun {
  bool reached_end = false;  // the run got to tend
  int code = 0;              // DAE_IER_* (dae/dae_core.h), or IDA's flag
  double t = 0;              // where the run ended
  models::DaeVector y{};     // the state there
  long long steps = 0;       // accepted steps
  double cpu_seconds = 0;    // thread CPU time of the whole call
};

// Called after each accepted step with the time reached and the step taken.
struct StepObserver {
  void (*function)(void* context, double t, double h);
  void* context;
};

// CPU time of the calling thread.
double thread_cpu_seconds();

// The case with its method and tolerance replaced, through DAE_Solver_01's
// integrator, with the case's own output callback (except test00's, which
// prints on standard output and changes nothing the run reads). With the
// battery's nm and eps this is the battery's run, step for step.
CaseRun run_case(const models::DaeTestCase& c, int nm, double eps, const RunLimits& limits,
                 StepObserver observer = {nullptr, nullptr});

// The case through SUNDIALS IDA at rtol, atol_i = rtol * floor_i; only
// max_steps of the limits applies. Its time includes the battery's start-up,
// which provides IDA's start values.
CaseRun run_ida_case(const models::DaeTestCase& c, double rtol, const RunLimits& limits);

}  // namespace report
