// What the work-precision diagrams measure: correct digits against a
// reference, the references as the file states them, the tolerance grid, and
// a capped run that ends when told.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dae/dae_core.h"
#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "report/case_run.h"
#include "report/references.h"
#include "report/sweep.h"

namespace {

TEST(Measures, CorrectDigitsAgainstAReference) {
  report::Reference r;
  r.n = 2;
  r.digits = 8;
  r.value[1] = 2.0;
  r.value[2] = 1e-9;  // below its floor: its error counts against the floor
  r.floor[1] = 1e-6;
  r.floor[2] = 1e-3;
  struct Case {
    double y1, y2, scd;
  };
  const Case cases[] = {
      {2.0, 1e-9, 8},              // exact: the reference's digits
      {2.0 + 2e-5, 1e-9, 5},       // 1e-5 relative
      {2.0, 1e-9 + 1e-7, 4},       // 1e-7 absolute on a floor of 1e-3
      {2.0 + 2e-12, 1e-9, 8},      // better than the reference can tell
      {-2.0, 1e-9, 0},             // wrong sign: an error above 1
      {NAN, 1e-9, 0},
  };
  for (const Case& c : cases) {
    models::DaeVector y{};
    y[1] = c.y1;
    y[2] = c.y2;
    EXPECT_NEAR(report::correct_digits(r, y), c.scd, 1e-9) << c.y1 << " " << c.y2;
  }
}

TEST(Measures, ReferencesAsTheFileStatesThem) {
  // A closed form gives its digits per component only; an IDA reference
  // keeps its agreed digits, unless every component has a closed form too.
  const std::string text = R"({"references": [
    {"test": 1, "ii": 0, "n": 2, "t": 8.4e20, "components": [
      {"i": 1, "digits": 14, "exact": 1.75, "value": 1.7, "floor": 2e-6},
      {"i": 2, "digits": 12, "exact": -8e-21, "value": -8e-21, "floor": 1e-26}]},
    {"test": 7, "ii": 0, "n": 1, "t": 17.0, "digits": 8, "components": [
      {"i": 1, "digits": 8, "value": -0.649, "floor": 2.3e-6}]},
    {"test": 0, "ii": 2, "n": 1, "t": 10.0, "digits": 5, "components": [
      {"i": 1, "digits": 5, "exact": 6.8e-5, "value": 6.8e-5, "floor": 3.5e-6}]}]})";
  std::vector<report::Reference> refs;
  std::string error;
  ASSERT_TRUE(report::parse_references(text, refs, error)) << error;
  ASSERT_EQ(refs.size(), 3u);
  EXPECT_EQ(refs[0].digits, report::kExactDigits);
  EXPECT_EQ(refs[0].value[1], 1.75);  // the closed form, not the rounded value
  EXPECT_EQ(refs[1].digits, 8);
  EXPECT_EQ(refs[2].digits, report::kExactDigits);

  // The chaotic test ends at its horizon; test01's tend (8.4 * 1e20, not the
  // decimal 8.4e20) is left exactly as the battery has it.
  const auto* test07 = models::find_dae_case("test07");
  const auto* test01 = models::find_dae_case("test01");
  EXPECT_EQ(report::case_at_reference(*test07, refs[1]).tend, 17.0);
  EXPECT_EQ(report::case_at_reference(*test01, refs[0]).tend, test01->tend);
  EXPECT_FALSE(report::parse_references(R"({"references": [{"test": 1}]})", refs, error));
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
  models::streams = {nullptr, nullptr};
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
