// Interface of DAE_Solver_01: argument codes and their precedence, the output
// calls at the start, per step and at an error exit, the model's first call,
// the console lines, and the inputs rejected to keep a call sound.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dae/dae_solver.h"

namespace {

constexpr int kMaxN = 50;

// Storage of one call, 1-based, large enough for n <= kMaxN.
struct Call {
  std::array<double, kMaxN + 1> y{}, yp{}, ye{}, ype{}, F{};
  std::array<double, kMaxN * kMaxN + kMaxN + 1> fyp{}, fy{};
  double tstop = 0;
  int status = 0;
  int ier = 0;
  std::array<int, 3 * kMaxN + 22> ip{};
};

struct OutputRecord {
  int kind;
  double t;
  double t0;
  double h;
};

// What the callbacks saw (test harness state, reset per test).
struct Seen {
  std::vector<int> model_kinds;
  std::vector<OutputRecord> outputs;
  int fail_first_call = 0;  // status the kind-0 model call reports
  bool derivative_keeps_moving = false;
} seen;

// y_i' = -y_i for every i; optionally reports a status at the first call, or
// makes y' depend on the step so that the start-up never settles.
int decay_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double,
                double h, int kind, int* status, const int*) {
  seen.model_kinds.push_back(kind);
  if (kind == DAE_MODEL_FIRST && seen.fail_first_call != 0) *status = seen.fail_first_call;
  for (int i = 1; i <= n; ++i) {
    const double drive = seen.derivative_keeps_moving ? std::log2(1 / h) : 0;
    f[i] = i <= m ? yp[i] + y[i] - drive : y[i] - 1;
    if (i <= m) fyp[i * n + i] = 1;
    fy[i * n + i] = 1;
  }
  return 0;
}

int record_output(double*, double*, int, int, double t, double t0, double, double h, double*,
                  int kind, const int*) {
  seen.outputs.push_back({kind, t, t0, h});
  return 0;
}

struct Arguments {
  int n = 2;
  int m = 2;
  double t0 = 0;
  double tend = 1;
  double hmin = 1e-8;
  double hmax = 1;
  double eps = 1e-4;
  int nm = 3;
  int init = 0;
};

int run(Call& c, const Arguments& a) {
  for (int i = 1; i <= a.n && i <= kMaxN; ++i) {
    c.y[i] = 1;
    c.ye[i] = 1;
  }
  DAE_Solver_01(c.y.data(), c.yp.data(), c.ye.data(), c.ype.data(), c.F.data(), c.fyp.data(),
                c.fy.data(), 0.0, a.t0, a.tend, 0.0, a.hmin, a.hmax, a.eps, &c.tstop, a.n, a.m, a.nm,
                a.init, &c.status, &c.ier, c.ip.data(), decay_model, record_output);
  return c.ier;
}

int count_outputs(int kind) {
  int count = 0;
  for (const OutputRecord& r : seen.outputs) count += r.kind == kind ? 1 : 0;
  return count;
}

class DaeInterface : public ::testing::Test {
 protected:
  void SetUp() override { seen = Seen{}; }
};

TEST_F(DaeInterface, ArgumentCodesAndPrecedence) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    Arguments a;
    int ier;
  };
  auto with = [](auto change) {
    Arguments a;
    change(a);
    return a;
  };
  const std::vector<Case> cases = {
      {"valid", Arguments{}, 0},
      {"n = 0", with([](Arguments& a) { a.n = 0; a.m = 0; }), 1},
      {"m < 0", with([](Arguments& a) { a.m = -1; }), 1},
      {"m > n", with([](Arguments& a) { a.m = 3; }), 1},
      {"m = 0 accepted", with([](Arguments& a) { a.m = 0; }), 0},
      {"hmin = 1e-200", with([](Arguments& a) { a.hmin = 1e-200; }), 2},
      {"hmax < hmin", with([](Arguments& a) { a.hmax = 0.5e-8; }), 2},
      {"hmax = hmin passes", with([](Arguments& a) { a.hmin = 0.25; a.hmax = 0.25; }), 0},
      {"tend - t0 < hmin", with([](Arguments& a) { a.hmin = 0.5; a.tend = 0.25; }), 3},
      {"tend - t0 = hmin passes", with([](Arguments& a) { a.hmin = 0.25; a.tend = 0.25; }), 0},
      {"eps = 1e-12", with([](Arguments& a) { a.eps = 1e-12; }), 4},
      {"nm = 0", with([](Arguments& a) { a.nm = 0; }), 5},
      {"nm = 5", with([](Arguments& a) { a.nm = 5; }), 5},
      {"init = 1", with([](Arguments& a) { a.init = 1; }), 6},
      {"init = 3", with([](Arguments& a) { a.init = 3; }), 6},
      {"init = -1", with([](Arguments& a) { a.init = -1; }), 6},
      {"init = 2 accepted", with([](Arguments& a) { a.init = 2; }), 0},
      {"n = 0 and nm = 9: the later check wins", with([](Arguments& a) { a.n = 0; a.nm = 9; }), 5},
      {"all six fail", with([](Arguments& a) {
         a.n = -1; a.hmin = 0; a.eps = 0; a.nm = 7; a.init = 1;
       }), 6},
      {"sizes and span fail", with([](Arguments& a) { a.m = 5; a.tend = -1; }), 3},
      // A workspace of 10,000 doubles: n = m = 38 needs 9922, n = m = 39 needs 10417.
      {"n = m = 38 fits", with([](Arguments& a) { a.n = 38; a.m = 38; a.tend = 0.01; }), 0},
      {"n = m = 39 does not fit", with([](Arguments& a) { a.n = 39; a.m = 39; }), 1},
      {"n = 48, m = 0 fits", with([](Arguments& a) { a.n = 48; a.m = 0; a.tend = 0.01; }), 0},
      {"n = 49, m = 0 does not fit", with([](Arguments& a) { a.n = 49; a.m = 0; }), 1},
      {"huge n does not overflow the need", with([](Arguments& a) { a.n = 2000000000; a.m = 0; }), 1},
      // Not-a-number and infinite inputs fail the check that names them.
      {"hmin NaN fails checks 2 and 3", with([&](Arguments& a) { a.hmin = nan; }), 3},
      {"hmax NaN", with([&](Arguments& a) { a.hmax = nan; }), 2},
      {"tend NaN", with([&](Arguments& a) { a.tend = nan; }), 3},
      {"tend infinite", with([&](Arguments& a) { a.tend = inf; }), 3},
      {"t0 minus infinity", with([&](Arguments& a) { a.t0 = -inf; }), 3},
      {"eps NaN", with([&](Arguments& a) { a.eps = nan; }), 4},
  };
  for (const Case& k : cases) {
    seen = Seen{};
    Call c;
    testing::internal::CaptureStdout();
    const int ier = run(c, k.a);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ier, k.ier) << k.what;
    if (k.ier != 0) {
      // An argument error calls nothing but the output routine, once, at t0.
      EXPECT_TRUE(seen.model_kinds.empty()) << k.what;
      ASSERT_EQ(seen.outputs.size(), 1u) << k.what;
      EXPECT_EQ(seen.outputs[0].kind, DAE_OUTPUT_ERROR) << k.what;
      EXPECT_EQ(seen.outputs[0].t, k.a.t0) << k.what;
      EXPECT_EQ(seen.outputs[0].t0, k.a.t0) << k.what;
    }
  }
}

TEST_F(DaeInterface, OutputCallsOfASuccessfulRun) {
  Call c;
  testing::internal::CaptureStdout();
  ASSERT_EQ(run(c, Arguments{}), 0);
  testing::internal::GetCapturedStdout();
  ASSERT_GE(seen.outputs.size(), 2u);
  EXPECT_EQ(count_outputs(DAE_OUTPUT_FIRST), 1);
  EXPECT_EQ(count_outputs(DAE_OUTPUT_ERROR), 0);
  EXPECT_EQ(seen.outputs.front().kind, DAE_OUTPUT_FIRST);
  EXPECT_EQ(seen.outputs.front().t, 0.0);
  EXPECT_EQ(seen.outputs.back().t, 1.0);  // the last call is at tend exactly
  EXPECT_EQ(count_outputs(DAE_OUTPUT_STEP), c.ip[IP_ACCEPTED_STEPS]);
  // The first model call has kind 0 and is the only one of its kind.
  ASSERT_FALSE(seen.model_kinds.empty());
  EXPECT_EQ(seen.model_kinds.front(), DAE_MODEL_FIRST);
  int first_calls = 0;
  for (int kind : seen.model_kinds) first_calls += kind == DAE_MODEL_FIRST ? 1 : 0;
  EXPECT_EQ(first_calls, 1);
  // Times of the step outputs increase.
  for (std::size_t k = 1; k < seen.outputs.size(); ++k) {
    EXPECT_GT(seen.outputs[k].t, seen.outputs[k - 1].t);
  }
}

TEST_F(DaeInterface, FailureAtTheFirstModelCallEndsWithSeven) {
  seen.fail_first_call = DAE_STATUS_FAILED;
  Call c;
  testing::internal::CaptureStdout();
  EXPECT_EQ(run(c, Arguments{}), DAE_IER_STEP_FAILED);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(seen.model_kinds.size(), 1u);
  ASSERT_EQ(seen.outputs.size(), 1u);
  EXPECT_EQ(seen.outputs[0].kind, DAE_OUTPUT_ERROR);
  EXPECT_EQ(seen.outputs[0].h, 1e-8);  // still hmin
  EXPECT_EQ(c.ip[IP_MODEL_FAILURES], 1);
}

TEST_F(DaeInterface, OnlyStatusOneFailsTheFirstCall) {
  seen.fail_first_call = DAE_STATUS_DOUBTFUL;
  Call c;
  testing::internal::CaptureStdout();
  EXPECT_EQ(run(c, Arguments{}), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(count_outputs(DAE_OUTPUT_ERROR), 0);
}

TEST_F(DaeInterface, ConsoleLines) {
  Arguments a;
  a.n = 1;
  a.m = 1;
  Call c;
  testing::internal::CaptureStdout();
  ASSERT_EQ(run(c, a), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  // init = 0: the first attempt compares with y' = 0 (ee = 1), the second
  // with the first, whose y' = -1/(1 + h) differs by about h.
  const std::string expected =
      "\ndae-solver-01\n"
      "1 conm14 = 4.61852778e-015 \n"
      "ee=1.00000000e+000 ,h=1.00000000e-008 ,ip[1]=2\n "
      "ee=5.00000011e-009 ,h=5.00000000e-009 ,ip[1]=2\n ";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(seen.outputs.front().h, 2.5e-9);  // half the last start-up step
}

TEST_F(DaeInterface, StartUpThatNeverSettlesEndsAfterSixtyAttempts) {
  seen.derivative_keeps_moving = true;
  Arguments a;
  a.n = 1;
  a.m = 1;
  Call c;
  testing::internal::CaptureStdout();
  EXPECT_EQ(run(c, a), DAE_IER_STEP_FAILED);
  const std::string out = testing::internal::GetCapturedStdout();
  int lines = 0;
  for (std::size_t at = out.find("ee="); at != std::string::npos; at = out.find("ee=", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 60);
  EXPECT_EQ(count_outputs(DAE_OUTPUT_FIRST), 0);
  EXPECT_EQ(count_outputs(DAE_OUTPUT_ERROR), 1);
}

TEST_F(DaeInterface, StatisticsAndWorkspaceAreClearedPerCall) {
  Call c;
  c.ip.fill(12345);
  testing::internal::CaptureStdout();
  ASSERT_EQ(run(c, Arguments{}), 0);
  const std::array<int, 3 * kMaxN + 22> first = c.ip;
  // A second call on the same storage gives the same statistics.
  Call d;
  d.ip.fill(-7);
  ASSERT_EQ(run(d, Arguments{}), 0);
  testing::internal::GetCapturedStdout();
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(first[k], d.ip[k]) << "ip[" << k << "]";
  EXPECT_EQ(c.y, d.y);
}

}  // namespace
