// DAE_Solver_01 on small models written here: the codes a run ends with and
// the output and model calls around them, the console lines, every method on
// linear problems (differential, purely algebraic, index 1), stop times, the
// time resolution, difference Jacobians, damping of oscillating derivatives,
// and the history re-sampled at a halving.
#include "dae/dae_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "dae/dae_state.h"

namespace {

constexpr int kMaxN = 38;  // the largest system run here
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// One model or output call: its kind, t, h, y_1 and y_2, ip[0..23], and the
// number of model calls made before it.
struct Snapshot {
  int kind;
  double t, h;
  std::array<double, 3> y;
  std::array<int, 24> ip;
  std::size_t calls;
};

// The models' parameters and the record of the calls, reset per test.
// linear_model: y_i' = lambda_i (y_i - g_i(t)) + g_i'(t) + rate with lambda_1 =
// lambda and lambda_i = lambda / 2 beyond, g = (cos t, sin t, sin t ..) when
// tracking, else 0; fyp_factor scales dF/dy' (1 = exact); drive adds log2(1/h),
// a derivative that never settles; junk scales the Jacobians of the difference
// calls; F_n is NaN beyond nan_after or for steps above nan_above_h.
// record_output requests stop times at the integers (tabulate), or a stale one:
// t (stale_stop 1) or t - 1 (2), or t + stop_offset; beyond max_outputs it
// makes every later model call fail, so that a run that would not end does.
struct Harness {
  double lambda = -1000, rate = 0, fyp_factor = 1, nan_after = 1e300, nan_above_h = 1e300, mu = 1000, tnext = 0;
  double stop_offset = 0;
  std::size_t max_outputs = 20000;
  bool track = true, drive = false, junk = false, tabulate = false;
  int first_status = 0, status = 0;  // model status of the kind-0 and of the ordinary calls
  int stale_stop = 0;
  std::vector<Snapshot> calls, outputs;
} hx;

Snapshot snap(int kind, double t, double h, const double* y, int n, const int* ip) {
  Snapshot s{kind, t, h, {}, {}, hx.calls.size()};
  std::copy(y + 1, y + 1 + std::clamp(n, 0, 2), s.y.begin() + 1);
  std::copy(ip, ip + s.ip.size(), s.ip.begin());
  return s;
}

int linear_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t, double h, int kind,
                 int* status, const int* ip) {
  hx.calls.push_back(snap(kind, t, h, y, n, ip));
  *status = kind == DAE_MODEL_FIRST ? hx.first_status : kind == DAE_MODEL_ORDINARY ? hx.status : 0;
  const double junk = kind == DAE_MODEL_DIFFERENCE && hx.junk ? 1e6 : 1;
  for (int i = 1; i <= n; ++i) {
    const double lambda = i == 1 ? hx.lambda : hx.lambda / 2;
    const double g = !hx.track ? 0 : i == 1 ? std::cos(t) : std::sin(t);
    const double gp = !hx.track ? 0 : i == 1 ? -std::sin(t) : std::cos(t);
    const double pull = lambda != 0 ? lambda * (y[i] - g) : 0;  // with lambda = 0 F does not depend on y
    f[i] = (i <= m ? yp[i] - gp : 0) - pull - hx.rate - (hx.drive ? std::log2(1 / h) : 0);
    if (i <= m) fyp[i * n + i] = hx.fyp_factor * junk;
    fy[i * n + i] = -lambda * junk;
  }
  if (t > hx.nan_after || h > hx.nan_above_h) f[n] = kNaN;
  return 0;
}

// Index 1 (n = 2, m = 1): y1' = y2, 0 = y2 - cos t, so y1 = sin t, y2 = cos t.
int index1_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t, double h, int kind,
                 int*, const int* ip) {
  hx.calls.push_back(snap(kind, t, h, y, n, ip));
  f[1] = yp[1] - y[2];
  f[2] = y[2] - std::cos(t);
  fyp[1 * n + 1] = fy[2 * n + 2] = 1;
  fy[1 * n + 2] = -1;
  return 0;
}

// Van der Pol (n = m = 2): stiff, with sharp turns for large mu.
int vdp_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t, double h, int kind, int*,
              const int* ip) {
  hx.calls.push_back(snap(kind, t, h, y, n, ip));
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (1 - y[1] * y[1]) * hx.mu * y[2] + y[1];
  fyp[1 * n + 1] = fyp[2 * n + 2] = 1;
  fy[1 * n + 2] = -1;
  fy[2 * n + 1] = 1 + 2 * y[1] * y[2] * hx.mu;
  fy[2 * n + 2] = -(hx.mu * (1 - y[1] * y[1]));
  return 0;
}

// Robertson's kinetics as an index-1 DAE (n = 3, m = 2): two rate equations
// and the conservation law y1 + y2 + y3 = 1.
int kinetics_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t, double h, int kind,
                   int*, const int* ip) {
  hx.calls.push_back(snap(kind, t, h, y, n, ip));
  f[1] = yp[1] + 0.04 * y[1] - 1e4 * y[2] * y[3];
  f[2] = yp[2] - 0.04 * y[1] + 1e4 * y[2] * y[3] + 3e7 * y[2] * y[2];
  f[3] = y[1] + y[2] + y[3] - 1;
  fyp[1 * n + 1] = fyp[2 * n + 2] = 1;
  fy[1 * n + 1] = 0.04, fy[1 * n + 2] = -1e4 * y[3], fy[1 * n + 3] = -1e4 * y[2];
  fy[2 * n + 1] = -0.04, fy[2 * n + 2] = 1e4 * y[3] + 6e7 * y[2], fy[2 * n + 3] = 1e4 * y[2];
  fy[3 * n + 1] = fy[3 * n + 2] = fy[3 * n + 3] = 1;
  return 0;
}

int record_output(double* y, double*, int n, int, double t, double, double, double h, double* tstop, int kind,
                  const int* ip) {
  hx.outputs.push_back(snap(kind, t, h, y, n, ip));
  if (hx.outputs.size() > hx.max_outputs) hx.status = DAE_STATUS_FAILED;
  if (hx.stop_offset != 0) *tstop = t + hx.stop_offset;
  if (hx.tabulate && t >= hx.tnext) hx.tnext += 1;
  if (hx.tabulate && *tstop > hx.tnext) *tstop = hx.tnext;
  if (hx.stale_stop != 0) *tstop = hx.stale_stop == 1 ? t : t - 1;
  return 0;
}

struct Settings {
  int n = 2, m = 2, nm = 3, init = 0, ier = 0;
  double t0 = 0, tend = 2, hmin = 1e-10, hmax = 2, eps = 1e-6;
  std::array<double, 3> y0{0, 1, 0};  // further components start at 0
  DAE_Model model = linear_model;
};

// y' = -y from y = 1 over [t0, t0 + span].
void decay(Settings& s, double t0, double span) {
  s.n = s.m = 1, s.t0 = t0, s.tend = t0 + span, hx.lambda = -1, hx.track = false;
}

struct Result {
  int ier;
  std::array<int, 3 * kMaxN + 22> ip;
  std::array<double, kMaxN + 1> y;
  std::string console;
};

// One call with ye = 1 as the magnitude scale, and ip filled with -1 (the
// statistics are cleared by the call).
Result run(const Settings& st) {
  hx.calls.clear();
  hx.outputs.clear();
  hx.tnext = 0;
  Result r{st.ier, {}, {}, {}};
  r.ip.fill(-1);
  std::array<double, kMaxN + 1> yp{}, ye{}, ype{}, F{};
  std::vector<double> fyp(kMaxN * kMaxN + kMaxN + 1), fy(fyp.size());
  std::copy(st.y0.begin(), st.y0.end(), r.y.begin());
  ye.fill(1);
  double tstop = 0;
  int status = 0;
  testing::internal::CaptureStdout();
  DAE_Solver_01(r.y.data(), yp.data(), ye.data(), ype.data(), F.data(), fyp.data(), fy.data(), 0.0, st.t0, st.tend, 0.0,
                st.hmin, st.hmax, st.eps, &tstop, st.n, st.m, st.nm, st.init, &status, &r.ier, r.ip.data(), st.model,
                record_output);
  r.console = testing::internal::GetCapturedStdout();
  return r;
}

int count_kind(const std::vector<Snapshot>& v, int kind, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  return static_cast<int>(std::count_if(v.begin() + from, v.begin() + std::min(to, v.size()),
                                        [kind](const Snapshot& s) { return s.kind == kind; }));
}

int occurrences(const std::string& text, const std::string& word) {
  int count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
  return count;
}

class DaeSolver : public testing::Test {
 protected:
  void SetUp() override { hx = Harness{}; }
};

// Argument errors (the last failing check decides) call nothing but the output
// routine, once, with kind -1 at t0. Every other run makes one kind-0 model
// call first and outputs after each accepted step; one that ends with an
// error outputs once with kind -1, one that succeeds never does, outputs once
// with kind 0 and last at tend. No output shows a non-finite value or a step
// above max_h.
TEST_F(DaeSolver, HowARunEnds) {
  const struct {
    const char* what;
    std::function<void(Settings&)> setup;
    int ier;
    int counter = 0;      // ip position that must end non-zero
    double max_h = 2;     // largest step an output may show
    double y_end = kNaN;  // y_1 at the last output, when given
    double min_h = 0;     // smallest step an output may show
  } cases[] = {
      {"valid", [](Settings&) {}, 0},
      {"n = 0", [](Settings& s) { s.n = s.m = 0; }, 1},
      {"m > n", [](Settings& s) { s.m = 3; }, 1},
      // The workspace holds 10,000 doubles: n = m = 38 needs 9922, n = m = 39 needs 10417.
      {"n = m = 38 fits", [](Settings& s) { s.n = s.m = 38, s.tend = 0.01; }, 0},
      {"n = m = 39 does not", [](Settings& s) { s.n = s.m = 39; }, 1},
      {"a huge n does not overflow the need", [](Settings& s) { s.n = 2000000000, s.m = 0; }, 1},
      {"hmin = 1e-200", [](Settings& s) { s.hmin = 1e-200; }, 2},
      {"hmax < hmin", [](Settings& s) { s.hmax = 0.5e-10; }, 2},
      {"tend - t0 < hmin", [](Settings& s) { s.hmin = 0.5, s.tend = 0.25; }, 3},
      {"tend - t0 = hmin passes", [](Settings& s) { s.hmin = s.hmax = s.tend = 0.25; }, 0},
      {"hmin NaN fails checks 2 and 3", [](Settings& s) { s.hmin = kNaN; }, 3},
      {"eps = 1e-12", [](Settings& s) { s.eps = 1e-12; }, 4},
      {"nm = 5", [](Settings& s) { s.nm = 5; }, 5},
      {"init = 1", [](Settings& s) { s.init = 1; }, 6},
      {"init = 2", [](Settings& s) { s.init = 2; }, 0},
      {"n = 0 and nm = 9: the later check decides", [](Settings& s) { s.n = 0, s.nm = 9; }, 5},
      {"all six fail", [](Settings& s) { s.n = -1, s.hmin = 0, s.eps = 0, s.nm = 7, s.init = 1; }, 6},
      {"status 1 at the kind-0 call", [](Settings&) { hx.first_status = DAE_STATUS_FAILED; }, 7, IP_MODEL_FAILURES},
      {"status 2 at the kind-0 call", [](Settings&) { hx.first_status = DAE_STATUS_DOUBTFUL; }, 0},
      {"singular Newton matrix", [](Settings& s) { s.m = 0, hx.lambda = 0, hx.rate = 1; }, 8, IP_STEP_SOLVES},
      {"every evaluation fails", [](Settings&) { hx.status = DAE_STATUS_FAILED; }, 7, IP_MODEL_FAILURES},
      {"doubtful evaluations are used only near hmin",
       [](Settings& s) { hx.status = DAE_STATUS_DOUBTFUL, s.tend = 0.5, s.hmin = 0.01, s.eps = 1e-3; }, 0, IP_HALVINGS,
       0.02},
      {"NaN residual beyond t = 0.5", [](Settings& s) { hx.nan_after = 0.5, s.hmin = 1e-6; }, 7, IP_MODEL_FAILURES},
      {"NaN residual for steps above 0.05", [](Settings& s) { hx.nan_above_h = 0.05, s.eps = 1e-5; }, 0,
       IP_MODEL_FAILURES, 0.05},
      {"a solution overflowing near t = 180 fails the error test",
       [](Settings& s) { s.n = s.m = 1, s.tend = 1000, s.hmin = 1e-6, s.hmax = 10, hx.lambda = 0, hx.rate = 1e306; }, 7,
       IP_ERROR_TEST_FAILURES, 10},
      // dF/dy' twice too large: Newton converges linearly and ends as slow.
      {"slow iteration rejected at hmin",
       [](Settings& s) { s.nm = 1, s.hmin = s.eps = 1e-3, hx.lambda = -1, hx.fyp_factor = 2; }, 7, IP_SLOW_REJECTIONS},
      {"slow iteration with eps above 100: only a warning",
       [](Settings& s) { s.nm = 1, s.hmin = 1e-3, s.eps = 200, hx.lambda = -1, hx.fyp_factor = 2; }, 0,
       IP_FDZ_WARNINGS},
      {"eps = +Inf", [](Settings& s) { s.eps = std::numeric_limits<double>::infinity(); }, 4},
      // y' = -y far from t = 0: the time resolution conm14*|t| is about 4.6 at 1e15,
      // 0.046 at 1e13. A span within it cannot be resolved; steps below it are
      // integrated and the last one lands on tend with the whole integrated span.
      {"t0 = 1e15, tend - t0 = 1 lies within the time resolution", [](Settings& s) { decay(s, 1e15, 1), s.hmax = 1; },
       3},
      {"t0 = 1e13: steps below the time resolution land on tend", [](Settings& s) { decay(s, 1e13, 1), s.hmax = 1; }, 0,
       0, 1, std::exp(-1.0)},
      {"t0 = -1e15 - 20: negative times have a resolution too (the last step stretched onto tend)",
       [](Settings& s) { decay(s, -1e15 - 20, 20), s.hmax = 0.01; }, 0, 0, 0.015, std::exp(-20.0)},
      // Stop times that only a step below the resolution or below hmin could
      // honour count as reached: they neither shrink the step nor stop its growth.
      {"stop times within the time resolution of the step start",
       [](Settings& s) { decay(s, 1e6, 1), s.hmin = 1e-12, hx.stop_offset = 1e-9; }, 0, 0, 1, std::exp(-1.0)},
      {"stop times closer than hmin", [](Settings& s) { decay(s, 0, 1), s.hmin = 1e-6, hx.stop_offset = 2.5e-7; }, 0, 0,
       1, std::exp(-1.0), 1e-6},
      {"a stop time of 5e-324 from t0 = 0",
       [](Settings& s) { decay(s, 0, 1), hx.stop_offset = std::numeric_limits<double>::denorm_min(); }, 0, 0, 1,
       std::exp(-1.0)},
      // Forward differences from init = 0: the algebraic y3 and y2 start at exactly 0.
      {"difference Jacobian from zero unknowns (kinetics with a conservation law)",
       [](Settings& s) { s.model = kinetics_model, s.n = 3, s.ier = DAE_IER_FORWARD_DIFFERENCES, s.tend = 40; }, 0, 0,
       40, 0.7158270687},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    hx = Harness{};
    Settings st;
    c.setup(st);
    const Result r = run(st);
    EXPECT_EQ(r.ier, c.ier);
    const bool argument_error = c.ier >= 1 && c.ier <= 6;
    EXPECT_EQ(hx.calls.empty(), argument_error);
    EXPECT_EQ(count_kind(hx.calls, DAE_MODEL_FIRST), argument_error ? 0 : 1);
    EXPECT_EQ(count_kind(hx.outputs, DAE_OUTPUT_ERROR), c.ier != 0 ? 1 : 0);
    if (c.ier == 0 || argument_error) {
      EXPECT_EQ(count_kind(hx.outputs, DAE_OUTPUT_FIRST), c.ier == 0 ? 1 : 0);
      EXPECT_EQ(hx.outputs.back().t, c.ier == 0 ? st.tend : st.t0);
    }
    if (!argument_error) {  // the statistics of the run, cleared first
      EXPECT_GE(*std::min_element(r.ip.begin() + 1, r.ip.begin() + 21), 0);
      EXPECT_GT(c.counter == 0 ? 1 : r.ip[c.counter], 0);
      EXPECT_EQ(count_kind(hx.outputs, DAE_OUTPUT_STEP), r.ip[IP_ACCEPTED_STEPS]);
      EXPECT_EQ(occurrences(r.console, " warning! fdz>0.01: t="), r.ip[IP_FDZ_WARNINGS]);
    }
    bool finite = true;
    double h_low = c.min_h, h_high = 0, t_last = st.t0;
    for (const Snapshot& o : hx.outputs) {
      finite = finite && std::isfinite(o.y[1]) && std::isfinite(o.y[2]);
      if (o.kind == DAE_OUTPUT_STEP) h_low = std::min(h_low, o.h), h_high = std::max(h_high, o.h);
      t_last = std::max(t_last, o.t);
    }
    EXPECT_TRUE(finite);
    EXPECT_GE(h_low, c.min_h);
    EXPECT_LE(h_high, c.max_h);
    EXPECT_LE(t_last, st.tend);
    EXPECT_NEAR(std::isnan(c.y_end) ? 0 : hx.outputs.back().y[1], std::isnan(c.y_end) ? 0 : c.y_end, 1e-5);
  }
}

// y' = -y from y = 1 with init = 0: the first start-up attempt compares with
// y' = 0 (ee = 1), the second with the first, whose y' = -1/(1 + h) differs by
// about h. A derivative that moves with h never settles: the 61st attempt
// ends the run.
TEST_F(DaeSolver, ConsoleLinesAndTheStartUpBound) {
  hx.lambda = -1;
  hx.track = false;
  Settings st;
  st.n = st.m = 1;
  st.hmin = 1e-8;
  EXPECT_EQ(run(st).console,
            "\ndae-solver-01\n1 conm14 = 4.61852778e-015 \n"
            "ee=1.00000000e+000 ,h=1.00000000e-008 ,ip[1]=2\n ee=5.00000011e-009 ,h=5.00000000e-009 ,ip[1]=2\n ");
  EXPECT_EQ(hx.outputs.front().h, 2.5e-9);  // half the last start-up step
  hx.drive = true;
  const Result endless = run(st);
  EXPECT_EQ(endless.ier, DAE_IER_STEP_FAILED);
  EXPECT_EQ(occurrences(endless.console, "ee="), 60);
  EXPECT_EQ(count_kind(hx.outputs, DAE_OUTPUT_ERROR), 1);
}

// Linear problems with exact Jacobians: every method follows the solution
// (within a few times eps where it is smooth), every step converges after
// exactly two Newton solves, and the step counters follow the method.
TEST_F(DaeSolver, EveryMethodOnLinearProblems) {
  const struct {
    const char* what;
    DAE_Model model;
    int m;
    double eps;
    std::array<double, 3> tolerance;  // y1 with nm = 1, y1 with nm > 1, y2
  } problems[] = {
      {"two stiff components tracking cos t and sin t", linear_model, 2, 1e-6, {3e-6, 3e-6, 3e-6}},
      {"the same purely algebraic (m = 0)", linear_model, 0, 1e-6, {1e-13, 1e-13, 1e-13}},
      {"index 1, from the inconsistent y2 = 7", index1_model, 1, 1e-8, {2e-3, 1e-6, 1e-12}},
  };
  for (const auto& p : problems) {
    for (int nm = 1; nm <= 4; ++nm) {
      SCOPED_TRACE(std::string(p.what) + ", nm = " + std::to_string(nm));
      const bool index1 = p.model == index1_model;
      Settings st;
      st.m = p.m, st.nm = nm, st.eps = p.eps, st.model = p.model;
      if (index1) st.y0 = {0, 0, 7};
      const Result r = run(st);
      ASSERT_EQ(r.ier, 0);
      for (const Snapshot& o : hx.outputs) {
        EXPECT_NEAR(o.y[1], index1 ? std::sin(o.t) : std::cos(o.t), p.tolerance[nm == 1 ? 0 : 1]) << o.t;
        EXPECT_NEAR(o.y[2], index1 ? std::cos(o.t) : std::sin(o.t), p.tolerance[2]) << o.t;
        EXPECT_EQ(o.kind == DAE_OUTPUT_STEP ? o.ip[IP_STEP_SOLVES] : 2, 2) << o.t;
      }
      const int trapezoidal = r.ip[IP_TRAPEZOIDAL_STEPS], lobatto = r.ip[IP_LOBATTO_STEPS];
      EXPECT_EQ(trapezoidal + lobatto, nm == 1 ? 0 : r.ip[IP_ACCEPTED_STEPS]);
      EXPECT_EQ(trapezoidal > 0, nm == 2 || nm == 4);  // nm = 4 switches to the trapezoidal rule ...
      EXPECT_EQ(lobatto > 0, nm >= 3);
      EXPECT_EQ(hx.outputs[1].ip[IP_LOBATTO_STEPS], nm >= 3 ? 1 : 0);  // ... after starting three-point
      const auto first_trapezoidal = std::find_if(hx.outputs.begin(), hx.outputs.end(),
                                                  [](const Snapshot& o) { return o.ip[IP_TRAPEZOIDAL_STEPS] > 0; });
      const int lobatto_before =
          first_trapezoidal == hx.outputs.end() ? lobatto : first_trapezoidal->ip[IP_LOBATTO_STEPS];
      EXPECT_EQ(lobatto > lobatto_before, nm == 4 && p.m > 0);  // ... and back when ee2 grows
    }
  }
}

// Stop times requested at the integers are hit exactly; a stop time not later
// than the start of the step is ignored (the run is the same as without it).
TEST_F(DaeSolver, StopTimes) {
  Settings st;
  st.tend = st.hmax = 5;
  st.eps = 1e-5;
  hx.tabulate = true;
  ASSERT_EQ(run(st).ier, 0);
  std::vector<double> integers;
  for (const Snapshot& o : hx.outputs) {
    if (o.t == std::floor(o.t)) integers.push_back(o.t);
  }
  EXPECT_EQ(integers, (std::vector<double>{0, 1, 2, 3, 4, 5}));
  hx.tabulate = false;
  const Result plain = run(st);
  for (const int stale : {1, 2}) {
    hx.stale_stop = stale;
    EXPECT_EQ(run(st).ip, plain.ip);
  }
}

// Far from t = 0 steps below the time resolution conm14*|t| leave t where it
// is until their sum reaches the resolution. The state is integrated over every
// step (with y' = 1, y - 1 is the integrated time), stays within the resolution
// of t, and the last step lands on tend with exactly the span integrated.
TEST_F(DaeSolver, StepsBelowTheTimeResolutionAccumulate) {
  hx.lambda = 0;
  hx.track = false;
  hx.rate = 1;
  Settings st;
  st.n = st.m = st.nm = 1;
  st.t0 = 1e6;
  st.tend = st.t0 + 2e-7;
  st.hmin = 1e-12;
  st.hmax = 2e-9;
  const double resolution = dae::rounding_level() * st.t0;  // about 4.6e-9
  ASSERT_EQ(run(st).ier, 0);
  int stayed = 0;
  for (std::size_t k = 1; k < hx.outputs.size(); ++k) {
    const Snapshot& o = hx.outputs[k];
    stayed += o.t == hx.outputs[k - 1].t ? 1 : 0;
    EXPECT_LE(std::fabs((o.y[1] - 1) - (o.t - st.t0)), resolution) << k;
  }
  EXPECT_GT(stayed, 10);
  EXPECT_LT(stayed, static_cast<int>(hx.outputs.size()) - 10);
  EXPECT_EQ(hx.outputs.back().t, st.tend);
  EXPECT_NEAR(hx.outputs.back().y[1] - 1, st.tend - st.t0, 1e-13);
}

// With ier = -1 on entry each ordinary call is followed by n difference calls
// at the same point and time, perturbing y_n first and y_1 last; whatever the
// model writes into its Jacobians there is not used. Other values of ier ask
// for nothing.
TEST_F(DaeSolver, ForwardDifferenceJacobian) {
  for (const int nm : {1, 3}) {
    SCOPED_TRACE("nm = " + std::to_string(nm));
    Settings st;
    st.nm = nm;
    const Result reference = run(st);
    st.ier = DAE_IER_FORWARD_DIFFERENCES;
    const Result fd = run(st);
    ASSERT_EQ(fd.ier, 0);
    // The quotients of this linear model are exact to about 1e-9, and F is
    // restored after the difference calls: the run ends where the one with the
    // model's own Jacobian ends.
    EXPECT_NEAR(fd.y[1], reference.y[1], 1e-12);
    EXPECT_NEAR(fd.y[2], reference.y[2], 1e-12);
    int ordinary = 0;
    for (std::size_t k = 0; k < hx.calls.size(); ++k) {
      if (hx.calls[k].kind != DAE_MODEL_ORDINARY) continue;
      ++ordinary;
      ASSERT_LT(k + 2, hx.calls.size());
      for (int p = 1; p <= 2; ++p) {
        const Snapshot& d = hx.calls[k + p];
        EXPECT_EQ(d.kind, DAE_MODEL_DIFFERENCE);
        EXPECT_EQ(d.t, hx.calls[k].t);
        EXPECT_GT(d.y[3 - p], hx.calls[k].y[3 - p]);
        EXPECT_EQ(d.y[p], hx.calls[k].y[p]);
      }
    }
    EXPECT_GT(ordinary, 10);
    hx.junk = true;
    const Result junk = run(st);
    EXPECT_EQ(junk.y, fd.y);
    EXPECT_EQ(junk.ip, fd.ip);
    st.ier = 5;
    run(st);
    EXPECT_EQ(count_kind(hx.calls, DAE_MODEL_DIFFERENCE), 0);
  }
}

// Derivatives alternating in sign three times redo the step once with
// implicit Euler. Between two outputs with no halving and no failure each
// iteration makes one model call per stage and the last only tests, so a step
// costs stages*(ip[1] + 1) calls, plus the redo's ip[1] + 1; the redo's solves
// go into ip[2] once and not into the damped method's count, and ip[1] shows
// the damped step's own solves again.
TEST_F(DaeSolver, OscillatingDerivativeIsDampedOncePerStep) {
  const struct {
    const char* what;
    DAE_Model model;
    int nm;
    double eps, tend;
    int method_solves;      // ip position of the damped method's solves; its steps follow
    double fyp_factor = 1;  // dF/dy' off by this factor
  } cases[] = {
      {"trapezoidal rule on a fast decay", linear_model, 2, 1e-3, 2, IP_TRAPEZOIDAL_SOLVES},
      {"the same with dF/dy' 2% off: redo and step differ in solves", linear_model, 2, 1e-3, 2, IP_TRAPEZOIDAL_SOLVES,
       1.02},
      {"three-point method on stiff Van der Pol", vdp_model, 3, 1e-4, 2000, IP_LOBATTO_SOLVES},
      {"implicit Euler never oscillates", linear_model, 1, 1e-3, 2, IP_TRAPEZOIDAL_SOLVES},
  };
  hx.lambda = -1e6;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settings st;
    st.nm = c.nm, st.eps = c.eps, st.tend = st.hmax = c.tend, st.model = c.model, st.y0 = {0, 2, 0};
    hx.fyp_factor = c.fyp_factor;
    const Result r = run(st);
    ASSERT_EQ(r.ier, 0);
    EXPECT_EQ(r.ip[IP_DAMPING_REDOS] > 0, c.nm != 1);
    for (std::size_t j = 1; j < hx.outputs.size() && c.nm != 1; ++j) {
      const Snapshot& o = hx.outputs[j];
      const auto delta = [&](int pos) { return o.ip[pos] - hx.outputs[j - 1].ip[pos]; };
      if (delta(IP_HALVINGS) != 0 || delta(IP_FAILED_ATTEMPTS) != 0) continue;
      const int redo = delta(IP_DAMPING_REDOS), solves = o.ip[IP_STEP_SOLVES];
      const int redo_solves = delta(IP_TOTAL_SOLVES) - solves;
      ASSERT_LE(redo, 1) << o.t;
      EXPECT_EQ(redo == 1, o.ip[IP_SIGN_CHANGES + 1] == 3 || o.ip[IP_SIGN_CHANGES + 2] == 3) << o.t;
      EXPECT_EQ(delta(c.method_solves), solves) << o.t;
      EXPECT_EQ(delta(c.method_solves + 1), 1) << o.t;  // accepted as the damped method's step
      EXPECT_EQ(redo_solves > 0, redo == 1) << o.t;
      EXPECT_EQ(count_kind(hx.calls, DAE_MODEL_ORDINARY, hx.outputs[j - 1].calls, o.calls),
                (c.nm == 3 ? 2 : 1) * (solves + 1) + redo * (redo_solves + 1))
          << o.t;
    }
  }
}

// Pure helpers of the step control. At a halving the history Y5..Y1
// (intervals H4..H1) becomes Y3, P(mid of H2), Y2, P(mid of H1), Y1 for the
// polynomial P of degree 4 through it: exact for polynomials of degree 4 at
// any spacing. The error estimates of a history sampled from t^d at steps h
// (new point at t = 0, no scaling) are ee1 = 2 h^2 for t^2, ee2 = 6 h^3 for
// t^3 and ee3 = 64 h^5 for t^5, each zero for the lower degrees its method
// integrates exactly. The start-up measure leaves out a derivative that
// changed by a factor within 0.1 of 2^k, k = 1..10.
TEST(DaeControl, HistoryEstimatesAndStartUpMeasure) {
  const std::array<double, 5> intervals[] = {{0, 0.5, 0.5, 0.5, 0.5}, {0, 0.5, 1, 2, 4}, {0, 0.3, 0.7, 0.11, 2.5}};
  const auto p = [](int i, double t) { return i == 1 ? 3.0 : i == 2 ? 1 - 2 * t : 0.25 + t - 3 * t * t * t * t; };
  for (const auto& H0 : intervals) {
    std::array<double, 6> T{0, 2 * H0[1]};  // T1 .. T5, newest first
    std::array<std::array<double, 4>, 6> values{};
    std::array<double*, 6> Y{};
    for (int k = 1; k <= 5; ++k) {
      if (k > 1) T[k] = T[k - 1] - H0[k - 1];
      Y[k] = values[k].data();
      for (int i = 1; i <= 3; ++i) Y[k][i] = p(i, T[k]);
    }
    std::array<double, 5> H = H0;
    dae::resample_history(3, Y, H);
    const std::array<double, 6> new_t{0, T[1], T[1] - H0[1] / 2, T[2], T[2] - H0[2] / 2, T[3]};
    for (int k = 1; k <= 5; ++k) {
      for (int i = 1; i <= 3; ++i) EXPECT_NEAR(Y[k][i], p(i, new_t[k]), 1e-12 * (1 + std::fabs(Y[k][i])));
    }
    EXPECT_EQ(H, (std::array<double, 5>{0, H0[1] / 2, H0[1] / 2, H0[2] / 2, H0[2] / 2}));
  }

  const double h = 0.5;
  const std::array<double, 2> zero{0, 0}, one{0, 1};
  for (int d = 2; d <= 5; ++d) {
    std::array<std::array<double, 2>, 6> values{};
    std::array<double*, 6> Y{};
    for (int k = 1; k <= 5; ++k) values[k][1] = std::pow(-k * h, d), Y[k] = values[k].data();
    const dae::ErrorEstimates e =
        dae::estimate_history_errors(1, zero.data(), Y, intervals[0], h, one.data(), one.data());
    EXPECT_NEAR(e.ee1, d == 2 ? 2 * h * h : e.ee1, 1e-15) << d;
    EXPECT_NEAR(e.ee2, d == 3 ? 6 * h * h * h : d < 3 ? 0 : e.ee2, 1e-15) << d;
    EXPECT_NEAR(e.ee3, d == 5 ? 64 * std::pow(h, 5) : 0, 1e-15) << d;
  }
  for (const auto& [before, ee] : {std::pair{1.5, 0.5}, {1.95, 0.0}, {1024.0, 0.0}, {2048.0, 2047.0}}) {
    const std::array<double, 2> yp_before{0, before};
    EXPECT_EQ(dae::start_up_measure(1, one.data(), yp_before.data()), ee) << before;
  }
}

}  // namespace
