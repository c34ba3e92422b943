// Two linear systems through the guaranteed-precision solver (lae::solve_01)
// and the exact solver (lae::solve_exact), side by side.
//
// solve_01 reads every entry by its 15 significant decimal digits and solves
// in long decimals; it answers only when its precision estimate poi shows the
// answer good to about 16 digits (ier 0), and says so otherwise (ier 1).
// solve_exact solves the system exactly as the doubles give it, in rational
// arithmetic. Both round their solution to the nearest double.
#include <lae/linear_solve.h>
#include <textout/textout.h>

#include <cstddef>
#include <vector>

namespace {

void show(const char* title, const std::vector<double>& a, const std::vector<double>& b) {
  const lae::LinearSolution decimal = lae::solve_01(a, b);
  const lae::LinearSolution exact = lae::solve_exact(a, b);
  textout::out_printf(stdout, "\n%s\n", title);
  textout::out_printf(stdout, "  solve_01:    ier %d, poi %s\n", decimal.ier,
                      decimal.poi ? textout::out_format("%.3e", *decimal.poi).c_str() : "(none)");
  textout::out_printf(stdout, "  solve_exact: ier %d\n", exact.ier);
  textout::out_printf(stdout, "  %3s %24s %24s\n", "k", "x by solve_01", "x by solve_exact");
  for (std::size_t k = 0; k < b.size(); ++k) {
    textout::out_printf(stdout, "  %3zu %24.17g %24.17g\n", k, decimal.x[k], exact.x[k]);
  }
}

// The Hilbert matrix 1/(i + j + 1) in doubles, and b = its row sums, so that
// x is near (1, ..., 1). Its entries are not decimal fractions: the 15-digit
// reading of solve_01 changes them by up to 5e-16 relative, and a condition
// number near 5e8 turns that into differences of order 1e-8 in x. Each answer
// is right for the matrix it was given: solve_01's for the decimal one.
std::vector<double> hilbert(int n) {
  std::vector<double> h;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) h.push_back(1.0 / (i + j + 1));
  }
  return h;
}

std::vector<double> row_sums(const std::vector<double>& a, std::size_t n) {
  std::vector<double> b(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) b[i] += a[i * n + j];
  }
  return b;
}

}  // namespace

int main() {
  show("[[4, 1, 0], [1, 5, 2], [0, 2, 6]] x = (6, 17, 22); x = (1, 2, 3) exactly", {4, 1, 0, 1, 5, 2, 0, 2, 6},
       {6, 17, 22});
  const std::vector<double> h = hilbert(7);
  show("Hilbert matrix of order 7, b = row sums", h, row_sums(h, 7));
  const std::vector<double> singular = {1, 2, 3, 2, 4, 6, 1, 0, 1};
  show("a singular but consistent system", singular, {6, 12, 2});
  return 0;
}
