// DAE_Solver_01 on small models: accuracy of every method, the Newton
// iteration on linear systems, algebraic unknowns, stop times, difference
// Jacobians, damping of oscillating derivatives, statistics, and the
// failures that must end a run instead of accepting a wrong solution.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dae/dae_solver.h"
#include "dae/dae_state.h"

namespace {

constexpr int kMaxN = 6;

// ---------------------------------------------------------------------------
// Harness: one call's storage and what the callbacks saw.

struct Call {
  std::array<double, kMaxN + 1> y{}, yp{}, ye{}, ype{}, F{};
  std::array<double, kMaxN * kMaxN + kMaxN + 1> fyp{}, fy{};
  double tstop = 0;
  int status = 0;
  int ier = 0;
  std::array<int, 3 * kMaxN + 22> ip{};
};

struct Output {
  int kind;
  double t;
  double h;
  std::array<double, kMaxN + 1> y;
  std::array<double, kMaxN + 1> yp;
  std::array<int, 3 * kMaxN + 22> ip;
  std::size_t model_calls_before;  // model calls made before this output
};

struct ModelCall {
  int kind;
  double t;
  double h;
  std::array<double, kMaxN + 1> y;
};

// Test harness state: the model's parameters and the record of calls.
struct Harness {
  int n = 0;
  int m = 0;
  std::vector<ModelCall> model_calls;
  std::vector<Output> outputs;
  // Model options.
  double lambda = -1000;          // stiffness of the tracking problem
  double mu = 1;                  // Van der Pol parameter
  double fyp_factor = 1;          // scales the reported dF/dy' (1 = exact)
  bool jacobian_in_differences = true;  // write (wrong) Jacobians in kind-3 calls
  int status_every_call = 0;      // status reported by every ordinary call
  double nan_after = 1e300;       // residual is NaN for t above this
  double nan_for_steps_above = 1e300;  // residual is NaN for h above this
  // Output options.
  bool tabulate = false;   // request stop times at the integers
  double tnext = 0;
  int past_stop = 0;       // 1: request t itself, 2: request t - 1
} hx;

int record_output(double* y, double* yp, int n, int m, double t, double, double, double h,
                  double* tstop, int kind, const int* ip) {
  Output o{kind, t, h, {}, {}, {}, hx.model_calls.size()};
  for (int i = 1; i <= n; ++i) o.y[i] = y[i];
  for (int i = 1; i <= m; ++i) o.yp[i] = yp[i];
  for (int k = 0; k < 3 * n + 22; ++k) o.ip[k] = ip[k];
  hx.outputs.push_back(o);
  if (hx.tabulate) {
    if (t >= hx.tnext) hx.tnext += 1;
    if (*tstop > hx.tnext && t <= hx.tnext) *tstop = hx.tnext;
  }
  if (hx.past_stop == 1) *tstop = t;
  if (hx.past_stop == 2) *tstop = t - 1;
  return 0;
}

void note_call(const double* y, int n, double t, double h, int kind) {
  ModelCall c{kind, t, h, {}};
  for (int i = 1; i <= n; ++i) c.y[i] = y[i];
  hx.model_calls.push_back(c);
}

// Two stiff components tracking cos t and sin t:
//   y1' = lambda (y1 - cos t) - sin t,  y2' = lambda/2 (y2 - sin t) + cos t.
int tracking_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t,
                   double h, int kind, int* status, const int*) {
  note_call(y, n, t, h, kind);
  const double l2 = hx.lambda / 2;
  f[1] = yp[1] - hx.lambda * (y[1] - std::cos(t)) + std::sin(t);
  f[2] = yp[2] - l2 * (y[2] - std::sin(t)) - std::cos(t);
  if (t > hx.nan_after || h > hx.nan_for_steps_above) f[2] = std::numeric_limits<double>::quiet_NaN();
  fyp[1 * n + 1] = hx.fyp_factor;
  fyp[2 * n + 2] = hx.fyp_factor;
  fy[1 * n + 1] = -hx.lambda;
  fy[2 * n + 2] = -l2;
  if (kind == DAE_MODEL_ORDINARY) *status = hx.status_every_call;
  return 0;
}

// Purely algebraic (m = 0): y1 + y2 = 3t, y1 - y2 = t, so y1 = 2t, y2 = t.
int algebraic_model(double* y, double*, double* f, double*, double* fy, int n, int, double t,
                    double h, int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  f[1] = y[1] + y[2] - 3 * t;
  f[2] = y[1] - y[2] - t;
  fy[1 * n + 1] = 1;
  fy[1 * n + 2] = 1;
  fy[2 * n + 1] = 1;
  fy[2 * n + 2] = -1;
  return 0;
}

// Index 1 (n = 2, m = 1): y1' = y2, 0 = y2 - cos t, so y1 = sin t, y2 = cos t.
int index1_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t,
                 double h, int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  f[1] = yp[1] - y[2];
  f[2] = y[2] - std::cos(t);
  fyp[1 * n + 1] = 1;
  fy[1 * n + 2] = -1;
  fy[2 * n + 2] = 1;
  return 0;
}

// Van der Pol (n = m = 2). In the difference calls (kind 3) it
// writes nonsense into both Jacobians unless told not to.
int vdp_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t,
              double h, int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  const double mu = hx.mu;
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (1 - y[1] * y[1]) * mu * y[2] + y[1];
  const double junk = kind == DAE_MODEL_DIFFERENCE && hx.jacobian_in_differences ? 1e6 : 1;
  fyp[1 * n + 1] = 1 * junk;
  fyp[2 * n + 2] = 1 * junk;
  fy[1 * n + 2] = -1 * junk;
  fy[2 * n + 1] = (1 - (y[1] * (-2)) * (y[2] * mu)) * junk;
  fy[2 * n + 2] = -(mu * (1 - y[1] * y[1])) * junk;
  return 0;
}

// A residual that no Newton step can change: all Jacobians stay 0.
int singular_model(double* y, double*, double* f, double*, double*, int n, int, double t, double h,
                   int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  for (int i = 1; i <= n; ++i) f[i] = 1;
  return 0;
}

// y1' = 1e306: the solution overflows near t = 180 while F stays finite.
int overflow_model(double* y, double* yp, double* f, double* fyp, double*, int n, int, double t,
                   double h, int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  f[1] = yp[1] - 1e306;
  fyp[1 * n + 1] = 1;
  return 0;
}

// y1' = 1: exact for every method, so the step grows to hmax at once.
int unit_rate_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double t,
                    double h, int kind, int*, const int*) {
  note_call(y, n, t, h, kind);
  f[1] = yp[1] - 1;
  fyp[1 * n + 1] = 1;
  fy[1 * n + 1] = 0;
  return 0;
}

struct Settings {
  int n = 2;
  int m = 2;
  double tend = 2;
  double hmin = 1e-10;
  double hmax = 2;
  double eps = 1e-6;
  int nm = 3;
  int ier_in = 0;
  std::array<double, kMaxN + 1> y0{};
};

// Runs one call with the console output swallowed; ye = |y0| as magnitude scales.
Call run(DAE_Model model, const Settings& st, std::string* console = nullptr) {
  hx.n = st.n;
  hx.m = st.m;
  hx.model_calls.clear();
  hx.outputs.clear();
  hx.tnext = 0;
  Call c;
  for (int i = 1; i <= st.n; ++i) {
    c.y[i] = st.y0[i];
    c.ye[i] = std::fabs(st.y0[i]) > 0 ? std::fabs(st.y0[i]) : 1;
  }
  c.ier = st.ier_in;
  testing::internal::CaptureStdout();
  DAE_Solver_01(c.y.data(), c.yp.data(), c.ye.data(), c.ype.data(), c.F.data(), c.fyp.data(),
                c.fy.data(), 0.0, 0.0, st.tend, 0.0, st.hmin, st.hmax, st.eps, &c.tstop, st.n, st.m,
                st.nm, 0, &c.status, &c.ier, c.ip.data(), model, record_output);
  const std::string out = testing::internal::GetCapturedStdout();
  if (console != nullptr) *console = out;
  return c;
}

Settings tracking(int nm, double eps = 1e-6) {
  Settings st;
  st.nm = nm;
  st.eps = eps;
  st.y0 = {0, 1, 0};
  return st;
}

class DaeMethods : public ::testing::Test {
 protected:
  void SetUp() override { hx = Harness{}; }
};

// ---------------------------------------------------------------------------
// Accuracy and the Newton iteration

TEST_F(DaeMethods, EveryMethodReachesTheExactSolution) {
  for (int nm = 1; nm <= 4; ++nm) {
    const double eps = 1e-6;
    const Call c = run(tracking_model, tracking(nm, eps));
    ASSERT_EQ(c.ier, 0) << "nm=" << nm;
    EXPECT_EQ(hx.outputs.back().t, 2.0);
    double worst = 0;
    for (const Output& o : hx.outputs) {
      worst = std::fmax(worst, std::fabs(o.y[1] - std::cos(o.t)));
      worst = std::fmax(worst, std::fabs(o.y[2] - std::sin(o.t)));
    }
    EXPECT_LT(worst, 3 * eps) << "nm=" << nm;
  }
}

TEST_F(DaeMethods, LinearSystemWithExactJacobiansConvergesAfterTwoSolves) {
  for (int nm = 1; nm <= 3; ++nm) {
    run(tracking_model, tracking(nm));
    int steps = 0;
    for (const Output& o : hx.outputs) {
      if (o.kind != DAE_OUTPUT_STEP) continue;
      ++steps;
      EXPECT_EQ(o.ip[IP_STEP_SOLVES], 2) << "nm=" << nm << " t=" << o.t;
    }
    EXPECT_GT(steps, 5);
  }
}

TEST_F(DaeMethods, StatisticsFollowTheMethod) {
  for (int nm = 1; nm <= 4; ++nm) {
    const Call c = run(tracking_model, tracking(nm));
    ASSERT_EQ(c.ier, 0);
    const auto& ip = c.ip;
    int outputs = 0;
    for (const Output& o : hx.outputs) outputs += o.kind == DAE_OUTPUT_STEP ? 1 : 0;
    EXPECT_EQ(ip[IP_ACCEPTED_STEPS], outputs) << nm;
    EXPECT_GE(ip[IP_TOTAL_SOLVES], ip[IP_TRAPEZOIDAL_SOLVES] + ip[IP_LOBATTO_SOLVES]) << nm;
    switch (nm) {
      case 1:
        EXPECT_EQ(ip[IP_TRAPEZOIDAL_STEPS] + ip[IP_LOBATTO_STEPS], 0);
        EXPECT_EQ(ip[IP_TRAPEZOIDAL_SOLVES] + ip[IP_LOBATTO_SOLVES], 0);
        break;
      case 2:
        EXPECT_EQ(ip[IP_TRAPEZOIDAL_STEPS], ip[IP_ACCEPTED_STEPS]);
        EXPECT_EQ(ip[IP_LOBATTO_SOLVES], 0);
        break;
      case 3:
        EXPECT_EQ(ip[IP_LOBATTO_STEPS], ip[IP_ACCEPTED_STEPS]);
        EXPECT_EQ(ip[IP_TRAPEZOIDAL_SOLVES], 0);
        break;
      default:
        EXPECT_EQ(ip[IP_TRAPEZOIDAL_STEPS] + ip[IP_LOBATTO_STEPS], ip[IP_ACCEPTED_STEPS]);
        EXPECT_GT(ip[IP_TRAPEZOIDAL_STEPS], 0) << "switches to the trapezoidal rule";
        ASSERT_GE(hx.outputs.size(), 2u);
        EXPECT_EQ(hx.outputs[1].ip[IP_LOBATTO_STEPS], 1) << "starts with the three-point method";
        break;
    }
    // No failures on this smooth problem; halvings add the step's solves again.
    EXPECT_EQ(ip[IP_FAILED_ATTEMPTS], 0) << nm;
    EXPECT_EQ(ip[IP_MODEL_FAILURES], 0) << nm;
  }
}

TEST_F(DaeMethods, PurelyAlgebraicSystem) {
  for (int nm = 1; nm <= 4; ++nm) {
    Settings st;
    st.m = 0;
    st.nm = nm;
    st.y0 = {0, 5, 5};
    const Call c = run(algebraic_model, st);
    ASSERT_EQ(c.ier, 0) << nm;
    for (const Output& o : hx.outputs) {
      EXPECT_NEAR(o.y[1], 2 * o.t, 1e-13) << nm;
      EXPECT_NEAR(o.y[2], o.t, 1e-13) << nm;
    }
    EXPECT_EQ(hx.outputs.back().t, 2.0);
  }
}

TEST_F(DaeMethods, IndexOneSystemFindsConsistentStartValues) {
  for (int nm = 1; nm <= 4; ++nm) {
    Settings st;
    st.m = 1;
    st.nm = nm;
    st.eps = 1e-8;
    st.y0 = {0, 0, 7};  // y2 = 7 is inconsistent; init = 0 replaces it
    const Call c = run(index1_model, st);
    ASSERT_EQ(c.ier, 0) << nm;
    const Output& first = hx.outputs.front();
    EXPECT_EQ(first.kind, DAE_OUTPUT_FIRST);
    EXPECT_NEAR(first.y[2], 1, 1e-14);
    EXPECT_NEAR(first.yp[1], 1, 1e-6);
    // The integral sin t of cos t: implicit Euler is first order.
    const double tol = nm == 1 ? 2e-3 : 1e-6;
    for (const Output& o : hx.outputs) {
      EXPECT_NEAR(o.y[1], std::sin(o.t), tol) << "nm=" << nm << " t=" << o.t;
      EXPECT_NEAR(o.y[2], std::cos(o.t), 1e-12) << "nm=" << nm << " t=" << o.t;
    }
  }
}

// ---------------------------------------------------------------------------
// Stop times

TEST_F(DaeMethods, StopTimesAreHitExactly) {
  hx.tabulate = true;
  Settings st = tracking(3, 1e-5);
  st.tend = 5;
  st.hmax = 5;
  const Call c = run(tracking_model, st);
  ASSERT_EQ(c.ier, 0);
  std::vector<double> integers;
  for (const Output& o : hx.outputs) {
    if (o.t == std::floor(o.t)) integers.push_back(o.t);
  }
  EXPECT_EQ(integers, (std::vector<double>{0, 1, 2, 3, 4, 5}));
  // After a step shortened onto a stop time no growth rule applies: the next
  // step has the same size (unless it is itself shortened or halved).
  int checked = 0;
  for (std::size_t k = 1; k + 1 < hx.outputs.size(); ++k) {
    const Output& at = hx.outputs[k];
    const Output& next = hx.outputs[k + 1];
    const bool stop_hit = at.t == std::floor(at.t);
    const bool next_plain = next.t != std::floor(next.t) &&
                            next.ip[IP_HALVINGS] == at.ip[IP_HALVINGS];
    if (stop_hit && next_plain) {
      EXPECT_EQ(next.h, at.h) << "after t=" << at.t;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST_F(DaeMethods, StopTimeNotLaterThanTheStepStartIsIgnored) {
  const Call plain = run(tracking_model, tracking(3));
  const std::vector<Output> reference = hx.outputs;
  for (int mode = 1; mode <= 2; ++mode) {
    hx.past_stop = mode;
    const Call c = run(tracking_model, tracking(3));
    EXPECT_EQ(c.ier, 0);
    ASSERT_EQ(hx.outputs.size(), reference.size()) << mode;
    for (std::size_t k = 0; k < reference.size(); ++k) {
      EXPECT_EQ(hx.outputs[k].t, reference[k].t);
      EXPECT_EQ(hx.outputs[k].y[1], reference[k].y[1]);
    }
    EXPECT_EQ(c.ip, plain.ip);
  }
}

// Far from t = 0 steps below the time resolution conm14*t_old leave t where it
// is; they are summed, and t moves by the sum once it reaches the resolution.
TEST_F(DaeMethods, StepsBelowTheTimeResolutionAccumulate) {
  Settings st;
  st.n = 1;
  st.m = 1;
  st.nm = 1;
  const double t0 = 1e6;
  const double tres = dae::rounding_level() * t0;  // about 4.6e-9
  st.hmin = 1e-12;
  st.hmax = 2e-9;
  st.tend = 2e-7;  // added to t0 below
  st.y0 = {0, 0};
  hx.n = 1;
  hx.m = 1;
  hx.model_calls.clear();
  hx.outputs.clear();
  Call c;
  c.ye[1] = 1;
  testing::internal::CaptureStdout();
  DAE_Solver_01(c.y.data(), c.yp.data(), c.ye.data(), c.ype.data(), c.F.data(), c.fyp.data(),
                c.fy.data(), 0.0, t0, t0 + st.tend, 0.0, st.hmin, st.hmax, st.eps, &c.tstop, 1, 1, 1,
                0, &c.status, &c.ier, c.ip.data(), unit_rate_model, record_output);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(c.ier, 0);
  ASSERT_GT(hx.outputs.size(), 20u);
  double a = 0;  // the steps taken since t last moved
  int stayed = 0;
  int moved = 0;
  for (std::size_t k = 1; k + 1 < hx.outputs.size(); ++k) {  // the last step ends on tend
    const Output& before = hx.outputs[k - 1];
    const Output& o = hx.outputs[k];
    ASSERT_LT(o.h, tres);
    const double a_new = a + o.h;
    if (a_new < tres) {
      EXPECT_EQ(o.t, before.t) << k;
      a = a_new;
      ++stayed;
    } else {
      EXPECT_EQ(o.t, before.t + a_new) << k;
      a = 0;
      ++moved;
    }
  }
  EXPECT_GT(stayed, 10);
  EXPECT_GT(moved, 10);
  EXPECT_EQ(hx.outputs.back().t, t0 + st.tend);
}

// ---------------------------------------------------------------------------
// Difference Jacobians

// Checks that every ordinary call is followed by n difference calls at the
// same point, perturbing y_n first and y_1 last, one component at a time.
void expect_difference_calls(int n) {
  int ordinary = 0;
  for (std::size_t k = 0; k < hx.model_calls.size(); ++k) {
    const ModelCall& c = hx.model_calls[k];
    if (c.kind != DAE_MODEL_ORDINARY) continue;
    ++ordinary;
    ASSERT_LT(k + n, hx.model_calls.size());
    for (int p = 1; p <= n; ++p) {
      const ModelCall& d = hx.model_calls[k + p];
      ASSERT_EQ(d.kind, DAE_MODEL_DIFFERENCE);
      EXPECT_EQ(d.t, c.t);
      const int perturbed = n + 1 - p;
      for (int i = 1; i <= n; ++i) {
        if (i == perturbed) {
          EXPECT_GT(d.y[i], c.y[i]);
        } else {
          EXPECT_EQ(d.y[i], c.y[i]);
        }
      }
    }
  }
  EXPECT_GT(ordinary, 10);
}

// Three-point method: the difference calls of a stage are made at that
// stage's time; in a step the mid-point stage (earlier) comes first.
void expect_stage_times() {
  int pairs = 0;
  for (std::size_t k = 0; k + 3 < hx.model_calls.size(); ++k) {
    const ModelCall& mid = hx.model_calls[k];
    const ModelCall& end = hx.model_calls[k + 3];
    if (mid.kind == DAE_MODEL_ORDINARY && end.kind == DAE_MODEL_ORDINARY && end.t > mid.t) {
      EXPECT_EQ(hx.model_calls[k + 1].t, mid.t);
      EXPECT_EQ(hx.model_calls[k + 2].t, mid.t);
      ++pairs;
    }
  }
  EXPECT_GT(pairs, 10);
}

TEST_F(DaeMethods, ForwardDifferenceJacobian) {
  for (int nm : {1, 3}) {
    Settings st;
    st.nm = nm;
    st.eps = 1e-6;
    st.tend = 3;
    st.y0 = {0, 2, 0};
    hx.jacobian_in_differences = false;
    const Call exact = run(vdp_model, st);
    ASSERT_EQ(exact.ier, 0);
    for (const ModelCall& c : hx.model_calls) EXPECT_NE(c.kind, DAE_MODEL_DIFFERENCE);

    st.ier_in = DAE_IER_FORWARD_DIFFERENCES;
    hx.jacobian_in_differences = false;
    const Call fd = run(vdp_model, st);
    ASSERT_EQ(fd.ier, 0) << "nm=" << nm;
    expect_difference_calls(2);
    if (nm == 3) expect_stage_times();
    EXPECT_NEAR(fd.y[1], exact.y[1], 1e-4) << "nm=" << nm;
    EXPECT_NEAR(fd.y[2], exact.y[2], 1e-4) << "nm=" << nm;
    // Whatever a model writes into its Jacobians in the difference calls
    // cannot change the quotients: the run is the same bit for bit.
    hx.jacobian_in_differences = true;
    const Call scribbled = run(vdp_model, st);
    EXPECT_EQ(scribbled.y, fd.y) << "nm=" << nm;
    EXPECT_EQ(scribbled.ip, fd.ip) << "nm=" << nm;
    // Any other value of ier on entry is ignored.
    st.ier_in = 5;
    run(vdp_model, st);
    for (const ModelCall& c : hx.model_calls) EXPECT_NE(c.kind, DAE_MODEL_DIFFERENCE);
  }
}

// ---------------------------------------------------------------------------
// Damping of oscillating derivatives

// Each accepted step is redone at most once, and a redone step shows the
// three sign changes that triggered it in ip[21+i].
void expect_single_redos(int m) {
  for (std::size_t k = 1; k < hx.outputs.size(); ++k) {
    const Output& before = hx.outputs[k - 1];
    const Output& o = hx.outputs[k];
    const int redos = o.ip[IP_DAMPING_REDOS] - before.ip[IP_DAMPING_REDOS];
    EXPECT_LE(redos, 1) << "t=" << o.t;
    if (redos == 1) {
      bool three = false;
      for (int i = 1; i <= m; ++i) three = three || o.ip[IP_SIGN_CHANGES + i] == 3;
      EXPECT_TRUE(three) << "t=" << o.t;
    }
  }
}

TEST_F(DaeMethods, OscillatingDerivativeIsDampedOncePerStep) {
  // The trapezoidal rule on a fast decay with large steps gives derivatives
  // that alternate in sign; the step is redone with implicit Euler.
  hx.lambda = -1e6;
  Settings st = tracking(2, 1e-3);
  st.y0 = {0, 2, 0};
  const Call c = run(tracking_model, st);
  ASSERT_EQ(c.ier, 0);
  ASSERT_GT(c.ip[IP_DAMPING_REDOS], 0);
  expect_single_redos(2);

  // The three-point method on stiff Van der Pol: its end-point derivative
  // alternates at the sharp turns.
  hx.mu = 1000;
  Settings vdp;
  vdp.nm = 3;
  vdp.eps = 1e-4;
  vdp.tend = 2000;
  vdp.hmax = 2000;
  vdp.y0 = {0, 2, 0};
  const Call three = run(vdp_model, vdp);
  ASSERT_EQ(three.ier, 0);
  EXPECT_GT(three.ip[IP_DAMPING_REDOS], 0);
  expect_single_redos(2);
  // Implicit Euler never oscillates: no damping with nm = 1.
  run(tracking_model, [&] {
    Settings e = st;
    e.nm = 1;
    return e;
  }());
  EXPECT_EQ(hx.outputs.back().ip[IP_DAMPING_REDOS], 0);
}

// Between two outputs with no halving and no failure, every iteration makes one
// model call per stage and the last call of an attempt only tests, so a step
// costs stages*(ip[1] + 1) calls. A converged implicit-Euler redo adds its
// solves to ip[2] once and nothing to the damped method's ip[7] or ip[9]; the
// output then shows the damped attempt's own ip[1] again.
TEST_F(DaeMethods, DampingRedoAddsItsSolvesToTheTotalOnce) {
  struct Case {
    const char* what;
    DAE_Model model;
    Settings st;
    int stages;
    int method_solves;  // ip position of the damped method's solves
  };
  Settings trap = tracking(2, 1e-3);
  trap.y0 = {0, 2, 0};
  Settings vdp;
  vdp.nm = 3;
  vdp.eps = 1e-4;
  vdp.tend = 2000;
  vdp.hmax = 2000;
  vdp.y0 = {0, 2, 0};
  const std::vector<Case> cases = {
      {"trapezoidal", tracking_model, trap, 1, IP_TRAPEZOIDAL_SOLVES},
      {"three-point", vdp_model, vdp, 2, IP_LOBATTO_SOLVES},
  };
  hx.lambda = -1e6;
  hx.mu = 1000;
  for (const Case& k : cases) {
    run(k.model, k.st);
    int redone = 0;
    int plain = 0;
    for (std::size_t j = 1; j < hx.outputs.size(); ++j) {
      const Output& before = hx.outputs[j - 1];
      const Output& o = hx.outputs[j];
      auto delta = [&](int pos) { return o.ip[pos] - before.ip[pos]; };
      if (o.kind != DAE_OUTPUT_STEP || delta(IP_HALVINGS) != 0 || delta(IP_FAILED_ATTEMPTS) != 0) {
        continue;
      }
      int calls = 0;
      for (std::size_t c = before.model_calls_before; c < o.model_calls_before; ++c) {
        calls += hx.model_calls[c].kind == DAE_MODEL_ORDINARY ? 1 : 0;
      }
      const int solves = o.ip[IP_STEP_SOLVES];
      const int redo_solves = delta(IP_TOTAL_SOLVES) - solves;
      EXPECT_EQ(delta(k.method_solves), solves) << k.what << " t=" << o.t;
      if (delta(IP_DAMPING_REDOS) == 1) {
        ++redone;
        EXPECT_GE(redo_solves, 1) << k.what << " t=" << o.t;
        EXPECT_EQ(calls, k.stages * (solves + 1) + redo_solves + 1) << k.what << " t=" << o.t;
      } else {
        ++plain;
        EXPECT_EQ(redo_solves, 0) << k.what << " t=" << o.t;
        EXPECT_EQ(calls, k.stages * (solves + 1)) << k.what << " t=" << o.t;
      }
    }
    EXPECT_GT(redone, 0) << k.what;
    EXPECT_GT(plain, 0) << k.what;
  }
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(DaeMethods, SingularNewtonMatrixEndsAtOnce) {
  Settings st;
  st.y0 = {0, 1, 1};
  const Call c = run(singular_model, st);
  EXPECT_EQ(c.ier, DAE_IER_SINGULAR);
  EXPECT_EQ(c.ip[IP_STEP_SOLVES], 1);
  ASSERT_EQ(hx.outputs.size(), 1u);
  EXPECT_EQ(hx.outputs[0].kind, DAE_OUTPUT_ERROR);
}

TEST_F(DaeMethods, DoubtfulEvaluationsAreUsedOnlyNearHmin) {
  hx.status_every_call = DAE_STATUS_DOUBTFUL;
  Settings st = tracking(3, 1e-3);
  st.tend = 0.5;
  st.hmin = 0.01;
  const Call c = run(tracking_model, st);
  ASSERT_EQ(c.ier, 0);
  int ordinary = 0;
  for (const ModelCall& call : hx.model_calls) ordinary += call.kind == DAE_MODEL_ORDINARY ? 1 : 0;
  EXPECT_EQ(c.ip[IP_MODEL_FAILURES], ordinary);  // every one counted
  EXPECT_GE(c.ip[IP_FAILED_ATTEMPTS], c.ip[IP_MODEL_FAILURES]);
  for (const Output& o : hx.outputs) EXPECT_LE(o.h, 2 * st.hmin) << o.t;
  EXPECT_GT(c.ip[IP_HALVINGS], 0);  // steps above 2*hmin failed and were halved

  hx.status_every_call = DAE_STATUS_FAILED;
  const Call failed = run(tracking_model, st);
  EXPECT_EQ(failed.ier, DAE_IER_STEP_FAILED);
  EXPECT_EQ(failed.ip[IP_MODEL_FAILURES], 1);
  EXPECT_EQ(failed.ip[IP_FAILED_ATTEMPTS], 1);
}

TEST_F(DaeMethods, NonFiniteResidualIsAModelFailure) {
  // NaN beyond t = 0.5: counted, halved down to hmin, ier = 7; nothing
  // non-finite ever reaches the output routine.
  hx.nan_after = 0.5;
  Settings st = tracking(3, 1e-5);
  st.hmin = 1e-6;
  const Call c = run(tracking_model, st);
  EXPECT_EQ(c.ier, DAE_IER_STEP_FAILED);
  EXPECT_GT(c.ip[IP_MODEL_FAILURES], 0);
  EXPECT_EQ(hx.outputs.back().kind, DAE_OUTPUT_ERROR);
  for (const Output& o : hx.outputs) {
    EXPECT_TRUE(std::isfinite(o.y[1]) && std::isfinite(o.y[2]));
    EXPECT_LE(o.t, 0.5 + 1e-5);
  }

  // NaN only for large steps: the run recovers with smaller ones.
  hx.nan_after = 1e300;
  hx.nan_for_steps_above = 0.05;
  const Call recovered = run(tracking_model, st);
  EXPECT_EQ(recovered.ier, 0);
  EXPECT_GT(recovered.ip[IP_MODEL_FAILURES], 0);
  for (const Output& o : hx.outputs) EXPECT_LE(o.h, 0.05);
}

TEST_F(DaeMethods, OverflowingSolutionIsNeverAccepted) {
  Settings st;
  st.n = 1;
  st.m = 1;
  st.nm = 3;
  st.tend = 1000;
  st.hmin = 1e-6;
  st.hmax = 10;
  st.eps = 1e-6;
  st.y0 = {0, 0};
  const Call c = run(overflow_model, st);
  EXPECT_EQ(c.ier, DAE_IER_STEP_FAILED);
  EXPECT_GT(c.ip[IP_ERROR_TEST_FAILURES], 0);
  for (const Output& o : hx.outputs) {
    if (o.kind != DAE_OUTPUT_ERROR) {
      EXPECT_TRUE(std::isfinite(o.y[1])) << o.t;
    }
  }
  EXPECT_GT(hx.outputs[hx.outputs.size() - 2].y[1], 1e308);
}

TEST_F(DaeMethods, SlowIterationRejectedAtHminEndsTheRun) {
  // dF/dy' reported twice too large: Newton converges linearly with rate 1/2
  // and is stopped as slow; with a first-order estimate above sqrt(conm14)
  // the step is rejected, and at hmin that ends the run.
  hx.fyp_factor = 2;
  hx.lambda = -1;
  Settings st = tracking(1, 1e-3);
  st.hmin = 1e-3;
  const Call c = run(tracking_model, st);
  EXPECT_EQ(c.ier, DAE_IER_STEP_FAILED);
  EXPECT_GT(c.ip[IP_SLOW_REJECTIONS], 0);

  // With eps above 100 a slow iteration is never rejected, only reported.
  st.eps = 200;
  std::string console;
  const Call lax = run(tracking_model, st, &console);
  EXPECT_EQ(lax.ier, 0);
  EXPECT_EQ(lax.ip[IP_SLOW_REJECTIONS], 0);
  ASSERT_GT(lax.ip[IP_FDZ_WARNINGS], 0);
  int warnings = 0;
  for (std::size_t at = console.find(" warning! fdz>0.01: t="); at != std::string::npos;
       at = console.find(" warning! fdz>0.01: t=", at + 1)) {
    ++warnings;
  }
  EXPECT_EQ(warnings, lax.ip[IP_FDZ_WARNINGS]);
  const std::size_t first = console.find(" warning!");
  const std::string line = console.substr(first, console.find('\n', first) + 1 - first);
  // " warning! fdz>0.01: t=%15.8e ,h=%15.8e ,eps=%15.8e  \n" with three-digit exponents.
  EXPECT_EQ(line.size(), std::string(" warning! fdz>0.01: t=").size() + 15 + 4 + 15 + 6 + 15 + 3)
      << line;
  EXPECT_EQ(line.substr(line.size() - 3), "  \n");
}

}  // namespace
