// Every model's Jacobians against central differences of its own residual.
//
// For each case the model is evaluated at a point and at y_j +- d, y'_j +- d;
// the difference quotients must match the Jacobian entries the model wrote,
// zeros included, so a missing, misplaced or mis-signed entry shows. Entries
// are compared scaled by the size of their variable, against the largest
// scaled entry of their row: that keeps the check meaningful on test02's
// time scale of 1e-150. The model must also write all n residuals and nothing
// outside the matrix (row 0, the guard cells, or A beyond column m).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "models/model_params.h"
#include "models/models.h"

namespace {

using models::ij;

constexpr int kGuard = 8;          // cells after the last matrix entry that must stay untouched
constexpr double kRelStep = 1e-6;  // difference step relative to the variable

struct JacobianCase {
  std::string name;
  std::function<void()> set_parameters;
  DAE_Model model;
  int n, m;
  double t;
  std::vector<double> y;   // y(1..n), all non-zero
  std::vector<double> yp;  // y'(1..m), all non-zero
  double rtol;
};

struct Evaluation {
  std::vector<double> f, A, B;
  int status = 0;
};

Evaluation evaluate(const JacobianCase& c, std::vector<double> y, std::vector<double> yp) {
  const int size = c.n * c.n + c.n + 1 + kGuard;
  Evaluation e;
  e.f.assign(c.n + 1, std::numeric_limits<double>::quiet_NaN());
  e.A.assign(size, 0.0);
  e.B.assign(size, 0.0);
  std::vector<int> ip(3 * c.n + 22, 0);
  y.insert(y.begin(), 0.0);
  yp.insert(yp.begin(), 0.0);
  c.model(y.data(), yp.data(), e.f.data(), e.A.data(), e.B.data(), c.n, c.m, c.t, 1e-3, 1, &e.status, ip.data());
  return e;
}

double step_for(double v) { return kRelStep * std::fabs(v); }

// (F(v + d) - F(v - d)) / 2d for the variable vars[j - 1].
std::vector<double> difference_quotient(const JacobianCase& c, bool derivative, int j) {
  std::vector<double> y = c.y;
  std::vector<double> yp = c.yp;
  std::vector<double>& vars = derivative ? yp : y;
  const double v = vars[j - 1];
  const double d = step_for(v);
  vars[j - 1] = v + d;
  const Evaluation up = evaluate(c, y, yp);
  vars[j - 1] = v - d;
  const Evaluation down = evaluate(c, y, yp);
  std::vector<double> q(c.n + 1);
  for (int i = 1; i <= c.n; ++i) q[i] = (up.f[i] - down.f[i]) / (2 * d);
  return q;
}

void expect_outside_untouched(const JacobianCase& c, const std::vector<double>& M, const char* which,
                              int columns) {
  const int n = c.n;
  // Row 0 (indices 0..n) is never used; column 0 of a row i > 1 is column n of row i - 1.
  for (int k = 0; k <= n; ++k) EXPECT_EQ(M[k], 0.0) << which << " index " << k;
  for (int i = 1; i <= n; ++i) {
    for (int j = columns + 1; j <= n; ++j) EXPECT_EQ(M[ij(i, j, n)], 0.0) << which << "(" << i << "," << j << ")";
  }
  for (int k = n * n + n + 1; k < static_cast<int>(M.size()); ++k) EXPECT_EQ(M[k], 0.0) << which << " guard " << k;
}

void check_case(const JacobianCase& c) {
  SCOPED_TRACE(c.name);
  ASSERT_EQ(static_cast<int>(c.y.size()), c.n);
  ASSERT_EQ(static_cast<int>(c.yp.size()), c.m);
  c.set_parameters();
  const Evaluation base = evaluate(c, c.y, c.yp);
  ASSERT_EQ(base.status, 0);
  for (int i = 1; i <= c.n; ++i) EXPECT_FALSE(std::isnan(base.f[i])) << "F(" << i << ") not written";
  expect_outside_untouched(c, base.A, "A", c.m);
  expect_outside_untouched(c, base.B, "B", c.n);

  const int n = c.n;
  std::vector<std::vector<double>> numA(c.m + 1), numB(n + 1);
  for (int j = 1; j <= c.m; ++j) numA[j] = difference_quotient(c, true, j);
  for (int j = 1; j <= n; ++j) numB[j] = difference_quotient(c, false, j);

  for (int i = 1; i <= n; ++i) {
    double row_scale = 0;
    for (int j = 1; j <= c.m; ++j) row_scale = std::max(row_scale, std::fabs(base.A[ij(i, j, n)] * c.yp[j - 1]));
    for (int j = 1; j <= n; ++j) row_scale = std::max(row_scale, std::fabs(base.B[ij(i, j, n)] * c.y[j - 1]));
    ASSERT_GT(row_scale, 0.0) << "row " << i << " has no entries";
    const double allowed = c.rtol * row_scale;
    for (int j = 1; j <= c.m; ++j) {
      const double ana = base.A[ij(i, j, n)];
      EXPECT_LE(std::fabs(numA[j][i] - ana) * std::fabs(c.yp[j - 1]), allowed)
          << "A(" << i << "," << j << ") = " << ana << ", difference quotient " << numA[j][i];
    }
    for (int j = 1; j <= n; ++j) {
      const double ana = base.B[ij(i, j, n)];
      EXPECT_LE(std::fabs(numB[j][i] - ana) * std::fabs(c.y[j - 1]), allowed)
          << "B(" << i << "," << j << ") = " << ana << ", difference quotient " << numB[j][i];
    }
  }
}

// --- parameter sets ---------------------------------------------------------------

std::function<void()> test00_with(double a) {
  return [a] {
    auto& p = models::test00_params;
    p = {};
    p.a = a;
    p.c1 = 1;
    p.c2 = 1.5;
    p.c3 = 1;
    p.l1 = -100000;
    p.l2 = -1;
    p.l3 = -100;
    models::derive_test00_matrix(p);
  };
}

std::function<void()> test01_with(double MU) {
  return [MU] { models::test01_params.MU = MU; };
}

std::function<void()> test04_with(const models::Test04Params& p) {
  return [p] { models::test04_params = p; };
}

std::function<void()> test02_with(double KT) {
  return [KT] { models::test02_params = models::derive_test02(KT, 1, 1); };
}

void test06_battery() { models::test06_params = models::derive_test06(1, 1, 1); }

// Values of order 1, so that every term (the diffusion capacitances too) weighs in.
void test06_unit() {
  auto& p = models::test06_params;
  p = {};
  p.r1 = 1.2;
  p.r2 = 0.8;
  p.r3 = 1.5;
  p.r4 = 0.5;
  p.r5 = 1.8;
  p.c1 = 0.7;
  p.c2 = 0.4;
  p.l1 = 0.3;
  p.e = 2;
  p.is1 = 0.15;
  p.is2 = 0.25;
  p.lam = 1.7;
  p.cd1 = 0.35;
  p.cd2 = 0.45;
  p.cj1 = 0.2;
  p.cj2 = 0.1;
}

void test07_battery() {
  auto& p = models::test07_params;
  p.r = 1.4285714285714286;
  p.c1 = 0.1111111111111111;
  p.c2 = 1;
  p.l = 0.14285714285714285;
  p.xb = {-21, -11, -1, 1, 11, 21};
  p.yb = {0, 5.8, 0.8, -0.8, -5.8, 0};
  p.tolx = 0.001;
  p.toly = 0.001;
  p.fixseg = 0;
}

std::function<void()> test08_with(double c1) {
  return [c1] { models::test08_params = {.c1 = c1, .c2 = 0.5}; };
}

void test09_battery() { models::test09_params = models::derive_test09(1, 1, 1); }

// y(1..17) of the converter with the diode voltage y(4) = u.
std::vector<double> converter_point(double u) {
  return {0.4, 60.0, 2e-3, u, 1.5e-2, -70.0, 30.0, 1.7e-2, -1.9e-2, 0.8, 0.9, 0.85, 12.0, 5e-4, 6e-3, 30.5, 11.5};
}

// Each model at a few points; linear models are exact up to rounding, the
// others carry the O(d^2) error of the central difference.
std::vector<JacobianCase> cases() {
  constexpr double kLinear = 1e-8;
  constexpr double kNonlinear = 1e-6;
  const auto none = [] {};
  std::vector<JacobianCase> all = {
      {"model00 a=0.001", test00_with(0.001), models::model00, 3, 3, 0.5, {3.5, 0.5, 2.5}, {-1.2, 0.7, 3.1},
       kLinear},
      {"model00 a=0.999", test00_with(0.999), models::model00, 3, 3, 2.0, {0.2, 0.2, 0.3}, {-0.2, -0.15, -0.25},
       kLinear},
      {"model01 MU=1e20", test01_with(1e20), models::model01, 2, 2, 1.0, {2.0, 0.5}, {0.5, -1.5e20}, kNonlinear},
      {"model01 MU=2", test01_with(2), models::model01, 2, 2, 1.0, {1.3, -0.8}, {-0.8, 0.6}, kNonlinear},
      {"model02 KT=1e-150", test02_with(1e-150), models::model02, 5, 5, 3e-147, {0.3, -0.2, 0.5, 1e-3, -2e-3},
       {1e150, -2e153, 3e150, 5e146, -4e146}, kLinear},
      {"model02 KT=1", test02_with(1), models::model02, 5, 5, 2.0, {0.3, -0.2, 0.5, 1e-3, -2e-3},
       {1.0, -2.0, 3e-3, 5e-4, -4e-4}, kLinear},
      {"model03", none, models::model03, 2, 2, 0.1, {1.6, 0.9}, {0.9, -2e6}, kNonlinear},
      {"model04 battery values", test04_with({1.5e-18, 2.5e-06, 2.1e-06, 0.6, 0.18, 0.016}), models::model04, 2, 2,
       5.0, {-0.5, 1e12}, {1e-6, 1e4}, kNonlinear},
      {"model04 unit values", test04_with({0.3, 0.7, 0.2, 0.6, 0.18, 0.016}), models::model04, 2, 2, 5.0,
       {0.4, 1.7}, {-0.3, 0.25}, kNonlinear},
      {"model05", none, models::model05, 2, 2, 3.0, {1.3, 2.1}, {0.4, -0.6}, kNonlinear},
      {"model06 battery values", test06_battery, models::model06, 6, 5, 1e-4, {0.62, -1.5, 5.0, 2.0, 1e-3, 0.3},
       {1e3, -2e3, 50.0, -80.0, 0.5}, kNonlinear},
      {"model06 unit values", test06_unit, models::model06, 6, 5, 0.5, {0.9, -0.6, 1.4, 0.3, -0.2, 0.8},
       {0.7, -1.1, 0.4, 0.25, -0.5}, kNonlinear},
      {"model08 rising", test08_with(1), models::model08, 3, 2, 0.3, {0.2, 0.1, 0.05}, {0.05, 0.3}, kNonlinear},
      {"model08 falling", test08_with(2.5), models::model08, 3, 2, 1.5, {0.35, 0.15, -0.07}, {-0.03, -0.4},
       kNonlinear},
      {"model09 forward-biased", test09_battery, models::model09, 17, 2, 0.003, converter_point(0.5),
       {10.0, -5.0}, kNonlinear},
      {"model09 reverse-biased", test09_battery, models::model09, 17, 2, 0.013, converter_point(-0.5),
       {-3.0, 2.0}, kNonlinear},
  };
  for (const double u : {-30.0, -5.0, 0.5, 15.0}) {  // on each of the four diode segments
    all.push_back({"model07 u=" + std::to_string(u), test07_battery, models::model07, 3, 3, 1.0, {u, 0.3, -0.2},
                   {0.5, -0.1, 0.2}, kNonlinear});
  }
  return all;
}

TEST(ModelJacobians, MatchCentralDifferencesOfTheResidual) {
  for (const JacobianCase& c : cases()) check_case(c);
}

}  // namespace
