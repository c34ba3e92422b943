// The ten DAE tests as data (see dae_catalogue.h).
//
//   parameter setters   set_test00_pass1, set_test00_pass2, set_test01 .. set_test09
//   start values        vector
//   the table           kCatalogue, dae_catalogue, find_dae_case
//   running             set_start_values, call_dae_solver, run_dae_case, run_dae_sequence
//
// The time arguments are computed from the scale factors as written, in
// double precision, because the solver's steps (and so the reports) depend on
// their last bits.
#include "models/dae_catalogue.h"

#include <initializer_list>

#include "models/model_params.h"
#include "models/models.h"

namespace models {
namespace {

// The scale factors: time, voltage and current of the circuit tests, the
// stiffness of test01 (which also scales its time arguments).
constexpr double kMU = 1e20;
constexpr double kKT02 = 1e-150;
constexpr double kKT06 = 1;
constexpr double kKT09 = 1;
constexpr double kUnitScale = 1;  // KU and KI of the circuit tests
constexpr double kTend09 = 0.16 * kKT09;

// --- parameter setters ---------------------------------------------------------------

// test00_state is left alone: the battery carries it from one test00 run to
// the next, and print00 resets or recomputes every part of it before use.
void set_test00(double a) {
  auto& p = test00_params;
  p.a = a;
  p.c1 = 1;
  p.c2 = 1.5;
  p.c3 = 1;
  p.l1 = -100000;
  p.l2 = -1;
  p.l3 = -100;
  derive_test00_matrix(p);
}

void set_test00_pass1() { set_test00(0.001); }
void set_test00_pass2() { set_test00(0.999); }

void set_test01() { test01_params.MU = kMU; }

void set_test02() { test02_params = derive_test02(kKT02, kUnitScale, kUnitScale); }

// test03's model has no parameters.
void set_test03() {}

void set_test04() { test04_params = {.al = 1.5e-18, .be = 2.5e-06, .ga = 2.1e-06, .p = 0.6, .si = 0.18, .ta = 0.016}; }

void set_test05() { test05_state.tnext = 0; }

void set_test06() { test06_params = derive_test06(kKT06, kUnitScale, kUnitScale); }

void set_test07() {
  auto& p = test07_params;
  p.r = 1.4285714285714286;
  p.c1 = 0.1111111111111111;
  p.c2 = 1;
  p.l = 0.14285714285714285;
  p.fixseg = 0;
  p.xb = {-21, -11, -1, 1, 11, 21};
  p.yb = {0, 5.8, 0.8, -0.8, -5.8, 0};
  p.tolx = 0.001;
  p.toly = 0.001;
  test07_state = {};
}

void set_test08() {
  test08_params.c1 = 1;
  test08_params.c2 = 0.5;
  test08_state = {};
}

void set_test09() {
  test09_params = derive_test09(kKT09, kUnitScale, kUnitScale);
  test09_state = {};
}

// --- start values ------------------------------------------------------------------------

// A 1-based vector from its entries 1, 2, ...; the rest 0.
constexpr DaeVector vector(std::initializer_list<double> values) {
  DaeVector v{};
  int i = 1;
  for (const double x : values) v[i++] = x;
  return v;
}

// --- the table -------------------------------------------------------------------------------

// Values below a millionth of a component's largest size count as zero.
constexpr double kFloorFraction = 1e-6;

constexpr DaeVector floors(const DaeVector& magnitude) {
  DaeVector f{};
  for (int i = 1; i <= kMaxDaeUnknowns; ++i) f[i] = kFloorFraction * magnitude[i];
  return f;
}

// floors(magnitude) with component i set to value.
constexpr DaeVector floors(const DaeVector& magnitude, int i, double value) {
  DaeVector f = floors(magnitude);
  f[i] = value;
  return f;
}

// test00's start values: its exact solution at t = 0, (c2 + c1 + c3,
// c2 + c1 a - c3, c2 + c1 a + c3) with c1 = 1, c2 = 1.5, c3 = 1.
constexpr DaeVector test00_start(double a) { return vector({1.5 + 1 + 1, 1.5 + 1 * a - 1, 1.5 + 1 * a + 1}); }

constexpr DaeTestCase test00_case(const char* name, int ii, int nm) {
  const double a = ii == 1 ? 0.001 : 0.999;
  const DaeVector magnitude = ii == 1 ? vector({3.5, 1.5, 2.6}) : vector({3.5, 1.5, 3.5});
  return {name,
          0,
          ii,
          3,
          3,
          nm,
          DAE_INIT_COMPUTE,
          0,
          10,
          1e-10,
          10,
          0.001,
          test00_start(a),
          test00_start(a),
          magnitude,
          floors(magnitude),
          ii == 1 ? set_test00_pass1 : set_test00_pass2,
          model00,
          print00};
}

// Largest |y_i| of the battery's runs.
constexpr DaeVector kMagnitude01 = vector({2.1, 1.4e20});
constexpr DaeVector kMagnitude02 = vector({2, 0.3, 0.002, 0.001, 0.0003});
constexpr DaeVector kMagnitude03 = vector({2, 1.4e6});
constexpr DaeVector kMagnitude04 = vector({1, 8.1e13});
constexpr DaeVector kMagnitude05 = vector({4.3, 3});
constexpr DaeVector kMagnitude06 = vector({20, 5.9, 11, 16, 0.027, 0.0022});
constexpr DaeVector kMagnitude07 = vector({2.3, 0.4, 2.3});
constexpr DaeVector kMagnitude08 = vector({0.13, 1, 1});
constexpr DaeVector kMagnitude09 =
    vector({190, 100, 0.019, 190, 0.32, 100, 100, 0.32, 0.32, 0.32, 0.32, 0.32, 100, 0.32, 0.02, 100, 100});

// Floor exceptions. test01: y2 reaches 1e20 only in the jumps; on the slow
// branches, where the run spends its time and ends, it is of order 1e-20.
// test04: the photon number y2 falls to 1e-4 .. 1e2 between pulses, and those
// small values decide when the next pulse comes.
constexpr double kSlowBranchFloor01 = 1e-26;
constexpr double kPhotonFloor04 = 1;

constexpr std::array<DaeTestCase, kDaeRuns> kCatalogue = {{
    test00_case("test00 ii=1 nm=1", 1, 1),
    test00_case("test00 ii=1 nm=2", 1, 2),
    test00_case("test00 ii=1 nm=3", 1, 3),
    test00_case("test00 ii=2 nm=1", 2, 1),
    test00_case("test00 ii=2 nm=2", 2, 2),
    test00_case("test00 ii=2 nm=3", 2, 3),
    {"test01", 1, 0, 2, 2, 3, DAE_INIT_COMPUTE, 0, 8.4 * kMU, 1e-12 / kMU, 8.4 * kMU, 0.0001, vector({2, 0}),
     vector({2, 2}), kMagnitude01, floors(kMagnitude01, 2, kSlowBranchFloor01), set_test01, model01, print01},
    {"test02", 2, 0, 5, 5, 3, DAE_INIT_COMPUTE, 0 * kKT02, 12560 * kKT02, 1e-06 * kKT02, 12560 * kKT02, 0.0001,
     vector({0, 0, 0, 0, 0}), vector({0, 0, 0, 0, 0}), kMagnitude02, floors(kMagnitude02), set_test02, model02,
     print02},
    {"test03", 3, 0, 2, 2, 3, DAE_INIT_COMPUTE, 0, 3, 1e-16, 3, 1e-08, vector({2, 0}), vector({1, 2}), kMagnitude03,
     floors(kMagnitude03), set_test03, model03, print03},
    {"test04", 4, 0, 2, 2, 3, DAE_INIT_COMPUTE, 0, 1000000, 1e-16, 1000000, 1e-10, vector({-1, 0}), vector({1, 1}),
     kMagnitude04, floors(kMagnitude04, 2, kPhotonFloor04), set_test04, model04, print04},
    {"test05", 5, 0, 2, 2, 3, DAE_INIT_COMPUTE, 0, 10, 1e-07, 5, 0.0001, vector({1, 3}), vector({1, 3}), kMagnitude05,
     floors(kMagnitude05), set_test05, model05, print05},
    {"test06", 6, 0, 6, 5, 3, DAE_INIT_COMPUTE, 0 * kKT06, 0.001 * kKT06, (0.001 * kKT06) / 1e9, 0.001 * kKT06, 0.001,
     vector({0, 0, 0, 0, 0, 0}), vector({0, 0, 0, 0, 0, 0}), kMagnitude06, floors(kMagnitude06), set_test06, model06,
     print06},
    // ye(i) = |y(i)|.
    {"test07", 7, 0, 3, 3, 3, DAE_INIT_COMPUTE, 0, 261.2, 1e-10, 261.2, 0.001, vector({0.1, 0, 0}), vector({0.1, 0, 0}),
     kMagnitude07, floors(kMagnitude07), set_test07, model07, print07},
    {"test08", 8, 0, 3, 2, 3, DAE_INIT_COMPUTE, 0, 4, 1e-16, 4, 1e-05, vector({0, 0}), vector({0, 0}), kMagnitude08,
     floors(kMagnitude08), set_test08, model08, print08},
    {"test09", 9, 0, 17, 2, 3, DAE_INIT_COMPUTE, 0 * kKT09, kTend09, kTend09 / 1e12, kTend09 / 20, 0.001,
     vector({0, 0}), vector({0, 0}), kMagnitude09, floors(kMagnitude09), set_test09, model09, print09},
}};

}  // namespace

const std::array<DaeTestCase, kDaeRuns>& dae_catalogue() { return kCatalogue; }

const DaeTestCase* find_dae_case(std::string_view name) {
  for (const DaeTestCase& c : kCatalogue) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

// --- running -----------------------------------------------------------------------------------

void set_start_values(const DaeTestCase& c, DaeArrays& a) {
  for (int i = 1; i <= c.n; ++i) {
    a.y[i] = c.y0[i];
    a.ye[i] = c.ye0[i];
  }
}

void call_dae_solver(const DaeTestCase& c, DaeArrays& a, int& ier, DAE_Output output) {
  constexpr double t = 0.0;
  constexpr double h = 0.0;
  DAE_Solver_01(a.y.data(), a.yp.data(), a.ye.data(), a.ype.data(), a.F.data(), a.fyp.data(), a.fy.data(), t, c.t0,
                c.tend, h, c.hmin, c.hmax, c.eps, &a.tstop, c.n, c.m, c.nm, c.init, &a.status, &ier, a.ip.data(),
                c.model, output != nullptr ? output : c.output);
}

void run_dae_case(const DaeTestCase& c, DaeArrays& a, int& ier) {
  c.set_parameters();
  set_start_values(c, a);
  call_dae_solver(c, a, ier);
}

void run_dae_sequence(DaeArrays& a, int& ier,
                      void (*observe)(const DaeTestCase& c, const DaeArrays& a, int ier, void* context),
                      void* context) {
  for (const DaeTestCase& c : kCatalogue) {
    run_dae_case(c, a, ier);
    if (observe != nullptr) observe(c, a, ier, context);
  }
}

}  // namespace models
