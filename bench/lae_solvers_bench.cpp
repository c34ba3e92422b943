// The linear solvers on the battery's own tasks: LAE_Solver_01 and
// LAE_Solver_02 on the 10x10 Hilbert task, LAE_Solver_3diag on the 4x4
// mixed-scale band and on a diagonally dominant band of the largest order.
//
//   QuietStdout          sends the solvers' "poi=" lines to /dev/null while timing
//   hilbert_task, ...    the task data
//   BM_*                 the benchmarks
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <vector>

#include "lae/lae_solvers.h"
#include "layout/flat_index.h"

namespace {

// Redirects file descriptor 1 for the lifetime of the object, so the
// benchmark's own report (written after the timing loop) is not affected.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

struct FullTask {
  int n = 0;
  std::vector<double> A, B;
};

// The Hilbert matrix of order 10 as the battery writes it: 1/(i + j - 1) to
// 14 decimals (1/17 one unit high), and the literal row sums.
FullTask hilbert_task() {
  constexpr std::array<double, 19> h = {1,
                                        0.5,
                                        0.33333333333333,
                                        0.25,
                                        0.2,
                                        0.16666666666667,
                                        0.14285714285714,
                                        0.125,
                                        0.11111111111111,
                                        0.1,
                                        0.09090909090909,
                                        0.08333333333333,
                                        0.07692307692308,
                                        0.07142857142857,
                                        0.06666666666667,
                                        0.0625,
                                        0.05882352941177,
                                        0.05555555555556,
                                        0.05263157894737};
  constexpr std::array<double, 10> b = {2.92896825396825, 2.01987734487734, 1.60321067821067, 1.34680042180042,
                                        1.16822899322899, 1.03489565989566, 0.93072899322899, 0.84669537978362,
                                        0.77725093533918, 0.71877140317544};
  FullTask t;
  t.n = 10;
  t.A.assign(static_cast<std::size_t>(t.n * t.n + t.n + 1), 0.0);
  t.B.assign(static_cast<std::size_t>(t.n + 1), 0.0);
  for (int i = 1; i <= t.n; ++i) {
    for (int j = 1; j <= t.n; ++j) t.A[layout::flat_index(i, j, t.n)] = h[i + j - 2];  // 1/(i + j - 1)
    t.B[i] = b[i - 1];
  }
  return t;
}

// Band rows (a_i, b_i, c_i) at i*n + 1..3.
FullTask band_task(const std::vector<std::array<double, 3>>& rows, const std::vector<double>& d) {
  FullTask t;
  t.n = static_cast<int>(rows.size());
  t.A.assign(static_cast<std::size_t>(t.n * t.n + t.n + 4), 0.0);
  t.B.assign(static_cast<std::size_t>(t.n + 1), 0.0);
  for (int i = 1; i <= t.n; ++i) {
    for (int j = 1; j <= 3; ++j) t.A[layout::flat_index(i, j, t.n)] = rows[i - 1][j - 1];
    t.B[i] = d[i - 1];
  }
  return t;
}

FullTask mixed_scale_band_task() {
  return band_task({{0, 1e-05, 200000}, {-1, 0.0003, 400000}, {500000, 2e-05, -1}, {3, 1, 0}},
                   {200000.00001, 399999.0003, 499999.00002, 4});
}

// Diagonally dominant band of the largest order with right-hand side the row
// sums, so the solution is close to all ones.
FullTask dominant_band_task() {
  constexpr int n = 199;
  std::vector<std::array<double, 3>> rows(n, {-1.3, 4.1, -0.7});
  rows.front()[0] = 0.0;
  rows.back()[2] = 0.0;
  std::vector<double> d;
  for (const auto& r : rows) d.push_back(r[0] + r[1] + r[2]);
  return band_task(rows, d);
}

void BM_Solver01_Hilbert10(benchmark::State& state) {
  const FullTask t = hilbert_task();
  std::vector<double> X(static_cast<std::size_t>(t.n + 1));
  int ier = -1;
  {
    const QuietStdout quiet;
    for (auto _ : state) {
      LAE_Solver_01(&t.n, t.A.data(), t.B.data(), X.data(), &ier);
      benchmark::DoNotOptimize(X.data());
    }
  }
  if (ier != 0) state.SkipWithError("LAE_Solver_01 rejected the Hilbert task");
}
BENCHMARK(BM_Solver01_Hilbert10)->Unit(benchmark::kMicrosecond);

void BM_Solver02_Hilbert10(benchmark::State& state) {
  const FullTask t = hilbert_task();
  std::vector<double> L(t.A.size()), U(t.A.size()), X(static_cast<std::size_t>(t.n + 1));
  int ier = -1;
  {
    const QuietStdout quiet;
    for (auto _ : state) {
      LAE_Solver_02(&t.n, t.A.data(), t.B.data(), L.data(), U.data(), X.data(), &ier);
      benchmark::DoNotOptimize(X.data());
    }
  }
  if (ier != 0) state.SkipWithError("LAE_Solver_02 rejected the Hilbert task");
}
BENCHMARK(BM_Solver02_Hilbert10)->Unit(benchmark::kMicrosecond);

void run_3diag(benchmark::State& state, const FullTask& t) {
  std::vector<double> X(static_cast<std::size_t>(t.n + 1));
  int ier = -1;
  {
    const QuietStdout quiet;
    for (auto _ : state) {
      LAE_Solver_3diag(&t.n, t.A.data(), t.B.data(), X.data(), &ier);
      benchmark::DoNotOptimize(X.data());
    }
  }
  if (ier != 0) state.SkipWithError("LAE_Solver_3diag rejected the band");
}

void BM_Solver3diag_MixedScale4(benchmark::State& state) { run_3diag(state, mixed_scale_band_task()); }
BENCHMARK(BM_Solver3diag_MixedScale4)->Unit(benchmark::kMicrosecond);

void BM_Solver3diag_Dominant199(benchmark::State& state) { run_3diag(state, dominant_band_task()); }
BENCHMARK(BM_Solver3diag_Dominant199)->Unit(benchmark::kMicrosecond);

}  // namespace
