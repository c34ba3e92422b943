// The ten DAE tests as data: everything needed to run one of them without the
// driver, with DAE_Solver_01 or with another integrator.
//
//   kinds          DaeVector (1-based, sized for the largest test), DaeArrays (the
//                  solver's caller-side arrays and scalars), DaeTestCase (one run)
//   the catalogue  dae_catalogue (the fifteen runs in battery order), find_dae_case
//   running        set_start_values, call_dae_solver, run_dae_case, run_dae_sequence
//
// test00 is six runs (ii = 1, 2 for its parameter a, each with nm = 1, 2, 3);
// test01 to test09 are one run each, so the battery makes fifteen solver calls.
//
// Fresh storage or the battery's: the battery hands every call the same
// arrays, and never writes yp, ype, tstop, status or ier itself, so each run
// starts with what the previous one left there. It makes no difference: every
// run of the catalogue, started on zeroed arrays (and ier 0), ends with the same
// y, yp, ier and ip[1..20], and writes the same plot table and protocol lines,
// bit for bit, as inside the battery sequence. The solver clears or overwrites
// each of those before reading it when init = 0 (yp and the algebraic y before
// the first model call, ype from yp at each start-up attempt, tstop at each
// attempt, status before each model call), and the battery's ier is never -1.
// The models' own state is put back to what the battery has at that point by
// each run's set_parameters, so the order of runs does not matter either. The
// test "Catalogue.FreshStorageMatchesTheBatterySequence" keeps this true;
// run_dae_sequence reproduces the battery's sequence should it ever matter.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "dae/dae_solver.h"

namespace models {

// The largest test has 17 unknowns; vectors keep index 0 unused.
inline constexpr int kMaxDaeUnknowns = 17;
using DaeVector = std::array<double, kMaxDaeUnknowns + 1>;

// The arrays and scalars a caller of DAE_Solver_01 provides, large enough for
// every test of the catalogue.
struct DaeArrays {
  std::array<double, 50> y{};      // unknowns; the start values y(1..n)
  std::array<double, 50> yp{};     // derivatives of the differential unknowns
  std::array<double, 50> ye{};     // start magnitude scales, then end-point stage values
  std::array<double, 50> ype{};    // end-point stage derivatives
  std::array<double, 50> F{};      // residual, written by the model
  std::array<double, 2500> fyp{};  // dF/dy', (i, j) at i*n + j, written by the model
  std::array<double, 2500> fy{};   // dF/dy, (i, j) at i*n + j, written by the model
  double tstop = 0;                // stop time, written by the solver and the output callback
  int status = 0;                  // model status flag
  std::array<int, 10000> ip{};     // statistics and integer workspace
};

// One solver run of the battery.
struct DaeTestCase {
  const char* name;  // "test00 ii=1 nm=1", "test01", ...
  int test;          // 0..9
  int ii;            // test00's pass (1 or 2); 0 for the other tests
  int n, m;          // unknowns; the first m are differential
  int nm;            // method
  int init;          // start mode (DAE_INIT_COMPUTE for every test)
  double t0, tend, hmin, hmax, eps;
  DaeVector y0;   // start values y(1..n); the solver replaces y(m+1..n) with consistent ones
  DaeVector ye0;  // start magnitude scales ye(1..n)
  // Largest |y_i| over the accepted points of the battery's run, rounded up to
  // two digits.
  DaeVector magnitude;
  // The size below which a value of y_i counts as zero: the absolute part of
  // any tolerance (another integrator's atol_i = rtol * floor_i) and of any
  // error measure (|error_i| / max(|y_i|, floor_i)). A millionth of the
  // magnitude, except where smaller values still decide the solution (the
  // exceptions are noted in the table).
  DaeVector floor;
  // Sets the model's process-wide parameters (models/model_params.h) and puts
  // its state records back to what the battery has at this run.
  void (*set_parameters)();
  DAE_Model model;
  DAE_Output output;
};

inline constexpr std::size_t kDaeRuns = 15;

// The fifteen runs in the order the battery makes them.
const std::array<DaeTestCase, kDaeRuns>& dae_catalogue();

// The run with this name, or nullptr.
const DaeTestCase* find_dae_case(std::string_view name);

// y(1..n) and ye(1..n) from the run's start values; nothing else is touched.
void set_start_values(const DaeTestCase& c, DaeArrays& a);

// DAE_Solver_01 with the run's arguments (t and h passed as 0) on a's arrays;
// ier is the solver's in/out code. A caller that must see every output call
// passes its own output callback, which then calls c.output itself.
void call_dae_solver(const DaeTestCase& c, DaeArrays& a, int& ier, DAE_Output output = nullptr);

// set_parameters, set_start_values, call_dae_solver.
void run_dae_case(const DaeTestCase& c, DaeArrays& a, int& ier);

// Every run in battery order on the same arrays; after each call, observe(c, a,
// ier) if given. The model and output callbacks write models::streams.
void run_dae_sequence(DaeArrays& a, int& ier,
                      void (*observe)(const DaeTestCase& c, const DaeArrays& a, int ier, void* context) = nullptr,
                      void* context = nullptr);

}  // namespace models
