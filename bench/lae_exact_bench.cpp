// LAE_Solver_exact on the Hilbert matrices of orders 10 and 15 as doubles
// (fl(1/(i + j - 1)), right-hand side the rounded row sums) and on dense
// integer systems of order 40. The Hilbert 15 solve must stay under 5 ms.
//
//   DenseTask, hilbert_task, integer_task   the task data
//   BM_Exact*                                the benchmarks
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "lae/lae_solvers.h"
#include "layout/flat_index.h"

namespace {

struct DenseTask {
  explicit DenseTask(int order)
      : n(order), A(static_cast<std::size_t>(layout::flat_cells(order))), B(static_cast<std::size_t>(order) + 1) {}

  double& a(int i, int j) { return A[static_cast<std::size_t>(layout::flat_index(i, j, n))]; }
  double& b(int i) { return B[static_cast<std::size_t>(i)]; }

  int n;
  std::vector<double> A, B;  // flat, 1-based
};

DenseTask hilbert_task(int n) {
  DenseTask t(n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      t.a(i, j) = 1.0 / (i + j - 1);
      t.b(i) += t.a(i, j);
    }
  }
  return t;
}

// Entries -9..9, right-hand side for a solution of integers -1000..1000.
DenseTask integer_task(int n) {
  std::mt19937 gen(40);
  DenseTask t(n);
  std::vector<double> x;
  for (int j = 1; j <= n; ++j) x.push_back(static_cast<int>(gen() % 2001) - 1000);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      t.a(i, j) = static_cast<int>(gen() % 19) - 9;
      t.b(i) += t.a(i, j) * x[static_cast<std::size_t>(j - 1)];
    }
  }
  return t;
}

void run_exact(benchmark::State& state, const DenseTask& t) {
  std::vector<double> X(static_cast<std::size_t>(t.n + 1));
  int ier = -1;
  for (auto _ : state) {
    LAE_Solver_exact(&t.n, t.A.data(), t.B.data(), X.data(), &ier);
    benchmark::DoNotOptimize(X.data());
  }
  if (ier != LAE_IER_OK) state.SkipWithError("LAE_Solver_exact found no unique solution");
}

void BM_ExactHilbert10(benchmark::State& state) { run_exact(state, hilbert_task(10)); }
BENCHMARK(BM_ExactHilbert10)->Unit(benchmark::kMillisecond);

void BM_ExactHilbert15(benchmark::State& state) { run_exact(state, hilbert_task(15)); }
BENCHMARK(BM_ExactHilbert15)->Unit(benchmark::kMillisecond);

void BM_ExactIntegers40(benchmark::State& state) { run_exact(state, integer_task(40)); }
BENCHMARK(BM_ExactIntegers40)->Unit(benchmark::kMillisecond);

}  // namespace
