// The integrator core behind DAE_Solver_01, for callers that need more than
// its fixed interface: callbacks that carry the caller's own data (no
// globals), an output routine that can stop the run, a limit on the steps, a
// run without console lines, and the statistics that ip has no place for.
//
//   callbacks    ModelCallback, OutputCallback, OutputReply
//   arguments    CoreArrays, CoreSettings
//   result       CoreResult, DAE_IER_STOPPED, DAE_IER_STEP_LIMIT
//   entry        integrate
//
// With the same arrays, settings and callbacks that compute the same values,
// integrate computes bit for bit what DAE_Solver_01 computes (DAE_Solver_01 is
// a thin wrapper over it). Arrays, matrices, ip, the model contract and the
// codes 0..8 are those of dae/dae_solver.h; only what differs is written here.
#pragma once

#include "dae/dae_solver.h"

namespace dae {

// ---------------------------------------------------------------------------
// Callbacks

// The model: the arguments of DAE_Model, after the caller's context pointer,
// which integrate passes through untouched. The return value is ignored.
struct ModelCallback {
  int (*function)(void* context, double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t,
                  double h, int kind, int* status, const int* ip);
  void* context;
};

// What the output routine asks for after an output of kind 0 or 1.
enum class OutputReply {
  proceed,  // go on
  stop,     // end the run here: ier = DAE_IER_STOPPED (see integrate)
};

// The output routine: the arguments of DAE_Output, after the context pointer.
// Its reply is read after the calls of kind 0 and 1, ignored after kind -1.
struct OutputCallback {
  OutputReply (*function)(void* context, double* y, double* yp, int n, int m, double t, double t0, double tend,
                          double h, double* tstop, int kind, const int* ip);
  void* context;
};

// ---------------------------------------------------------------------------
// Arguments

// The caller's arrays, as for DAE_Solver_01 (1-based; matrices with (i, j) at
// i*n + j). ye must hold the magnitude scales |ye_i| on entry; see
// dae/dae_solver.h for each array's role.
struct CoreArrays {
  double* y;
  double* yp;
  double* ye;
  double* ype;
  double* F;
  double* fyp;
  double* fy;
  double* tstop;  // read before every step, rewritten to 2*tend after it
  int* status;    // the model's report flag
  int* ip;        // statistics and integer workspace, 3n + 22 ints
};

// The settings of DAE_Solver_01, and what it has no argument for.
struct CoreSettings {
  double t0;
  double tend;
  double hmin;
  double hmax;
  double eps;
  int n;
  int m;
  int nm;
  int init;
  bool forward_differences = false;  // fy by difference quotients (ier = -1 for DAE_Solver_01)
  long long max_steps = 0;           // accepted steps allowed; 0 = no limit
  bool quiet = false;                // no console lines (see integrate)
  double h = 0;                      // ignored, like DAE_Solver_01's h, except that the
                                     // output call of an argument error reports it
};

// ---------------------------------------------------------------------------
// Result

// Codes beyond those of DAE_Solver_01 (which never returns them).
inline constexpr int DAE_IER_STOPPED = 9;      // the output routine replied stop
inline constexpr int DAE_IER_STEP_LIMIT = 10;  // max_steps steps accepted before tend

struct CoreResult {
  int ier;                          // DAE_IER_* of dae/dae_solver.h, or the two above
  double t;                         // working time at the end: tend after success, the
                                    // end of the failed attempt after a failure, the
                                    // last output's t after a stop or the step limit
  double h;                         // step of the last attempt
  long long accepted_steps;         // = ip[3]
  long long accepted_error_failed;  // steps accepted although their error estimate exceeded
                                    // eps, because h <= 4*hmin could not be halved (these
                                    // are counted in ip[5] too, among the rejections)
};

// ---------------------------------------------------------------------------
// Entry

// Integrates F(t, y, y') = 0 from t0 to tend as DAE_Solver_01 does, with these
// additions:
// - Stop: when the output routine replies stop after an output of kind 0 or 1,
//   the run ends at that output with ier = DAE_IER_STOPPED; y and yp hold the
//   solution at its t, and no output of kind -1 follows. A stop after the
//   output at tend changes nothing: ier = 0.
// - Step limit: with max_steps > 0, a run that has accepted max_steps steps
//   without reaching tend ends with ier = DAE_IER_STEP_LIMIT after the output
//   of its last step; y and yp hold that solution, and the output of kind -1
//   follows as for every other failure.
// - Quiet: with quiet set, the call prints nothing. Otherwise its console
//   lines (banner, conm14, start-up and fdz lines) go to
//   textout::diagnostics_stream() of the calling thread, the only place the
//   integrator writes to.
// The call keeps no state between calls and allocates nothing; the callbacks
// run on the calling thread.
CoreResult integrate(const CoreArrays& arrays, const CoreSettings& settings, ModelCallback model,
                     OutputCallback output);

}  // namespace dae
