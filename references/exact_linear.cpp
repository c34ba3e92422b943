// Exact solutions of the linear tests (see exact_linear.h).
//
//   the model       LinearModel, evaluate, read_linear_model
//   the exponential Matrix, identity, multiply, largest_column_sum, exponential
//   the solution    exact_linear_solution
#include "references/exact_linear.h"

#include <gmpxx.h>

#include <cmath>
#include <vector>

#include "layout/flat_index.h"

namespace references {
namespace {

// Bits of the binary floating point: about 96 decimal digits, far beyond what
// the repeated squaring of these exponentials loses.
constexpr mp_bitcnt_t kPrecision = 320;
// The Taylor series stops once a term is below 2^-kSeriesCutoff.
constexpr long kSeriesCutoff = 340;
// Agreement demanded of A y' + B y + F0 with the model's residual at a test
// point, relative to the residual's scale.
constexpr double kLinearityTolerance = 1e-12;

using layout::flat_index;

// --- the model -------------------------------------------------------------------------

struct LinearModel {
  int n = 0;
  std::vector<double> A, B;  // dF/dy' and dF/dy, (i, j) at i*n + j
  std::vector<double> F0;    // F at y = y' = 0
};

// F, dF/dy' and dF/dy at (t, y, yp).
LinearModel evaluate(const models::DaeTestCase& c, double t, const std::vector<double>& y,
                     const std::vector<double>& yp) {
  LinearModel l{c.n, std::vector<double>(layout::flat_cells(c.n)), std::vector<double>(layout::flat_cells(c.n)),
                std::vector<double>(c.n + 1)};
  std::vector<double> yy = y;
  std::vector<double> yyp = yp;
  std::vector<int> ip(dae_ip_size(c.n));
  int status = DAE_STATUS_OK;
  c.model(yy.data(), yyp.data(), l.F0.data(), l.A.data(), l.B.data(), c.n, c.m, t, c.hmin, DAE_MODEL_ORDINARY, &status,
          ip.data());
  return l;
}

// The model's coefficients, when it is linear with constant coefficients and a
// non-singular diagonal A: the Jacobians agree at two points and times, and
// the residual at the second point is A y' + B y + F0.
std::optional<LinearModel> read_linear_model(const models::DaeTestCase& c) {
  if (c.m != c.n) return std::nullopt;
  c.set_parameters();
  const LinearModel at_zero = evaluate(c, c.t0, std::vector<double>(c.n + 1), std::vector<double>(c.n + 1));
  std::vector<double> y(c.n + 1);
  std::vector<double> yp(c.n + 1);
  for (int i = 1; i <= c.n; ++i) {
    y[i] = 0.5 + i;
    yp[i] = 1.0 / i;
  }
  const LinearModel at_point = evaluate(c, c.tend, y, yp);
  if (at_point.A != at_zero.A || at_point.B != at_zero.B) return std::nullopt;
  for (int i = 1; i <= c.n; ++i) {
    double predicted = at_zero.F0[i] + at_zero.A[flat_index(i, i, c.n)] * yp[i];
    double scale = std::fabs(at_zero.F0[i]) + std::fabs(at_zero.A[flat_index(i, i, c.n)] * yp[i]);
    for (int j = 1; j <= c.n; ++j) {
      if (j != i && at_zero.A[flat_index(i, j, c.n)] != 0) return std::nullopt;
      predicted += at_zero.B[flat_index(i, j, c.n)] * y[j];
      scale += std::fabs(at_zero.B[flat_index(i, j, c.n)] * y[j]);
    }
    if (at_zero.A[flat_index(i, i, c.n)] == 0) return std::nullopt;
    if (std::fabs(at_point.F0[i] - predicted) > kLinearityTolerance * scale) return std::nullopt;
  }
  return at_zero;
}

// --- the exponential -------------------------------------------------------------------

using Matrix = std::vector<std::vector<mpf_class>>;

Matrix zeros(int size) { return Matrix(size, std::vector<mpf_class>(size, mpf_class(0, kPrecision))); }

Matrix identity(int size) {
  Matrix I = zeros(size);
  for (int i = 0; i < size; ++i) I[i][i] = 1;
  return I;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
  const int size = static_cast<int>(a.size());
  Matrix p = zeros(size);
  for (int i = 0; i < size; ++i) {
    for (int k = 0; k < size; ++k) {
      for (int j = 0; j < size; ++j) p[i][j] += a[i][k] * b[k][j];
    }
  }
  return p;
}

mpf_class largest_column_sum(const Matrix& a) {
  mpf_class largest(0, kPrecision);
  for (std::size_t j = 0; j < a.size(); ++j) {
    mpf_class sum(0, kPrecision);
    for (const auto& row : a) sum += abs(row[j]);
    if (sum > largest) largest = sum;
  }
  return largest;
}

// exp(g): g / 2^s with a column sum below 1/2, its Taylor series, then s squarings.
Matrix exponential(Matrix g) {
  const int size = static_cast<int>(g.size());
  mpf_class norm = largest_column_sum(g);
  unsigned long s = 0;
  for (; norm > 0.5; ++s) norm /= 2;
  for (auto& row : g) {
    for (auto& x : row) mpf_div_2exp(x.get_mpf_t(), x.get_mpf_t(), s);
  }
  Matrix sum = identity(size);
  Matrix term = identity(size);
  mpf_class cutoff(1, kPrecision);
  mpf_div_2exp(cutoff.get_mpf_t(), cutoff.get_mpf_t(), kSeriesCutoff);
  for (unsigned long k = 1; largest_column_sum(term) > cutoff; ++k) {
    term = multiply(term, g);
    for (auto& row : term) {
      for (auto& x : row) x /= k;
    }
    for (int i = 0; i < size; ++i) {
      for (int j = 0; j < size; ++j) sum[i][j] += term[i][j];
    }
  }
  for (unsigned long k = 0; k < s; ++k) sum = multiply(sum, sum);
  return sum;
}

}  // namespace

// --- the solution ----------------------------------------------------------------------

std::optional<models::DaeVector> exact_linear_solution(const models::DaeTestCase& c) {
  const std::optional<LinearModel> linear = read_linear_model(c);
  if (!linear) return std::nullopt;
  const int n = c.n;
  const mpf_class T = mpf_class(c.tend, kPrecision) - mpf_class(c.t0, kPrecision);
  Matrix G = zeros(n + 1);
  for (int i = 1; i <= n; ++i) {
    const mpf_class a(linear->A[flat_index(i, i, n)], kPrecision);
    for (int j = 1; j <= n; ++j) G[i - 1][j - 1] = -mpf_class(linear->B[flat_index(i, j, n)], kPrecision) / a * T;
    G[i - 1][n] = -mpf_class(linear->F0[i], kPrecision) / a * T;
  }
  const Matrix E = exponential(G);
  models::DaeVector y{};
  for (int i = 1; i <= n; ++i) {
    mpf_class v = E[i - 1][n];
    for (int j = 1; j <= n; ++j) v += E[i - 1][j - 1] * mpf_class(c.y0[j], kPrecision);
    y[i] = v.get_d();
  }
  return y;
}

}  // namespace references
