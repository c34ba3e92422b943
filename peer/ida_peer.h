// The SUNDIALS IDA peer: a test of the DAE catalogue integrated by IDA
// (variable-order BDF, dense direct linear solver) from the same model
// callbacks, for comparing work and accuracy with DAE_Solver_01.
//
//   settings     IdaSettings, battery_settings, settings_at
//   results      IdaSample, IdaRun, ida_succeeded
//   running      integrate_with_ida
//
// How a test becomes an IDA problem (peer/ida_adapter.h has the adapter):
//   - residual F(t, y, y') and iteration matrix dF/dy + cj dF/dy' from the
//     model callback; IDA's y'(m+1..n) are ignored (the models have none), and
//     a model that reports status 1 or 2 makes a recoverable failure, so IDA
//     retries with a smaller step;
//   - consistent start values as the battery gets them: y'(1..m) and
//     y(m+1..n) from DAE_Solver_01's own start-up (peer/battery_start.h), not
//     from IDACalcIC, which cannot find them for test08 (its current is an
//     index-2 unknown, fixed only by the derivative of the constraint) and
//     needs a hand-chosen inner step for the tiny time constants of test06;
//     a BDF step corrects algebraic start values anyway, so their accuracy
//     does not limit a tight run;
//   - the first step is the test's hmin, the step never exceeds its hmax, and
//     the last ends exactly at tend (IDASetStopTime); IDA steps one at a time
//     (IDA_ONE_STEP);
//   - where m < n the error test covers y(1..m) only, as the battery's does;
//   - the output callbacks are not called: no model reads what they write
//     (test05's tnext only chooses output times). The Chua diode (test07)
//     chooses its segment when ip[1] = 0, which the adapter always passes, so
//     every evaluation uses the segment that holds the current voltage: the
//     plain continuous piecewise-linear characteristic.
#pragma once

#include <vector>

#include "models/dae_catalogue.h"

namespace peer {

struct IdaSettings {
  double rtol;                       // relative tolerance
  models::DaeVector atol;            // absolute tolerance of y(1..n)
  double hmax;                       // largest step
  std::vector<double> sample_times;  // increasing times in (t0, tend] at which to record y
  long max_steps = 0;                // give up (IDA_TOO_MUCH_WORK) after this many steps; 0: never
};

// The battery's settings: rtol = eps, atol_i = eps * floor_i (the catalogue's
// size below which y_i counts as zero), hmax.
//
// Why the floor and not the largest |y_i| of the run (the scale the battery's
// error test divides by once a run has reached it): with that absolute part IDA
// leaves the small values unchecked that decide test01 (y2 on the slow
// branches) and test04 (the photon number between pulses), and fails on both;
// with the floor it solves every test, and its error is measured against the
// same floors as the battery's.
IdaSettings battery_settings(const models::DaeTestCase& c);

// Any tolerance: rtol, atol_i = rtol * floor_i.
IdaSettings settings_at(const models::DaeTestCase& c, double rtol);

struct IdaSample {
  double t;
  models::DaeVector y;  // interpolated by IDA at t
};

// IdaRun::flag when the battery's start-up found no start values (IDA's own
// flags are -1 .. -99 and 0 .. 99).
inline constexpr int kNoStartValues = -1000;

struct IdaRun {
  int flag = 0;                   // IDA's last return flag (IDA_TSTOP_RETURN when tend was reached)
  double t = 0;                   // time reached
  models::DaeVector y{};          // state at t
  models::DaeVector yp{};         // y'(1..m) at t
  models::DaeVector y_start{};    // the battery's consistent start values
  models::DaeVector yp_start{};   // and their derivatives
  long steps = 0;                 // accepted steps
  long residual_evaluations = 0;  // residual calls made by IDA
  long jacobian_evaluations = 0;  // iteration matrices formed
  long model_calls = 0;           // model callback calls, both kinds together
  long newton_iterations = 0;     // nonlinear iterations
  long error_test_failures = 0;
  long newton_failures = 0;  // nonlinear convergence failures
  double cpu_seconds = 0;    // process CPU time from creation to the end of the run
  std::vector<IdaSample> samples;
};

// True when the run reached tend.
bool ida_succeeded(const IdaRun& r);

// Integrates the test from t0 to tend with its model parameters set by
// c.set_parameters(). cpu_seconds leaves out the start-up that provides the
// start values. Prints nothing except IDA's own error messages, which go
// to textout::diagnostics_stream().
IdaRun integrate_with_ida(const models::DaeTestCase& c, const IdaSettings& s);

}  // namespace peer
