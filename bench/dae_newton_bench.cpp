// Cost of one Newton linear solve of the DAE integrator, as the integrator
// pays it per iteration: copying the model's matrices into the workspace
// (column-major) and factoring, then solving.
//
//   BM_OneStageFactorSolve   copy A, B; one-stage factor-and-solve
//   BM_ThreePointFactorSolve copy A1, B1, A2, B2; three-point factorisation and solve
//
// Arguments (n, m): the battery's sizes (n = 1..6 and 17, m = 1..5) and the
// largest allowed (38, 38); random well-conditioned matrices from a fixed seed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "dae/newton_linalg.h"

namespace {

using Vec = std::vector<double>;

// The model's matrices in their own layout (i*n + j) and one stage's workspace.
struct Stage {
  int n, m;
  Vec fyp, fy;  // model layout
  Vec A, B;     // column-major workspace copies
  Vec r, g, gc, z, dy, dyp;
  std::vector<int> perm;

  Stage(int n_, int m_, std::mt19937_64& rng)
      : n(n_),
        m(m_),
        fyp(n * n + n + 1),
        fy(n * n + n + 1),
        A(n * n + 1),
        B(n * n + 1),
        r(n + 1),
        g(n + 1),
        gc(n + 1),
        z(n + 1),
        dy(n + 1),
        dyp(n + 1),
        perm(n + 1) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double& x : fyp) x = u(rng);
    for (double& x : fy) x = u(rng);
    for (int i = 1; i <= n; ++i) {
      fy[i * n + (i % n) + 1] += 40.0 * std::sqrt(n);  // pivots move rows
    }
    for (double& x : r) x = u(rng);
    for (double& x : g) x = u(rng);
  }
  void copy_in() {
    dae_copy_column_major(fyp.data(), n, m, A.data());
    dae_copy_column_major(fy.data(), n, n, B.data());
  }
  NewtonStageMatrices matrices() { return {A.data(), B.data(), perm.data()}; }
  NewtonStageVectors vectors() { return {r.data(), g.data(), gc.data(), z.data(), dy.data(), dyp.data()}; }
};

struct ThreePoint {
  int n, m;
  double c = 1.0 / 0.01;
  Stage mid, end;
  Vec L21, U12;
  ThreePoint(int n_, int m_, std::mt19937_64& rng)
      : n(n_), m(m_), mid(n_, m_, rng), end(n_, m_, rng), L21(n_ * n_ + 1), U12(n_ * n_ + 1) {}
  NewtonCoupling coupling() { return {L21.data(), U12.data()}; }
  int factor_solve() {
    mid.copy_in();
    end.copy_in();
    return dae_factor_solve_three_point(n, m, c, mid.matrices(), end.matrices(), coupling(), mid.vectors(),
                                        end.vectors());
  }
};

void BM_OneStageFactorSolve(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int m = static_cast<int>(state.range(1));
  std::mt19937_64 rng(1);
  Stage s(n, m, rng);
  const double c = -2.0 / 0.01;
  for (auto _ : state) {
    s.copy_in();
    benchmark::DoNotOptimize(dae_factor_solve_one_stage(n, m, c, s.matrices(), s.vectors()));
    benchmark::ClobberMemory();
  }
}

void BM_ThreePointFactorSolve(benchmark::State& state) {
  std::mt19937_64 rng(2);
  ThreePoint tp(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), rng);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tp.factor_solve());
    benchmark::ClobberMemory();
  }
}

void battery_sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"n", "m"});
  for (const auto& [n, m] :
       {std::pair{1, 1}, {2, 2}, {3, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 5}, {17, 2}, {17, 17}, {38, 38}}) {
    b->Args({n, m});
  }
}

BENCHMARK(BM_OneStageFactorSolve)->Apply(battery_sizes);
BENCHMARK(BM_ThreePointFactorSolve)->Apply(battery_sizes);

}  // namespace
