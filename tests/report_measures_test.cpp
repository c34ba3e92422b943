// What the work-precision diagrams measure: where a case ends for its
// reference, the digits drawn, the tolerance grid, and a capped run that ends
// when told.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dae/dae_core.h"
#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "report/case_run.h"
#include "report/sweep.h"

namespace {

// The chaotic test ends at its horizon; test01's tend (8.4 * 1e20, not the
// decimal 8.4e20 of the file) is left exactly as the battery has it. A state
// with no correct digit, or a NaN, is drawn at 0.
TEST(Measures, CasesEndWhereTheirReferenceHolds) {
  verdict::DaeReference at_horizon{7, 0, 17.0, 261.2, true, "IDA", false, {{-0.649, 2.3e-6, 8}}};
  verdict::DaeReference at_tend{1, 0, 8.4e20, 8.4e20, false, "closed form", true, {{1.75, 2e-6, 14}}};
  const auto* test07 = models::find_dae_case("test07");
  const auto* test01 = models::find_dae_case("test01");
  EXPECT_EQ(report::case_at_reference(*test07, at_horizon).tend, 17.0);
  EXPECT_EQ(report::case_at_reference(*test01, at_tend).tend, test01->tend);
  models::DaeVector y{};
  y[1] = -1.75;
  EXPECT_EQ(report::plotted_digits(at_tend, y, 1), 0.0);
  y[1] = NAN;
  EXPECT_EQ(report::plotted_digits(at_tend, y, 1), 0.0);
  y[1] = 1.75 * (1 + 1e-6);
  EXPECT_NEAR(report::plotted_digits(at_tend, y, 1), 6.0, 1e-6);
}

TEST(Measures, TheGridHoldsThePowersOfTenThemselves) {
  const auto grid = report::eps_grid(1e-2, 1e-10, 3);
  ASSERT_EQ(grid.size(), 25u);
  for (int k = 0; k <= 8; ++k) {
    EXPECT_EQ(grid[3 * k], std::pow(10.0, -2 - k)) << k;
  }
  EXPECT_EQ(grid[3], 1e-3);  // the battery's eps, so that run is the battery's
}

TEST(Measures, ARunEndsAtItsLimits) {
  // test01 at a tight tolerance by implicit Euler needs far more than these.
  models::streams = {nullptr, nullptr, nullptr};
  const auto& c = *models::find_dae_case("test01");
  const auto by_steps = report::run_case(c, 1, 1e-8, {1000, 0});
  EXPECT_EQ(by_steps.code, dae::DAE_IER_STEP_LIMIT);
  EXPECT_EQ(by_steps.steps, 1000);
  EXPECT_FALSE(by_steps.reached_end);
  const auto by_time = report::run_case(c, 1, 1e-8, {0, 0.01});
  EXPECT_EQ(by_time.code, dae::DAE_IER_STOPPED);
  EXPECT_LT(by_time.cpu_seconds, 0.5);
  const auto free = report::run_case(c, 3, c.eps, {});
  EXPECT_TRUE(free.reached_end);
  EXPECT_EQ(free.t, c.tend);
}

}  // namespace
