// The linear battery.
//
//   run sequence        run_linear_battery
//   full-matrix frame   fill_full_matrix, print_task_input, print_result,
//                       print_factor, run_full_matrix_task
//   tridiagonal frame   fill_band, run_tridiagonal_task
//
// Every line goes to the console first and then to the report (echo), apart
// from the two console-only lines of the tridiagonal frame.
#include "driver/linear_battery.h"

#include <cstddef>
#include <cstdio>

#include "driver/linear_storage.h"
#include "driver/linear_tasks.h"
#include "driver/report.h"
#include "driver/shared_ier.h"
#include "lae/lae_solvers.h"
#include "layout/flat_index.h"

namespace battery {
namespace {

constexpr const char* kLinearReportFile = "lae-solver.txt";

// Series banners: "check of the program" in Windows-1251 bytes, then the solver.
constexpr const char* kBannerSolver01 =
    "\n\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB LAE_Solver_01\n\n";
constexpr const char* kBannerSolver02 =
    "\n\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB LAE_Solver_02\n\n";
constexpr const char* kBannerSolver3diag =
    "\n\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB LAE_Solver_3diag\n\n";

using layout::flat_index;

// Writes n, the n*n entries of A and B(1..n); every other cell of A keeps
// what earlier tasks left there.
void fill_full_matrix(const LinearData& data) {
  const int n = data.n;
  linear.n = n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) linear.A[flat_index(i, j, n)] = data.rows[(i - 1) * n + (j - 1)];
    linear.B[i] = data.rhs[i - 1];
  }
}

void print_task_input(std::FILE* report, const char* title) {
  const int n = linear.n;
  echo(report, "%s", title);
  echo(report, " n= %d, matrix A: \n", n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) echo(report, "i=%d ,j=%d ,Aij=%30.15f\n", i, j, linear.A[flat_index(i, j, n)]);
  }
  echo(report, "vector B:\n");
  for (int i = 1; i <= n; ++i) echo(report, "i=%d Bi=%30.15f\n", i, linear.B[i]);
}

// ier and X, printed whatever ier says, once the solver's own console lines
// are known to have been written.
void print_result(std::FILE* report) {
  check_report_streams();
  echo(report, "ier= %d\n", ier);
  echo(report, "vector X:\n");
  for (int i = 1; i <= linear.n; ++i) echo(report, "i=%d Xi=%30.15f\n", i, linear.X[i]);
}

// A factor column by column over the whole n x n square.
void print_factor(std::FILE* report, const char* heading, const char* line_format,
                  const std::array<double, 256>& factor) {
  const int n = linear.n;
  echo(report, heading);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) echo(report, line_format, i, j, factor[flat_index(i, j, n)]);
  }
}

enum class FullMatrixSolver { Gauss, Crout };

void run_full_matrix_task(std::FILE* report, const LinearTask& task, FullMatrixSolver solver) {
  fill_full_matrix(*task.data);
  print_task_input(report, task.title);
  if (solver == FullMatrixSolver::Gauss) {
    LAE_Solver_01(&linear.n, linear.A.data(), linear.B.data(), linear.X.data(), &ier);
  } else {
    LAE_Solver_02(&linear.n, linear.A.data(), linear.B.data(), linear.L.data(), linear.U.data(), linear.X.data(), &ier);
  }
  print_result(report);
  if (task.print_factors) {
    print_factor(report, "L\n", "i=%d ,j=%d ,Lij=%32.16f\n", linear.L);
    print_factor(report, "U\n", "i=%d ,j=%d ,Uij=%32.16f\n", linear.U);
  }
}

// Writes only the three band entries of each row (columns 1..3 of the full
// layout); column 4 keeps what the previous task left at the same index.
void fill_band(const LinearData& data) {
  const int n = data.n;
  linear.n = n;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= 3; ++j) linear.A[flat_index(i, j, n)] = data.rows[3 * (i - 1) + (j - 1)];
    linear.B[i] = data.rhs[i - 1];
  }
}

void run_tridiagonal_task(std::FILE* report) {
  fill_band(tridiagonal_task());
  const int n = linear.n;
  to_console("A nn=%d\n", n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= 3; ++j) echo(report, "i=%d ,j=%d ,0-Aij=%32.16f\n", i, j, linear.A[flat_index(i, j, n)]);
  }
  to_console("B\n");
  for (int i = 1; i <= n; ++i) echo(report, "i=%d Bi=%32.16f\n", i, linear.B[i]);
  LAE_Solver_3diag(&linear.n, linear.A.data(), linear.B.data(), linear.X.data(), &ier);
  print_result(report);
}

}  // namespace

void run_linear_battery() {
  std::FILE* report = open_report(kLinearReportFile);

  echo(report, kBannerSolver01);
  for (const LinearTask& task : first_series()) run_full_matrix_task(report, task, FullMatrixSolver::Gauss);

  echo(report, kBannerSolver02);
  for (const LinearTask& task : second_series()) run_full_matrix_task(report, task, FullMatrixSolver::Crout);

  echo(report, kBannerSolver3diag);
  run_tridiagonal_task(report);

  close_report(report);
}

}  // namespace battery
