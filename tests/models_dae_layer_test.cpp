// The C++ layer (dae/dae_problem.h) computes what DAE_Solver_01 computes, bit
// for bit, on every run of the battery: the same settings through dae::solve,
// with the catalogue's 1-based models adapted to the layer's 0-based view.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "dae/dae_problem.h"
#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "test_support.h"
#include "textout/diagnostics.h"

namespace {

using models::DaeTestCase;

// One output point, every double as its bits.
struct Point {
  bool first;
  std::vector<std::uint64_t> t_y_yp;
  bool operator==(const Point&) const = default;
};

std::vector<std::uint64_t> bits(std::span<const double> v) {
  std::vector<std::uint64_t> b;
  for (const double x : v) b.push_back(std::bit_cast<std::uint64_t>(x));
  return b;
}

Point point(bool first, double t, std::span<const double> y, std::span<const double> yp) {
  Point p{first, bits({&t, 1})};
  for (const auto& part : {bits(y), bits(yp)}) p.t_y_yp.insert(p.t_y_yp.end(), part.begin(), part.end());
  return p;
}

// One model call: its kind, the solves made in the attempt, its time's bits.
using Call = std::array<std::uint64_t, 3>;

Call call(int kind, int solves, double t) {
  return {std::uint64_t(kind), std::uint64_t(solves), std::bit_cast<std::uint64_t>(t)};
}

// What a run ends with: code, solution, counters ip[2..16], output points,
// and every model call on the way.
struct RunEnd {
  int ier;
  std::vector<std::uint64_t> y, yp;
  std::vector<long long> counters;
  std::vector<Point> points;
  std::vector<Call> calls;
};

// --- DAE_Solver_01 (its callbacks have no context: the run being recorded)

RunEnd* recording = nullptr;
const DaeTestCase* recorded_case = nullptr;

int record_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int m, double t, double h, int kind,
                 int* status, const int* ip) {
  recording->calls.push_back(call(kind, ip[IP_STEP_SOLVES], t));
  return recorded_case->model(y, yp, f, fyp, fy, n, m, t, h, kind, status, ip);
}

int record_output(double* y, double* yp, int n, int m, double t, double t0, double tend, double h, double* tstop,
                  int kind, const int* ip) {
  recording->points.push_back(point(kind == DAE_OUTPUT_FIRST, t, {y + 1, std::size_t(n)}, {yp + 1, std::size_t(m)}));
  return recorded_case->output(y, yp, n, m, t, t0, tend, h, tstop, kind, ip);
}

RunEnd run_plain(const DaeTestCase& c) {
  RunEnd e{};
  recording = &e;
  recorded_case = &c;
  auto a = std::make_unique<models::DaeArrays>();
  DaeTestCase recorded = c;
  recorded.model = record_model;
  c.set_parameters();
  models::set_start_values(c, *a);
  test_support::stdout_of([&] { models::call_dae_solver(recorded, *a, e.ier, record_output); });  // print00 prints
  e.y = bits({&a->y[1], std::size_t(c.n)});
  e.yp = bits({&a->yp[1], std::size_t(c.m)});
  e.counters.assign(&a->ip[IP_TOTAL_SOLVES], &a->ip[IP_DIVERGENT] + 1);
  return e;
}

// --- the layer

// A catalogue model seen through the layer: 1-based copies in, values out.
// The fy and fyp kept here, like the integrator's, are cleared once and keep
// what the model wrote, so copying them whole each call hands over the same
// matrices. The catalogue's models read ip[1] only.
struct OneBased {
  const DaeTestCase* c;
  std::vector<Call>* calls;
  static constexpr std::size_t kVector = models::kMaxDaeUnknowns + 1;
  static constexpr std::size_t kMatrix = models::kMaxDaeUnknowns * kVector + 1;
  std::vector<double> y = std::vector<double>(kVector), yp = y, f = y;
  std::vector<double> fyp = std::vector<double>(kMatrix), fy = fyp;

  dae::ModelStatus operator()(const dae::ModelPoint& at, dae::ModelValues& v) {
    const int n = c->n, m = c->m;
    std::copy(at.y.begin(), at.y.end(), y.begin() + 1);
    std::copy(at.yp.begin(), at.yp.end(), yp.begin() + 1);
    calls->push_back(call(static_cast<int>(at.kind), at.newton_solves, at.t));
    const int ip[2] = {0, at.newton_solves};
    int status = 0;
    c->model(y.data(), yp.data(), f.data(), fyp.data(), fy.data(), n, m, at.t, at.h, static_cast<int>(at.kind), &status,
             ip);
    std::copy(f.begin() + 1, f.begin() + 1 + n, v.f.begin());
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) v.dfdy(i, j) = fy[(i + 1) * n + j + 1];
      for (int j = 0; j < m; ++j) v.dfdyp(i, j) = fyp[(i + 1) * n + j + 1];
    }
    return static_cast<dae::ModelStatus>(status);
  }
};

dae::Options options_of(const DaeTestCase& c) {
  dae::Options o;
  o.eps = c.eps;
  o.hmin = c.hmin;
  o.hmax = c.hmax;
  o.method = static_cast<dae::IntegrationMethod>(c.nm);
  o.start = static_cast<dae::StartMode>(c.init);
  o.ye.assign(&c.ye0[1], &c.ye0[1] + c.n);
  o.max_steps = 0;
  // print05 aims a step at every whole time through tstop.
  if (c.test == 5) o.output_times = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  return o;
}

RunEnd run_layer(const DaeTestCase& c) {
  RunEnd e{};
  c.set_parameters();
  const dae::Problem problem{c.n, c.m, OneBased{&c, &e.calls}};
  const dae::InitialValues start{c.t0, std::vector<double>(&c.y0[1], &c.y0[1] + c.n), {}};
  const dae::Result r = dae::solve(problem, start, c.tend, options_of(c), [&](const dae::Observation& o) {
    e.points.push_back(point(o.first, o.t, o.y, o.yp));
    return dae::ObserverReply::proceed;
  });
  e.ier = r.ier;
  e.y = bits(r.y);
  e.yp = bits(r.yp);
  const dae::Statistics& s = r.statistics;
  e.counters = {s.newton_solves,      s.accepted_steps,    s.halvings,       s.error_test_failures, s.failed_attempts,
                s.trapezoidal_solves, s.trapezoidal_steps, s.lobatto_solves, s.lobatto_steps,       s.slow_warnings,
                s.damping_redos,      s.slow_rejections,   s.model_failures, s.not_converged,       s.divergent};
  return e;
}

TEST(DaeLayer, EveryBatteryRunBitForBit) {
  const textout::DiagnosticsTo quiet(nullptr);
  models::streams = {nullptr, nullptr, nullptr};
  for (const DaeTestCase& c : models::dae_catalogue()) {
    SCOPED_TRACE(c.name);
    const RunEnd plain = run_plain(c);
    const RunEnd layer = run_layer(c);
    EXPECT_EQ(plain.ier, 0);
    EXPECT_EQ(layer.ier, plain.ier);
    EXPECT_EQ(layer.y, plain.y);
    EXPECT_EQ(layer.yp, plain.yp);
    EXPECT_EQ(layer.counters, plain.counters);
    ASSERT_EQ(layer.points.size(), plain.points.size());
    EXPECT_TRUE(layer.points == plain.points);
    EXPECT_TRUE(layer.calls == plain.calls);
  }
}

}  // namespace
