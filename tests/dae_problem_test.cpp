// The C++ layer of the integrator (dae/dae_problem.h): output times landed on
// exactly with correct values, a stop from the observer, the result's words
// for its codes, the size checks, and console lines only where asked.
// (Bit-identity with DAE_Solver_01 is checked on the battery's models in
// models_dae_layer_test.cpp.)
#include "dae/dae_problem.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// y0' = -y0, 0 = y1 - y0^2: y0 = exp(-t), y1 = exp(-2t).
dae::ModelStatus decay(const dae::ModelPoint& at, dae::ModelValues& v) {
  v.f[0] = at.yp[0] + at.y[0];
  v.f[1] = at.y[1] - at.y[0] * at.y[0];
  v.dfdyp(0, 0) = 1;
  v.dfdy(0, 0) = 1;
  v.dfdy(1, 0) = -2 * at.y[0];
  v.dfdy(1, 1) = 1;
  return dae::ModelStatus::ok;
}

const dae::Problem kDecay{2, 1, decay};
const dae::InitialValues kDecayStart{0, {1, 1}, {}};

TEST(DaeProblem, LandsOnOutputTimesWithTheSolutionThere) {
  dae::Options o;
  o.eps = 1e-8;
  o.output_times = {3, 0.5, -1, 1.25, 2, 7};  // unsorted; -1 and 7 lie outside [0, 4]
  std::vector<double> landed;
  const dae::Result r = dae::solve(kDecay, kDecayStart, 4, o, [&](const dae::Observation& p) {
    if (p.output_time) {
      landed.push_back(p.t);
      EXPECT_NEAR(p.y[0], std::exp(-p.t), 1e-7 * std::exp(-p.t)) << "t = " << p.t;
      EXPECT_NEAR(p.y[1], std::exp(-2 * p.t), 1e-7 * std::exp(-2 * p.t)) << "t = " << p.t;
    }
    return dae::ObserverReply::proceed;
  });
  EXPECT_EQ(r.ier, DAE_IER_OK) << r.message;
  EXPECT_EQ(landed, (std::vector<double>{0.5, 1.25, 2, 3}));
  EXPECT_EQ(r.t, 4);
  EXPECT_NEAR(r.yp[0], -std::exp(-4.0), 1e-7 * std::exp(-4.0));
}

TEST(DaeProblem, ObserverStopsTheRun) {
  for (const long long stop_after : {0LL, 1LL, 6LL}) {
    SCOPED_TRACE(stop_after);
    int calls = 0;
    dae::Observation last{};
    std::vector<double> last_y;
    const dae::Result r = dae::solve(kDecay, kDecayStart, 4, {}, [&](const dae::Observation& p) {
      ++calls;
      last = p;
      last_y.assign(p.y.begin(), p.y.end());
      return p.accepted_steps == stop_after ? dae::ObserverReply::stop : dae::ObserverReply::proceed;
    });
    EXPECT_EQ(r.ier, dae::kIerStopped);
    EXPECT_EQ(calls, stop_after + 1);
    EXPECT_EQ(last.first, stop_after == 0);
    EXPECT_EQ(r.t, last.t);
    EXPECT_EQ(r.y, last_y);
    EXPECT_EQ(r.statistics.accepted_steps, stop_after);
    EXPECT_NE(r.message.find("stopped by the observer"), std::string::npos) << r.message;
  }
}

// Van der Pol, stiff, with the step bounds of each case.
dae::ModelStatus van_der_pol(const dae::ModelPoint& at, dae::ModelValues& v) {
  constexpr double mu = 1000;
  v.f[0] = at.yp[0] - at.y[1];
  v.f[1] = at.yp[1] - mu * (1 - at.y[0] * at.y[0]) * at.y[1] + at.y[0];
  v.dfdyp(0, 0) = v.dfdyp(1, 1) = 1;
  v.dfdy(0, 1) = -1;
  v.dfdy(1, 0) = 2 * mu * at.y[0] * at.y[1] + 1;
  v.dfdy(1, 1) = -mu * (1 - at.y[0] * at.y[0]);
  return at.t > 2500 ? dae::ModelStatus::failed : dae::ModelStatus::ok;
}

// The words name what the counters show.
TEST(DaeProblem, MessageNamesTheCause) {
  const struct {
    const char* what;
    double tend, hmin;
    long long max_steps;
    int ier;
    const char* says;
  } cases[] = {
      {"a model that fails beyond t = 2500", 3000, 0, 0, DAE_IER_STEP_FAILED, " model evaluation(s) failed"},
      {"hmin too large to halve a step", 2000, 1e-3, 0, DAE_IER_OK, "accepted although their error estimate"},
      {"the step limit", 2000, 0, 50, dae::kIerStepLimit, "50 steps accepted"},
      {"a span below hmin", 1e-4, 1e-3, 0, DAE_IER_SPAN, "span: tend - t0 = 0.0001 is below hmin = 0.001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dae::Options o;
    o.eps = 1e-4;
    o.hmin = c.hmin;
    o.max_steps = c.max_steps;
    const dae::Result r = dae::solve({2, 2, van_der_pol}, {0, {2, 0}, {}}, c.tend, o);
    EXPECT_EQ(r.ier, c.ier);
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    EXPECT_EQ(r.statistics.accepted_error_failed > 0, c.ier == DAE_IER_OK);
    EXPECT_EQ(r.statistics.model_failures > 0, c.ier == DAE_IER_STEP_FAILED);
  }
}

// Sizes that disagree are refused before the model is called.
TEST(DaeProblem, RefusesSizesThatDoNotFit) {
  int calls = 0;
  auto counting = [&](const dae::ModelPoint& at, dae::ModelValues& v) {
    ++calls;
    return decay(at, v);
  };
  const struct {
    const char* what;
    int n, m;
    std::vector<double> y, yp, ye;
  } cases[] = {
      {"y of three", 2, 1, {1, 1, 1}, {}, {}},
      {"yp of two", 2, 1, {1, 1}, {0, 0}, {}},
      {"ye of one", 2, 1, {1, 1}, {}, {1}},
      {"m above n", 2, 3, {1, 1}, {}, {}},
      {"more than the workspace holds", 39, 39, std::vector<double>(39, 1.0), {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dae::Options o;
    o.ye = c.ye;
    const dae::Result r = dae::solve({c.n, c.m, counting}, {0, c.y, c.yp}, 1, o);
    EXPECT_EQ(r.ier, DAE_IER_SIZES);
    EXPECT_EQ(r.message.rfind("sizes: ", 0), 0u) << r.message;
  }
  EXPECT_EQ(calls, 0);
}

// Silent by default; with a stream, the integrator's lines go there alone.
TEST(DaeProblem, PrintsOnlyWhereAsked) {
  char* text = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&text, &size);
  dae::Options o;
  EXPECT_EQ(test_support::stdout_of([&] { dae::solve(kDecay, kDecayStart, 4, o); }), "");
  o.diagnostics = stream;
  EXPECT_EQ(test_support::stdout_of([&] { dae::solve(kDecay, kDecayStart, 4, o); }), "");
  std::fclose(stream);
  EXPECT_EQ(std::string(text, size).rfind("\ndae-solver-01\n1 conm14 = ", 0), 0u);
  std::free(text);
}

}  // namespace
