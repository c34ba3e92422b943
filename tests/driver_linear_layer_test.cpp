// The C++ layer of the linear solvers against their entry points on the 24
// tasks of the battery: the same ier, the same "poi=" line, and x within a few
// units in the last place of X (x is the correct rounding of the long-decimal
// solution that X converts by the specified method).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/linear_tasks.h"
#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "layout/flat_index.h"
#include "textout/diagnostics.h"
#include "textout/textout.h"

namespace {

using battery::LinearData;

// What an entry point printed on the diagnostics stream.
template <class F>
std::string diagnostics_of(F&& solve) {
  std::FILE* sink = std::tmpfile();
  {
    const textout::DiagnosticsTo to(sink);
    solve();
  }
  std::string text(static_cast<std::size_t>(std::ftell(sink)), '\0');
  std::rewind(sink);
  text.resize(std::fread(text.data(), 1, text.size(), sink));
  std::fclose(sink);
  return text;
}

std::string poi_line(const lae::LinearSolution& s) {
  return s.poi ? textout::out_format("poi=%e\n", *s.poi) : std::string();
}

// The "poi=" line among what an entry point printed (first if at all), or "".
std::string poi_line(const std::string& printed) {
  return printed.starts_with("poi=") ? printed.substr(0, printed.find('\n') + 1) : std::string();
}

void expect_same_solution(const std::vector<double>& X, const lae::LinearSolution& layer) {
  ASSERT_EQ(layer.x.size() + 1, X.size());
  for (std::size_t k = 0; k < layer.x.size(); ++k) {
    const double ulp = std::nextafter(std::fabs(X[k + 1]), INFINITY) - std::fabs(X[k + 1]);
    EXPECT_LE(std::fabs(layer.x[k] - X[k + 1]), 4 * ulp) << "component " << k + 1;
  }
}

struct EntryRun {
  std::vector<double> X;
  int ier = -1;
  std::string printed;
};

// A full task through LAE_Solver_01 or LAE_Solver_02 in the 1-based layout.
EntryRun run_full(const LinearData& d, bool crout) {
  const int n = d.n;
  std::vector<double> A(layout::flat_cells(n)), B(n + 1), L(A.size()), U(A.size());
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) A[layout::flat_index(i, j, n)] = d.rows[(i - 1) * n + (j - 1)];
    B[i] = d.rhs[i - 1];
  }
  EntryRun r;
  r.X.assign(n + 1, 0.0);
  r.printed = diagnostics_of([&] {
    if (crout) {
      LAE_Solver_02(&n, A.data(), B.data(), L.data(), U.data(), r.X.data(), &r.ier);
    } else {
      LAE_Solver_01(&n, A.data(), B.data(), r.X.data(), &r.ier);
    }
  });
  return r;
}

TEST(LinearLayerOnTheBattery, SameIerPoiAndSolutionAsTheEntryPoints) {
  int tasks = 0;
  for (const bool crout : {false, true}) {
    for (const battery::LinearTask& task : crout ? battery::second_series() : battery::first_series()) {
      SCOPED_TRACE(std::string(crout ? "LAE_Solver_02: " : "LAE_Solver_01: ") + task.title);
      const EntryRun entry = run_full(*task.data, crout);
      const lae::LinearSolution layer =
          crout ? lae::solve_02(task.data->rows, task.data->rhs) : lae::solve_01(task.data->rows, task.data->rhs);
      EXPECT_EQ(layer.ier, entry.ier);
      EXPECT_EQ(poi_line(entry.printed), poi_line(layer));
      expect_same_solution(entry.X, layer);
      ++tasks;
    }
  }
  const LinearData& band = battery::tridiagonal_task();
  const int n = band.n;
  std::vector<double> A(layout::flat_cells(n)), B(n + 1);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= 3; ++j) A[layout::flat_index(i, j, n)] = band.rows[3 * (i - 1) + (j - 1)];
    B[i] = band.rhs[i - 1];
  }
  EntryRun entry;
  entry.X.assign(n + 1, 0.0);
  entry.printed = diagnostics_of([&] { LAE_Solver_3diag(&n, A.data(), B.data(), entry.X.data(), &entry.ier); });
  const lae::LinearSolution layer = lae::solve_3diag(band.rows, band.rhs);
  EXPECT_EQ(layer.ier, entry.ier);
  EXPECT_EQ(poi_line(entry.printed), poi_line(layer));
  expect_same_solution(entry.X, layer);
  EXPECT_EQ(tasks + 1, 24);
}

}  // namespace
