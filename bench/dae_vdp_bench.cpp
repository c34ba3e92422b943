// Stiff Van der Pol oscillator through DAE_Solver_01:
//   y1' = y2,  y2' = mu (1 - y1^2) y2 - y1,  mu = 1000, y(0) = (2, 0),
// over t = 0 .. 3000 (a little under two periods), eps = 1e-6, three-point
// method (nm = 3). Reports accepted steps per second and the statistics ip.
//
//   model and output   vdp_model, count_output
//   one call           integrate
//   benchmark          BM_VanDerPolStiff
#include <benchmark/benchmark.h>

#include <array>

#include "dae/dae_solver.h"
#include "textout/diagnostics.h"

namespace {

constexpr double kMu = 1000;
constexpr int kN = 2;

int vdp_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
              const int*) {
  f[1] = yp[1] - y[2];
  f[2] = yp[2] - (1 - y[1] * y[1]) * kMu * y[2] + y[1];
  fyp[1 * n + 1] = 1;
  fyp[2 * n + 2] = 1;
  fy[1 * n + 2] = -1;
  fy[2 * n + 1] = 1 - (y[1] * (-2)) * (y[2] * kMu);
  fy[2 * n + 2] = -(kMu * (1 - y[1] * y[1]));
  return 0;
}

int count_output(double*, double*, int, int, double, double, double, double, double*, int, const int*) { return 0; }

struct Result {
  int ier;
  std::array<int, 3 * kN + 22> ip;
  double y1;
};

// One integration; the solver's console lines are silenced on this thread.
Result integrate() {
  std::array<double, kN + 1> y{0, 2, 0}, yp{}, ye{0, 2, 2}, ype{}, F{};
  std::array<double, kN * kN + kN + 1> fyp{}, fy{};
  double tstop = 0;
  int status = 0;
  Result r{0, {}, 0};
  const textout::DiagnosticsTo silence(nullptr);
  DAE_Solver_01(y.data(), yp.data(), ye.data(), ype.data(), F.data(), fyp.data(), fy.data(), 0.0, 0.0, 3000.0, 0.0,
                1e-12, 3000.0, 1e-6, &tstop, kN, kN, DAE_NM_LOBATTO, DAE_INIT_COMPUTE, &status, &r.ier, r.ip.data(),
                vdp_model, count_output);
  r.y1 = y[1];
  return r;
}

void BM_VanDerPolStiff(benchmark::State& state) {
  Result r{};
  for (auto _ : state) {
    r = integrate();
    benchmark::DoNotOptimize(r);
  }
  const auto& ip = r.ip;
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(ip[IP_ACCEPTED_STEPS]), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ier"] = r.ier;
  state.counters["steps"] = ip[IP_ACCEPTED_STEPS];
  state.counters["solves"] = ip[IP_TOTAL_SOLVES];
  state.counters["halvings"] = ip[IP_HALVINGS];
  state.counters["err_fails"] = ip[IP_ERROR_TEST_FAILURES];
  state.counters["failed"] = ip[IP_FAILED_ATTEMPTS];
  state.counters["fdz"] = ip[IP_FDZ_WARNINGS];
  state.counters["damped"] = ip[IP_DAMPING_REDOS];
  state.counters["slow_rej"] = ip[IP_SLOW_REJECTIONS];
  state.counters["not_conv"] = ip[IP_NOT_CONVERGED];
  state.counters["diverg"] = ip[IP_DIVERGENT];
  state.counters["y1_end"] = r.y1;
}

BENCHMARK(BM_VanDerPolStiff)->Unit(benchmark::kMillisecond);

}  // namespace
