// The C++ layer over the solvers' cores: 0-based arguments are copied into
// the 1-based flat layout, the core runs on work storage on the heap (up to
// about 300 KB, too much for a caller's thread stack to be asked for), and
// the long-decimal results are rounded to nearest.
//
//   arguments   dense_order, band_order, one_based_rows, one_based
//   results     from_core, rounded_matrix
//   solvers     solve_01, solve_02, solve_3diag, solve_exact
#include "lae/linear_solve.h"

#include <cstddef>
#include <memory>

#include "lae/lae_cores.h"
#include "lae/lae_rounding.h"
#include "lae/lae_work.h"
#include "layout/flat_index.h"

namespace lae {

namespace {

// n = b.size() when a holds n*n entries and n fits the flat layout.
std::optional<int> dense_order(std::span<const double> a, std::span<const double> b) {
  if (b.size() > static_cast<std::size_t>(kFlatMaxOrder) || a.size() != b.size() * b.size()) return std::nullopt;
  return static_cast<int>(b.size());
}

// n = b.size() when the band holds three entries per row and n fits the
// flat layout.
std::optional<int> band_order(std::span<const double> band, std::span<const double> b) {
  if (b.size() > static_cast<std::size_t>(kFlatMaxOrder) || band.size() != kBandWidth * b.size()) {
    return std::nullopt;
  }
  return static_cast<int>(b.size());
}

// rows x columns row-major values in the 1-based flat layout with row stride
// `columns`: for a square matrix, exactly the layout of the entry points.
std::vector<double> one_based_rows(std::span<const double> values, int rows, int columns) {
  std::vector<double> flat(static_cast<std::size_t>(layout::flat_index(rows, columns, columns)) + 1, 0.0);
  auto next = values.begin();
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= columns; ++j) flat[static_cast<std::size_t>(layout::flat_index(i, j, columns))] = *next++;
  }
  return flat;
}

std::vector<double> one_based(std::span<const double> v) {
  std::vector<double> out{0.0};
  out.insert(out.end(), v.begin(), v.end());
  return out;
}

// The record of a core's outcome: ier and poi as the entry point would
// report them, x rounded to nearest from the long-decimal solution XX(1..n)
// when there is one, zeros otherwise.
LinearSolution from_core(const CoreOutcome& outcome, std::span<const LongDecimal> XX, std::size_t n) {
  LinearSolution r;
  r.x.assign(n, 0.0);
  if (outcome.stage == Stage::kAboveLimit) return r;
  r.ier = outcome.ier;
  if (outcome.stage == Stage::kJudged) r.poi = outcome.poi;
  if (outcome.ier == LAE_IER_OK) {
    for (std::size_t k = 0; k < n; ++k) r.x[k] = nearest_double(XX[k + 1]);
  }
  return r;
}

// M(1..n, 1..n) rounded to nearest, row-major.
std::vector<double> rounded_matrix(const FullMatrix& M) {
  std::vector<double> out;
  for (int i = 1; i <= M.n; ++i) {
    for (int j = 1; j <= M.n; ++j) out.push_back(nearest_double(M(i, j)));
  }
  return out;
}

}  // namespace

LinearSolution solve_01(std::span<const double> a, std::span<const double> b) {
  const std::optional<int> n = dense_order(a, b);
  if (!n) return {std::vector<double>(b.size(), 0.0), kIerNotSolved, std::nullopt};
  const std::vector<double> A = one_based_rows(a, *n, *n);
  const std::vector<double> B = one_based(b);
  std::vector<double> X(B.size(), 0.0);
  const auto work = std::make_unique<GaussWork>(*n);
  return from_core(solver_01_core(*n, A.data(), B.data(), X.data(), *work), work->XX, b.size());
}

FactoredSolution solve_02(std::span<const double> a, std::span<const double> b) {
  const std::optional<int> n = dense_order(a, b);
  if (!n) return {{std::vector<double>(b.size(), 0.0), kIerNotSolved, std::nullopt}, {}, {}};
  const std::vector<double> A = one_based_rows(a, *n, *n);
  const std::vector<double> B = one_based(b);
  std::vector<double> X(B.size(), 0.0);
  std::vector<double> L(A.size(), 0.0);
  std::vector<double> U(A.size(), 0.0);
  const auto work = std::make_unique<CroutWork>(*n);
  const CoreOutcome outcome = solver_02_core(*n, A.data(), B.data(), L.data(), U.data(), X.data(), *work);
  FactoredSolution r{from_core(outcome, work->XX, b.size()), {}, {}};
  if (work->factors_written) {
    r.l = rounded_matrix(work->LL);
    r.u = rounded_matrix(work->UU);
  }
  return r;
}

LinearSolution solve_3diag(std::span<const double> band, std::span<const double> b) {
  const std::optional<int> n = band_order(band, b);
  if (!n) return {std::vector<double>(b.size(), 0.0), kIerNotSolved, std::nullopt};
  const std::vector<double> A = one_based_rows(band, *n, kBandWidth);
  const std::vector<double> B = one_based(b);
  std::vector<double> X(B.size(), 0.0);
  const auto work = std::make_unique<SweepWork>(*n);
  const CoreOutcome outcome = solver_3diag_core(*n, A.data(), kBandWidth, B.data(), X.data(), *work);
  return from_core(outcome, work->XX, b.size());
}

LinearSolution solve_exact(std::span<const double> a, std::span<const double> b) {
  const std::optional<int> n = dense_order(a, b);
  if (!n) return {std::vector<double>(b.size(), 0.0), kIerNotSolved, std::nullopt};
  const std::vector<double> A = one_based_rows(a, *n, *n);
  const std::vector<double> B = one_based(b);
  std::vector<double> X(B.size(), 0.0);
  int ier = kIerNotSolved;  // left so by the solver above its limit
  LAE_Solver_exact(&*n, A.data(), B.data(), X.data(), &ier);
  return {std::vector<double>(X.begin() + 1, X.end()), ier, std::nullopt};
}

}  // namespace lae
