// The integrator core (dae/dae_core.h): the same results as DAE_Solver_01 with
// the model's data in the callback's context and no console line, a stop from
// the output routine, the step limit, and the count of steps accepted with a
// failed error test.
#include "dae/dae_core.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "dae/dae_solver.h"

namespace {

constexpr int kN = 2;
constexpr double kMu = 1000;  // stiffness of Van der Pol

// Van der Pol, y1' = y2, y2' = mu (1 - y1^2) y2 - y1, with mu from the context
// (the core's model) or kMu (the plain model).
int vdp_core(void* context, double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int,
             int*, const int*) {
  const double mu = *static_cast<const double*>(context);
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (1 - y[1] * y[1]) * mu * y[2] + y[1];
  fyp[1 * n + 1] = fyp[2 * n + 2] = 1;
  fy[1 * n + 2] = -1;
  fy[2 * n + 1] = 1 + 2 * y[1] * y[2] * mu;
  fy[2 * n + 2] = -(mu * (1 - y[1] * y[1]));
  return 0;
}

int vdp(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t, double h, int kind,
        int* status, const int* ip) {
  double mu = kMu;
  return vdp_core(&mu, y, yp, f, fyp, fy, n, m, t, h, kind, status, ip);
}

int ignore_output(double*, double*, int, int, double, double, double, double, double*, int, const int*) { return 0; }

// The outputs seen, and the step count at which to reply stop (0: at the
// kind-0 output, -1: never).
struct Outputs {
  int stop_at = -1;
  std::vector<int> kinds;
  std::vector<double> t, y1;
};

dae::OutputReply record(void* context, double* y, double*, int, int, double t, double, double, double, double*,
                        int kind, const int* ip) {
  auto& o = *static_cast<Outputs*>(context);
  o.kinds.push_back(kind), o.t.push_back(t), o.y1.push_back(y[1]);
  return kind >= 0 && ip[IP_ACCEPTED_STEPS] == o.stop_at ? dae::OutputReply::stop : dae::OutputReply::proceed;
}

struct Arrays {
  std::array<double, kN + 1> y{0, 2, 0}, yp{}, ye{0, 2, 2}, ype{}, F{};
  std::array<double, kN * kN + kN + 1> fyp{}, fy{};
  std::array<int, dae_ip_size(kN)> ip{};
  double tstop = 0;
  int status = 0;
  dae::CoreArrays core() {
    return {y.data(), yp.data(), ye.data(), ype.data(), F.data(), fyp.data(), fy.data(), &tstop, &status, ip.data()};
  }
};

dae::CoreSettings vdp_settings(int nm, double hmin = 1e-12) {
  dae::CoreSettings s{0, 2000, hmin, 2000, 1e-4, kN, kN, nm, DAE_INIT_COMPUTE};
  s.quiet = true;
  return s;
}

dae::CoreResult run(Arrays& a, const dae::CoreSettings& s, Outputs& o) {
  static double mu = kMu;
  return dae::integrate(a.core(), s, {vdp_core, &mu}, {record, &o});
}

// Bit for bit, with and without forward differences; quiet, where
// DAE_Solver_01 prints its lines.
TEST(DaeCore, ComputesWhatDaeSolver01Computes) {
  for (int nm = 1; nm <= 4; ++nm) {
    for (const int ier_in : {0, DAE_IER_FORWARD_DIFFERENCES}) {
      SCOPED_TRACE("nm = " + std::to_string(nm) + ", ier in " + std::to_string(ier_in));
      Arrays plain, core;
      int ier = ier_in;
      testing::internal::CaptureStdout();
      DAE_Solver_01(plain.y.data(), plain.yp.data(), plain.ye.data(), plain.ype.data(), plain.F.data(),
                    plain.fyp.data(), plain.fy.data(), 0, 0, 2000, 0, 1e-12, 2000, 1e-4, &plain.tstop, kN, kN, nm,
                    DAE_INIT_COMPUTE, &plain.status, &ier, plain.ip.data(), vdp, ignore_output);
      EXPECT_EQ(testing::internal::GetCapturedStdout().find("\ndae-solver-01\n1 conm14 = "), 0u);
      dae::CoreSettings s = vdp_settings(nm);
      s.forward_differences = ier_in == DAE_IER_FORWARD_DIFFERENCES;
      Outputs o;
      testing::internal::CaptureStdout();
      const dae::CoreResult r = run(core, s, o);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
      EXPECT_EQ(r.ier, ier);
      EXPECT_EQ(core.y, plain.y);
      EXPECT_EQ(core.yp, plain.yp);
      EXPECT_EQ(core.ip, plain.ip);
      EXPECT_EQ(r.accepted_steps, plain.ip[IP_ACCEPTED_STEPS]);
      EXPECT_EQ(r.t, 2000);
    }
  }
}

// Stop replies and the step limit end the run at an output, with y the
// solution there; only the step limit is followed by an error-exit output.
TEST(DaeCore, StopAndStepLimit) {
  const struct {
    const char* what;
    int stop_at;
    long long max_steps;
    int ier;
    int steps;  // accepted steps at the end (-1: not checked)
  } cases[] = {
      {"stop at the first output", 0, 0, dae::DAE_IER_STOPPED, 0},
      {"stop after the fifth step", 5, 0, dae::DAE_IER_STOPPED, 5},
      {"step limit of seven", -1, 7, dae::DAE_IER_STEP_LIMIT, 7},
      {"a stop after the last step changes nothing", 477, 0, DAE_IER_OK, 477},
      {"a limit not reached changes nothing", -1, 477, DAE_IER_OK, 477},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Arrays a;
    Outputs o{c.stop_at, {}, {}, {}};
    dae::CoreSettings s = vdp_settings(DAE_NM_LOBATTO);
    s.max_steps = c.max_steps;
    const dae::CoreResult r = run(a, s, o);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_EQ(r.accepted_steps, c.steps);
    EXPECT_EQ(a.ip[IP_ACCEPTED_STEPS], c.steps);
    const bool error_exit = c.ier == dae::DAE_IER_STEP_LIMIT;
    ASSERT_EQ(o.kinds.size(), static_cast<std::size_t>(c.steps + 1 + (error_exit ? 1 : 0)));
    EXPECT_EQ(o.kinds.back(), error_exit ? DAE_OUTPUT_ERROR : c.steps == 0 ? DAE_OUTPUT_FIRST : DAE_OUTPUT_STEP);
    const std::size_t last_step = static_cast<std::size_t>(c.steps);
    EXPECT_EQ(a.y[1], o.y1[last_step]);
    EXPECT_EQ(r.t, o.t[last_step]);
  }
}

// With hmin = 1e-3 the sharp turns of Van der Pol cannot be resolved: steps
// with a failed error test are accepted, and counted apart from ip[5], which
// also counts the rejections.
TEST(DaeCore, CountsStepsAcceptedWithAFailedErrorTest) {
  for (const double hmin : {1e-12, 1e-3}) {
    Arrays a;
    Outputs o;
    const dae::CoreResult r = run(a, vdp_settings(DAE_NM_LOBATTO, hmin), o);
    ASSERT_EQ(r.ier, DAE_IER_OK) << hmin;
    EXPECT_EQ(r.accepted_error_failed > 0, hmin > 1e-6) << hmin;
    EXPECT_LE(r.accepted_error_failed, a.ip[IP_ERROR_TEST_FAILURES]) << hmin;
  }
}

}  // namespace
