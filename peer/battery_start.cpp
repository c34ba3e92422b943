// The battery's consistent start values of a catalogue test.
//
//   capture          StartCapture, capture_first_output (the output callback)
//   start values     battery_start_values
//
// DAE_Solver_01's start-up computes y'(1..m) and y(m+1..n) from y(1..m) before
// its first step and shows them to the output callback's kind-0 call. The
// start-up depends on t0, hmin, the start values and the model only, so a call
// that ends one step of hmin later gives exactly the values of the full run
// (the peer test checks this against a full run of every test).
#include "peer/battery_start.h"

#include <memory>

#include "textout/diagnostics.h"

namespace peer {
namespace {

// Where the callback of the call in progress on this thread writes; set only
// for the duration of battery_start_values.
struct StartCapture {
  StartValues* values = nullptr;
};
thread_local StartCapture capture;

int capture_first_output(double* y, double* yp, int n, int m, double, double, double, double, double*, int kind,
                         const int*) {
  if (kind != DAE_OUTPUT_FIRST || capture.values == nullptr) return 0;
  for (int i = 1; i <= n; ++i) capture.values->y[i] = y[i];
  for (int i = 1; i <= m; ++i) capture.values->yp[i] = yp[i];
  capture.values->found = true;
  return 0;
}

}  // namespace

StartValues battery_start_values(const models::DaeTestCase& c) {
  StartValues values;
  models::DaeTestCase short_run = c;
  short_run.tend = c.t0 + 2 * c.hmin;  // twice, so that rounding cannot fail the span check
  short_run.output = capture_first_output;
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  {
    const textout::DiagnosticsTo quiet(nullptr);
    capture.values = &values;
    models::run_dae_case(short_run, *arrays, ier);
    capture.values = nullptr;
  }
  return values;
}

}  // namespace peer
