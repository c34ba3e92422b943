// Edge cases of the model evaluations: test00's matrix, the transistor's
// cut-offs, the piecewise-linear diode's segment choice and status, the
// triangle source of test08 and the rectifier diode's cut-offs.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "models/model_params.h"
#include "models/models.h"

namespace {

using models::ij;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Arrays for one model call: F pre-filled with NaN so that unwritten entries show.
struct ModelCall {
  explicit ModelCall(int n)
      : y(n + 1, 0.0), yp(n + 1, 0.0), f(n + 1, kNaN), A(n * n + n + 1), B(n * n + n + 1), ip(3 * n + 22) {}
  std::vector<double> y, yp, f, A, B;
  std::vector<int> ip;
  int status = 0;

  void run(DAE_Model model, int n, int m, double t) {
    model(y.data(), yp.data(), f.data(), A.data(), B.data(), n, m, t, 1e-3, 1, &status, ip.data());
  }
};

// --- test00 ---------------------------------------------------------------------

models::Test00Params test00_with(double a) {
  models::Test00Params p{};
  p.a = a;
  p.c1 = 1;
  p.c2 = 1.5;
  p.c3 = 1;
  p.l1 = -100000;
  p.l2 = -1;
  p.l3 = -100;
  models::derive_test00_matrix(p);
  return p;
}

TEST(Test00Matrix, KnownEntries) {
  EXPECT_EQ(test00_with(0.999).M[ij(1, 1, 3)], -99999000.99999991);
  EXPECT_NEAR(test00_with(0.001).M[ij(1, 1, 3)], -100100.1, 0.01);  // (l1 - l2 a) / (1 - a)
}

// M T = T diag(l1, l2, l3) for the eigenvectors (1, a, a), (1, 1, 1), (1, -1, 1).
TEST(Test00Matrix, HasTheStatedEigenvectors) {
  for (const double a : {0.001, 0.5, 0.999}) {
    const models::Test00Params p = test00_with(a);
    const std::array<std::array<double, 3>, 3> T = {{{1, a, a}, {1, 1, 1}, {1, -1, 1}}};
    const std::array<double, 3> l = {p.l1, p.l2, p.l3};
    for (int k = 0; k < 3; ++k) {
      for (int i = 1; i <= 3; ++i) {
        double mv = 0;
        double size = 0;
        for (int j = 1; j <= 3; ++j) {
          mv += p.M[ij(i, j, 3)] * T[k][j - 1];
          size += std::fabs(p.M[ij(i, j, 3)] * T[k][j - 1]);
        }
        EXPECT_NEAR(mv, l[k] * T[k][i - 1], 1e-12 * size) << "a=" << a << " vector " << k << " row " << i;
      }
    }
  }
}

// --- the transistor of test06 -----------------------------------------------------

// A transistor with lam = 4, so that junction voltages of 10 and -50 scale to exactly 40 and -200.
models::Test06Params transistor() {
  models::Test06Params p = models::derive_test06(1, 1, 1);
  p.lam = 4;
  return p;
}

TEST(BjtCurrents, RejectsScaledVoltagesAboveFortyAndAcceptsFortyItself) {
  const models::Test06Params p = transistor();
  const double above = std::nextafter(10.0, 11.0);
  EXPECT_TRUE(bjt_currents(p, 10, 10).has_value());
  EXPECT_FALSE(bjt_currents(p, above, 0).has_value());
  EXPECT_FALSE(bjt_currents(p, 0, above).has_value());
  EXPECT_FALSE(bjt_currents(p, -50, above).has_value());

  const auto v = bjt_currents(p, 10, 0);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->di1_du1, p.lam * p.is2 * std::exp(40.0));
  EXPECT_EQ(v->C2, p.cj1 + p.cd1 * 1.0);
}

// Below -160 both the values and the derivatives use exp(-160).
TEST(BjtCurrents, CutsOffBelowMinus160) {
  const models::Test06Params p = transistor();
  const double E = std::exp(-160.0);
  const auto v = bjt_currents(p, -50, -50);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->i1, p.is2 * (E - 1) - 0.981 * p.is1 * (E - 1));
  EXPECT_EQ(v->di1_du1, p.lam * p.is2 * E);
  EXPECT_EQ(v->di2_du2, p.lam * p.is1 * E);
  EXPECT_EQ(v->C1, p.cj2 + p.cd2 * E);
  EXPECT_EQ(v->dC2_du2, p.lam * p.cd1 * E);
  const auto at_limit = bjt_currents(p, -40, -40);
  ASSERT_TRUE(at_limit.has_value());
  EXPECT_EQ(at_limit->di1_du1, v->di1_du1);
}

TEST(Model06, ReportsStatusOneAndWritesNothingBeyondTheLimit) {
  models::test06_params = models::derive_test06(1, 1, 1);
  ModelCall call(6);
  call.y[1] = 1.1;  // 38.3 * 1.1 > 40
  call.run(models::model06, 6, 5, 0);
  EXPECT_EQ(call.status, 1);
  for (int i = 1; i <= 6; ++i) EXPECT_TRUE(std::isnan(call.f[i]));
  for (const double b : call.B) EXPECT_EQ(b, 0.0);

  ModelCall ok(6);
  ok.y[1] = 1.0;
  ok.run(models::model06, 6, 5, 0);
  EXPECT_EQ(ok.status, 0);
  for (int i = 1; i <= 6; ++i) EXPECT_FALSE(std::isnan(ok.f[i]));
}

// --- the diode of test07 ----------------------------------------------------------

models::Test07Params chua_diode() {
  models::Test07Params p{};
  p.r = 1.4285714285714286;
  p.c1 = 0.1111111111111111;
  p.c2 = 1;
  p.l = 0.14285714285714285;
  p.xb = {-21, -11, -1, 1, 11, 21};
  p.yb = {0, 5.8, 0.8, -0.8, -5.8, 0};
  p.tolx = 0.001;
  p.toly = 0.001;
  p.fixseg = 0;
  return p;
}

struct DiodeCase {
  const char* what;
  double u;
  int ip1;          // Newton iteration of the step
  int kz_before;    // remembered segment
  int status_before;
  int kz_after;
  double g, dg;
  int status_after;
};

TEST(PwlDiode, SegmentChoiceExtrapolationAndStatus) {
  const models::Test07Params p = chua_diode();
  const DiodeCase cases[] = {
      {"first iteration picks the segment of u", 0.5, 0, 0, 0, 3, -0.4, -0.8, 0},
      {"later iterate extrapolates on the held segment", 1.5, 1, 3, 0, 3, -1.2, -0.8, 2},
      {"extrapolation towards the lower end", -1.5, 1, 3, 0, 3, 1.2, -0.8, 2},
      {"just past the end: within tolx", 1.0005, 2, 3, 0, 3, -0.8004, -0.8, 0},
      {"a new step re-chooses", 1.5, 0, 3, 0, 4, -1.05, -0.5, 0},
      {"a breakpoint belongs to the segment above", 1.0, 0, 0, 0, 4, -0.8, -0.5, 0},
      {"the breakpoint -1", -1.0, 0, 0, 0, 3, 0.8, -0.8, 0},
      {"the breakpoint -11", -11.0, 0, 0, 0, 2, 5.8, -0.5, 0},
      {"segment 4 serves every u >= 1", 25.0, 0, 0, 0, 4, -12.8, -0.5, 0},
      {"segment 1 extrapolates below -21", -30.0, 0, 0, 0, 1, -5.22, 0.58, 0},
      {"two segments away", -25.0, 1, 3, 0, 3, 20.0, -0.8, 2},
      {"a status of 1 is not lowered to 2", 1.5, 1, 3, 1, 3, -1.2, -0.8, 1},
      {"no segment chosen yet", 0.5, 1, 0, 0, 0, 0.0, 0.0, 1},
  };
  for (const DiodeCase& c : cases) {
    int kz = c.kz_before;
    int status = c.status_before;
    const models::DiodePoint d = models::pwl_diode(p, kz, c.u, 3, c.ip1, &status);
    EXPECT_EQ(kz, c.kz_after) << c.what;
    EXPECT_NEAR(d.g, c.g, 1e-12) << c.what;
    EXPECT_NEAR(d.dg, c.dg, 1e-15) << c.what;
    EXPECT_EQ(status, c.status_after) << c.what;
  }
}

// A jump of two segments is doubtful even when u lies close to the held segment's end.
TEST(PwlDiode, TwoSegmentsAwayIsDoubtfulWhateverTheDistance) {
  models::Test07Params p = chua_diode();
  p.xb = {-21, -11, -1, -0.9999, 11, 21};
  int kz = 2;
  int status = 0;
  models::pwl_diode(p, kz, -0.9998, 3, 1, &status);  // kf = 4, held segment 2, rx = 2e-4 < tolx
  EXPECT_EQ(status, 2);
}

TEST(PwlDiode, FixedSegmentNeverChangesAndNeverDoubts) {
  models::Test07Params p = chua_diode();
  p.fixseg = 1;
  int kz = 3;
  int status = 0;
  const models::DiodePoint d = models::pwl_diode(p, kz, 15.0, 3, 0, &status);
  EXPECT_EQ(kz, 3);
  EXPECT_EQ(status, 0);
  EXPECT_DOUBLE_EQ(d.g, -12.0);
}

TEST(PwlDiode, DegenerateOrMissingSegmentGivesStatusOne) {
  models::Test07Params p = chua_diode();
  p.xb[3] = p.xb[2];  // segment 3 of zero width, held from an earlier iteration
  int kz = 3;
  int status = 0;
  const models::DiodePoint d = models::pwl_diode(p, kz, 0.0, 3, 1, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(d.g, 0.0);
  EXPECT_EQ(d.dg, 0.0);

  // A search beyond the table's last segment must not read past it.
  const models::Test07Params q = chua_diode();
  kz = 0;
  status = 0;
  const models::DiodePoint e = models::pwl_diode(q, kz, 30.0, 7, 0, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(e.g, 0.0);
}

// The model hands the diode's status back and still writes F and the Jacobians.
TEST(Model07, PassesTheDiodeStatusOnAndStillWritesEverything) {
  models::test07_params = chua_diode();
  models::test07_state.kz = 0;
  ModelCall call(3);
  call.y[1] = 0.5;
  call.ip[1] = 1;  // a later iteration, but no segment remembered yet
  call.run(models::model07, 3, 3, 0);
  EXPECT_EQ(call.status, 1);
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(std::isnan(call.f[i]));
  EXPECT_EQ(call.B[ij(1, 1, 3)], 1 / models::test07_params.r);

  ModelCall first(3);
  first.y[1] = 0.5;
  first.run(models::model07, 3, 3, 0);  // ip[1] = 0: chooses and remembers segment 3
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(models::test07_state.kz, 3);
  ModelCall later(3);
  later.y[1] = 1.5;
  later.ip[1] = 1;
  later.run(models::model07, 3, 3, 0);
  EXPECT_EQ(later.status, 2);
}

// --- the triangle source of test08 ------------------------------------------------

TEST(Model08, TriangleSource) {
  models::test08_params = {.c1 = 1, .c2 = 0.5};
  struct {
    double t, s;
  } const cases[] = {{0, 0}, {0.25, 0.25}, {1, 1}, {1.5, 0.5}, {2, 0}, {2.75, 0.75}, {3.75, 0.25}, {4, 0}};
  for (const auto& c : cases) {
    ModelCall call(3);
    call.run(models::model08, 3, 2, c.t);
    EXPECT_EQ(models::test08_state.usrc, c.s) << "t=" << c.t;
    EXPECT_EQ(call.f[3], -c.s) << "t=" << c.t;
  }
}

// --- the rectifier diode of test09 -------------------------------------------------

TEST(Model09, DiodeExponentCutOffs) {
  models::test09_params = models::derive_test09(1, 1, 1);
  const auto& p = models::test09_params;

  models::test09_state.idiode = 42;
  ModelCall rejected(17);
  rejected.y[4] = 70 * p.vt;
  rejected.y[5] = 7;
  rejected.run(models::model09, 17, 2, 0);
  EXPECT_EQ(rejected.status, 1);
  for (int i = 1; i <= 17; ++i) EXPECT_TRUE(std::isnan(rejected.f[i]));
  EXPECT_EQ(models::test09_state.idiode, 42);  // not an evaluation

  ModelCall below(17);
  below.y[4] = std::nextafter(70 * p.vt, 0.0);
  below.run(models::model09, 17, 2, 0);
  EXPECT_EQ(below.status, 0);

  ModelCall reverse(17);
  reverse.y[4] = -100 * p.vt;
  reverse.y[5] = 7;
  reverse.run(models::model09, 17, 2, 0);
  const double E = std::exp(-70.0);
  EXPECT_EQ(reverse.status, 0);
  EXPECT_EQ(reverse.f[3], 7 - p.isat * (E - 1));
  EXPECT_EQ(reverse.B[ij(3, 4, 17)], -E * p.isat / p.vt);
  EXPECT_EQ(models::test09_state.idiode, 7);
}

}  // namespace
