// Model evaluations: every model's Jacobians against central differences of
// its own residual, and the edge cases of the devices (the transistor's
// cut-offs, the piecewise-linear diode's segment choice and status, test08's
// triangle source, the rectifier diode's cut-offs).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "models/model_params.h"
#include "models/models.h"

namespace {

using Vec = std::vector<double>;

constexpr int kGuard = 8;  // cells after the last matrix entry, which must stay 0

struct Evaluation {
  Vec f, A, B;
  int status = 0;
};

// One model call at the first Newton iteration of a step; y and yp are
// 1-based. F starts as NaN so that an unwritten residual shows.
Evaluation evaluate(DAE_Model model, int n, int m, double t, Vec y, Vec yp) {
  const std::size_t cells = n * n + n + 1 + kGuard;
  Evaluation e{Vec(n + 1, NAN), Vec(cells, 0.0), Vec(cells, 0.0)};
  std::vector<int> ip(3 * n + 22, 0);
  yp.resize(n + 1, 1.0);  // entries beyond m, which the model does not read
  model(y.data(), yp.data(), e.f.data(), e.A.data(), e.B.data(), n, m, t, 1e-3, 1, &e.status, ip.data());
  return e;
}

// --- Jacobians of every model ----------------------------------------------------

constexpr double kRelStep = 1e-6;    // difference step relative to the variable
constexpr double kTolerance = 1e-6;  // the O(d^2) error of the difference, relative to the row

struct JacobianCase {
  const char* name;
  void (*set_parameters)();
  DAE_Model model;
  int n, m;
  double t;
  Vec y, yp;  // y(1..n) and y'(1..m), all non-zero; index 0 unused
};

// A = dF/dy' and B = dF/dy against central differences, over every cell of
// both flat arrays: a missing, misplaced or mis-signed entry shows, and so do
// a write to row 0 or past the last entry and an unwritten residual (NaN). An
// entry is compared scaled by the size of its variable, against the largest
// scaled entry of its row.
void check(const JacobianCase& c) {
  SCOPED_TRACE(c.name);
  c.set_parameters();
  const int n = c.n;
  Vec y = c.y;
  Vec yp = c.yp;
  yp.resize(n + 1, 1.0);
  const auto evaluate_here = [&] { return evaluate(c.model, n, c.m, c.t, y, yp); };
  const Evaluation base = evaluate_here();
  ASSERT_EQ(base.status, 0);

  // Difference quotients in the layout of A and B, zero outside the matrix.
  Vec numA(base.A.size(), 0.0);
  Vec numB(base.B.size(), 0.0);
  for (const bool derivative : {true, false}) {
    Vec& v = derivative ? yp : y;
    for (int j = 1; j <= n; ++j) {
      const double v0 = v[j];
      const double d = kRelStep * std::fabs(v0);
      v[j] = v0 + d;
      const Vec up = evaluate_here().f;
      v[j] = v0 - d;
      const Vec down = evaluate_here().f;
      v[j] = v0;
      for (int i = 1; i <= n; ++i)
        (derivative ? numA : numB)[layout::flat_index(i, j, n)] = (up[i] - down[i]) / (2 * d);
    }
  }

  Vec row_scale(n + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const int k = layout::flat_index(i, j, n);
      row_scale[i] = std::max({row_scale[i], std::fabs(base.A[k] * yp[j]), std::fabs(base.B[k] * y[j])});
    }
  }
  for (int k = 0; k < static_cast<int>(base.A.size()); ++k) {
    const int i = k <= n || k > n * n + n ? 0 : (k - 1) / n;  // k = i*n + j with j = 1..n
    const int j = k - i * n;
    const double allowed = i == 0 ? 0.0 : kTolerance * row_scale[i];
    const double yj = i == 0 ? 1.0 : y[j];
    const double ypj = i == 0 ? 1.0 : yp[j];
    EXPECT_LE(std::fabs(numA[k] - base.A[k]) * std::fabs(ypj), allowed) << "A(" << i << "," << j << ")";
    EXPECT_LE(std::fabs(numB[k] - base.B[k]) * std::fabs(yj), allowed) << "B(" << i << "," << j << ")";
  }
}

// Parameter sets of order 1 where the battery's values would hide a term.
void params00() {
  models::test00_params = {.a = 0.001, .c1 = 1, .c2 = 1.5, .c3 = 1, .l1 = -1e5, .l2 = -1, .l3 = -100, .M = {}};
  models::derive_test00_matrix(models::test00_params);
}
void params01() { models::test01_params.MU = 2; }
void params02() { models::test02_params = models::derive_test02(1, 1, 1); }
void params04() { models::test04_params = {0.3, 0.7, 0.2, 0.6, 0.18, 0.016}; }
// In the order of the records' fields: KT KU KI KR KC KL, r1..r5, c1 c2 l1 e,
// is1 is2, lam, cd1 cd2, cj1 cj2; and r c1 c2 l, breakpoints, tolx toly fixseg.
void params06() {
  models::test06_params = {1,   1,   1,   1, 1,    1,    1.2, 0.8,  1.5,  0.5, 1.8,
                           0.7, 0.4, 0.3, 2, 0.15, 0.25, 1.7, 0.35, 0.45, 0.2, 0.1};
}
constexpr std::array<double, 6> kChuaXb = {-21, -11, -1, 1, 11, 21}, kChuaYb = {0, 5.8, 0.8, -0.8, -5.8, 0};
const models::Test07Params kChua = {
    1.4285714285714286, 0.1111111111111111, 1, 0.14285714285714285, kChuaXb, kChuaYb, 0.001, 0.001, 0};
void params07() { models::test07_params = kChua; }
void params08() { models::test08_params = {.c1 = 2.5, .c2 = 0.5}; }
void params09() { models::test09_params = models::derive_test09(1, 1, 1); }

TEST(ModelJacobians, MatchCentralDifferencesOfTheResidual) {
  using namespace models;
  const JacobianCase cases[] = {
      {"model00", params00, model00, 3, 3, 0.5, {0, 3.5, 0.5, 2.5}, {0, -1.2, 0.7, 3.1}},
      {"model01", params01, model01, 2, 2, 1.0, {0, 1.3, -0.8}, {0, -0.8, 0.6}},
      {"model02", params02, model02, 5, 5, 2.0, {0, 0.3, -0.2, 0.5, 1e-3, -2e-3}, {0, 1, -2, 3e-3, 5e-4, -4e-4}},
      {"model03", [] {}, model03, 2, 2, 0.1, {0, 1.6, 0.9}, {0, 0.9, -2e6}},
      {"model04", params04, model04, 2, 2, 5.0, {0, 0.4, 1.7}, {0, -0.3, 0.25}},
      {"model05", [] {}, model05, 2, 2, 3.0, {0, 1.3, 2.1}, {0, 0.4, -0.6}},
      {"model06", params06, model06, 6, 5, 0.5, {0, 0.9, -0.6, 1.4, 0.3, -0.2, 0.8}, {0, 0.7, -1.1, 0.4, 0.25, -0.5}},
      // u = -5 lies inside the diode's segment 2, chosen at this first iteration.
      {"model07", params07, model07, 3, 3, 1.0, {0, -5.0, 0.3, -0.2}, {0, 0.5, -0.1, 0.2}},
      {"model08", params08, model08, 3, 2, 1.5, {0, 0.35, 0.15, -0.07}, {0, -0.03, -0.4}},
      // A forward-biased diode (y(4) = 0.5), whose capacitance weighs in.
      {"model09",
       params09,
       model09,
       17,
       2,
       0.003,
       {0, 0.4, 60, 2e-3, 0.5, 1.5e-2, -70, 30, 1.7e-2, -1.9e-2, 0.8, 0.9, 0.85, 12, 5e-4, 6e-3, 30.5, 11.5},
       {0, 10, -5}},
  };
  for (const JacobianCase& c : cases) check(c);
}

// --- test00's matrix and the devices ------------------------------------------------

// M = T diag(l1, l2, l3) T^-1: M times each column of T, (1, a, a), (1, 1, 1)
// and (1, -1, 1), is that column times its eigenvalue.
TEST(Test00Matrix, HasTheStatedEigenvectors) {
  models::Test00Params p = {.a = 0.5, .c1 = 1, .c2 = 1.5, .c3 = 1, .l1 = -1e5, .l2 = -1, .l3 = -100, .M = {}};
  models::derive_test00_matrix(p);
  const double T[3][3] = {{1, p.a, p.a}, {1, 1, 1}, {1, -1, 1}};
  const double l[3] = {p.l1, p.l2, p.l3};
  for (int k = 0; k < 3; ++k) {
    for (int i = 1; i <= 3; ++i) {
      double mt = 0;
      for (int j = 1; j <= 3; ++j) mt += p.M[layout::flat_index(i, j, 3)] * T[k][j - 1];
      EXPECT_NEAR(mt, l[k] * T[k][i - 1], 1e-9 * -p.l1) << "column " << k + 1 << ", row " << i;
    }
  }
}

// Scaled junction voltages above 40 are not evaluated (40 itself is); below
// -160 values and derivatives use exp(-160). lam = 4 scales junction voltages
// 10 and -50 to exactly 40 and -200.
TEST(BjtCurrents, CutOffsAtFortyAndMinus160) {
  models::Test06Params p = models::derive_test06(1, 1, 1);
  p.lam = 4;
  const double above = std::nextafter(10.0, 11.0);
  EXPECT_FALSE(bjt_currents(p, above, 0).has_value());
  EXPECT_FALSE(bjt_currents(p, -50, above).has_value());
  const auto at = bjt_currents(p, 10, 10);
  ASSERT_TRUE(at.has_value());
  EXPECT_EQ(at->di1_du1, p.lam * p.is2 * std::exp(40.0));

  const double E = std::exp(-160.0);
  const auto low = bjt_currents(p, -50, -50);
  ASSERT_TRUE(low.has_value());
  EXPECT_EQ(low->di1_du1, p.lam * p.is2 * E);
  EXPECT_EQ(low->di2_du2, p.lam * p.is1 * E);

  // model06 reports a transistor it cannot evaluate (38.3 * 1.1 > 40) and writes no residual.
  models::test06_params = models::derive_test06(1, 1, 1);
  const Evaluation c = evaluate(models::model06, 6, 5, 0, {0, 1.1, 0, 0, 0, 0, 0}, {});
  EXPECT_EQ(c.status, 1);
  EXPECT_TRUE(std::isnan(c.f[1]));
}

// Breakpoints -21, -11, -1, 1, 11, 21; the model searches breakpoints 1..3, so
// segment 1 serves u < -11 and segment 4 every u >= 1.
TEST(PwlDiode, SegmentChoiceExtrapolationAndStatus) {
  models::Test07Params p = kChua;
  p.r = p.c1 = p.c2 = p.l = 1;
  struct {
    const char* what;
    double u;
    int ip1, kz_before, status_before;  // Newton iteration of the step, remembered segment, status
    int kz_after, status_after;
    double g, dg;
  } const cases[] = {
      {"the first iteration picks the segment of u", 0.5, 0, 0, 0, 3, 0, -0.4, -0.8},
      {"a later iterate extrapolates on the held segment", 1.5, 1, 3, 0, 3, 2, -1.2, -0.8},
      {"extrapolation towards the lower end", -1.5, 1, 3, 0, 3, 2, 1.2, -0.8},
      {"just past the end, within tolx", 1.0005, 2, 3, 0, 3, 0, -0.8004, -0.8},
      {"a status of 1 is not lowered to 2", 1.5, 1, 3, 1, 3, 1, -1.2, -0.8},
      {"a new step chooses again", 1.5, 0, 3, 0, 4, 0, -1.05, -0.5},
      {"a breakpoint belongs to the segment above", 1.0, 0, 0, 0, 4, 0, -0.8, -0.5},
      {"segment 4 extrapolates above 11", 25.0, 0, 0, 0, 4, 0, -12.8, -0.5},
      {"segment 1 extrapolates below -21", -30.0, 0, 0, 0, 1, 0, -5.22, 0.58},
      // Segment 0 would read below the tables.
      {"no segment chosen yet", 0.5, 1, 0, 0, 0, 1, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int kz = c.kz_before;
    int status = c.status_before;
    const models::DiodePoint d = models::pwl_diode(p, kz, c.u, 3, c.ip1, &status);
    EXPECT_EQ(kz, c.kz_after);
    EXPECT_NEAR(d.g, c.g, 1e-12);
    EXPECT_NEAR(d.dg, c.dg, 1e-15);
    EXPECT_EQ(status, c.status_after);
  }
  // Two segments away is doubtful even within tolx of the held segment's end.
  models::Test07Params q = p;
  q.xb[3] = -0.9999;
  int kz = 2;
  int status = 0;
  models::pwl_diode(q, kz, -0.9998, 3, 1, &status);
  EXPECT_EQ(status, 2);
}

// Triangle wave between 0 and 1 with period 2, rising on [0, 1].
TEST(Model08, TriangleSource) {
  models::test08_params = {.c1 = 1, .c2 = 0.5};
  for (const auto& [t, s] : {std::pair{0.25, 0.25}, {1.0, 1.0}, {1.5, 0.5}, {2.0, 0.0}, {2.75, 0.75}}) {
    const Evaluation c = evaluate(models::model08, 3, 2, t, {0, 0, 0, 0}, {});
    EXPECT_EQ(models::test08_state.usrc, s) << "t=" << t;
    EXPECT_EQ(c.f[3], -s) << "t=" << t;
  }
}

// From exponent 70 on the rectifier is not evaluated (no residual, no diode
// current kept); below -70 it is evaluated at exp(-70).
TEST(Model09, DiodeExponentCutOffs) {
  models::test09_params = models::derive_test09(1, 1, 1);
  const double vt = models::test09_params.vt;
  const double isat = models::test09_params.isat;
  models::test09_state.idiode = 42;
  Vec y(18, 0.0);
  y[4] = 70 * vt;  // the diode voltage
  y[5] = 7;        // the diode current
  const Evaluation at = evaluate(models::model09, 17, 2, 0, y, {});
  EXPECT_EQ(at.status, 1);
  EXPECT_TRUE(std::isnan(at.f[3]));
  EXPECT_EQ(models::test09_state.idiode, 42);
  y[4] = std::nextafter(70 * vt, 0.0);
  EXPECT_EQ(evaluate(models::model09, 17, 2, 0, y, {}).status, 0);

  y[4] = -100 * vt;
  const Evaluation reverse = evaluate(models::model09, 17, 2, 0, y, {});
  const double E = std::exp(-70.0);
  EXPECT_EQ(reverse.status, 0);
  EXPECT_EQ(reverse.f[3], 7 - isat * (E - 1));
  EXPECT_EQ(reverse.B[layout::flat_index(3, 4, 17)], -E * isat / vt);
  EXPECT_EQ(models::test09_state.idiode, 7);
}

}  // namespace
