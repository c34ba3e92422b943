// The IDA peer: the adapter's iteration matrix,
// a run against a closed form, and the start values taken from the battery.
#include <gtest/gtest.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <cmath>
#include <memory>

#include "layout/flat_index.h"
#include "models/dae_catalogue.h"
#include "models/model_params.h"
#include "peer/battery_start.h"
#include "peer/ida_adapter.h"
#include "peer/ida_peer.h"
#include "textout/diagnostics.h"

namespace {

using layout::flat_index;

// y1' = -3 y1 + y2 and y2' = y1 - 3 y2 once the algebraic y3 = -y1 is put in;
// from y(0) = (1, 0, -1): y1 = (e^-2t + e^-4t)/2, y2 = (e^-2t - e^-4t)/2.
// Written so that B = dF/dy is not symmetric and y3 enters the first row.
int linear_model(double* y, double* yp, double* f, double* fyp, double* fy, int n, int, double, double, int, int*,
                 const int*) {
  f[1] = yp[1] + 2 * y[1] - y[2] - y[3];
  f[2] = yp[2] - y[1] + 3 * y[2];
  f[3] = y[3] + y[1];
  fyp[flat_index(1, 1, n)] = 1;
  fyp[flat_index(2, 2, n)] = 1;
  const double B[4][4] = {{}, {0, 2, -1, -1}, {0, -1, 3, 0}, {0, 1, 0, 1}};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) fy[flat_index(i, j, n)] = B[i][j];
  }
  return 0;
}

void no_parameters() {}

models::DaeTestCase linear_case() {
  models::DaeTestCase c{};
  c.name = "linear";
  c.n = 3;
  c.m = 2;
  c.nm = DAE_NM_LOBATTO;
  c.init = DAE_INIT_COMPUTE;
  c.tend = 1;
  c.hmin = 1e-10;
  c.hmax = 1;
  c.eps = 1e-6;
  c.y0 = {0, 1, 0};
  c.ye0 = {0, 1, 1};
  c.magnitude = {0, 1, 1, 1};
  c.floor = {0, 1e-6, 1e-6, 1e-6};
  c.set_parameters = no_parameters;
  c.model = linear_model;
  return c;
}

// A SUNDIALS context with vectors of length n.
struct Vectors {
  SUNContext context = nullptr;
  N_Vector y, yp, r;
  explicit Vectors(int n) {
    SUNContext_Create(nullptr, &context);
    y = N_VNew_Serial(n, context);
    yp = N_VNew_Serial(n, context);
    r = N_VNew_Serial(n, context);
    N_VConst(0.0, y);
    N_VConst(0.0, yp);
  }
  ~Vectors() {
    for (N_Vector v : {y, yp, r}) N_VDestroy(v);
    SUNContext_Free(&context);
  }
};

TEST(IdaAdapter, IterationMatrixIsDFdyPlusCjDFdyp) {
  const models::DaeTestCase c = linear_case();
  peer::AdapterContext a = peer::make_adapter_context(c);
  Vectors v(3);
  SUNMatrix J = SUNDenseMatrix(3, 3, v.context);
  constexpr double cj = 7;
  ASSERT_EQ(peer::ida_jacobian(0, cj, v.y, v.yp, v.r, J, &a, nullptr, nullptr, nullptr), peer::kCallbackOk);
  // Row i, column j (IDA counts from 0): cj only on the differential diagonal.
  const double want[3][3] = {{2 + cj, -1, -1}, {-1, 3 + cj, 0}, {1, 0, 1}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_EQ(SM_ELEMENT_D(J, i, j), want[i][j]) << i << "," << j;
  }
  SUNMatDestroy(J);
}

TEST(IdaPeer, LinearDaeAndTest00AgainstTheirClosedForms) {
  const textout::DiagnosticsTo quiet(nullptr);
  const models::DaeTestCase linear = linear_case();
  const peer::IdaRun r = peer::integrate_with_ida(linear, peer::settings_at(linear, 1e-9));
  ASSERT_TRUE(peer::ida_succeeded(r)) << r.flag;
  EXPECT_EQ(r.t, 1.0);
  const double e2 = std::exp(-2.0), e4 = std::exp(-4.0);
  EXPECT_NEAR(r.y[1], (e2 + e4) / 2, 1e-7);
  EXPECT_NEAR(r.y[2], (e2 - e4) / 2, 1e-7);
  EXPECT_NEAR(r.y[3], -(e2 + e4) / 2, 1e-7);
  EXPECT_NEAR(r.yp[1], -(2 * e2 + 4 * e4) / 2, 1e-6);

  // test00 at t = 10: only the mode of eigenvalue -1 is left, 1.5 e^-10 (1, 1, 1).
  const models::DaeTestCase& c = *models::find_dae_case("test00 ii=1 nm=3");
  const peer::IdaRun t00 = peer::integrate_with_ida(c, peer::settings_at(c, 1e-8));
  ASSERT_TRUE(peer::ida_succeeded(t00)) << t00.flag;
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(t00.y[i] / (1.5 * std::exp(-10.0)), 1, 1e-6) << i;
}

// The start-up does not depend on tend: the short run that battery_start_values
// makes shows the values of the battery's full run of every test.
models::DaeVector first_y, first_yp;
int keep_first_output(double* y, double* yp, int n, int m, double, double, double, double, double*, int kind,
                      const int*) {
  if (kind != DAE_OUTPUT_FIRST) return 0;
  for (int i = 1; i <= n; ++i) first_y[i] = y[i];
  for (int i = 1; i <= m; ++i) first_yp[i] = yp[i];
  return 0;
}

TEST(BatteryStart, ShortRunShowsTheFullRunsStartValues) {
  const textout::DiagnosticsTo quiet(nullptr);
  for (const models::DaeTestCase& c : models::dae_catalogue()) {
    SCOPED_TRACE(c.name);
    const peer::StartValues start = peer::battery_start_values(c);
    ASSERT_TRUE(start.found);
    models::DaeTestCase full = c;
    full.output = keep_first_output;
    auto arrays = std::make_unique<models::DaeArrays>();
    int ier = 0;
    models::run_dae_case(full, *arrays, ier);
    for (int i = 1; i <= c.n; ++i) EXPECT_EQ(start.y[i], first_y[i]) << i;
    for (int i = 1; i <= c.m; ++i) EXPECT_EQ(start.yp[i], first_yp[i]) << i;
  }
}

}  // namespace
