// The C++ layer of the linear solvers on its own cases: a solution that the
// entry points' conversion misses by an ulp, the order-2 band that the flat
// layout cannot hold, factors not written, and refused sizes. Agreement with
// the entry points on the battery's 24 tasks: driver_linear_layer_test.cpp.
#include <gtest/gtest.h>

#include <vector>

#include "lae/lae_solvers.h"
#include "lae/linear_solve.h"
#include "lae_test_support.h"

namespace {

using lae_test::Vec;

TEST(LaeLinearSolve, OwnCases) {
  const Vec a3 = {4, 1, 0, 1, 5, 2, 0, 2, 6};
  const Vec b3 = {6, 17, 22};
  // The entry points' conversion gives X(3) = 2.9999999999999991 here.
  EXPECT_EQ(lae::solve_01(a3, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_02(a3, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_3diag(Vec{0, 4, 1, 1, 5, 2, 2, 6, 0}, b3).x, (Vec{1, 2, 3}));
  EXPECT_EQ(lae::solve_exact(a3, b3).x, (Vec{1, 2, 3}));

  // c_0 = 1 and a_1 = 3 would share one cell of the flat layout.
  const lae::LinearSolution band2 = lae::solve_3diag(Vec{0, 2, 1, 3, 4, 0}, Vec{3, 7});
  EXPECT_EQ(band2.ier, LAE_IER_OK);
  EXPECT_EQ(band2.x, (Vec{1, 1}));

  // LL(2, 2) = 0 stops the factorisation before the factors are complete.
  const lae::FactoredSolution unfactored = lae::solve_02(Vec{1, 1, 0, 1, 1, 1, 0, 1, 1}, Vec{1, 1, 1});
  EXPECT_EQ(unfactored.ier, LAE_IER_FAILED);
  EXPECT_TRUE(unfactored.l.empty() && unfactored.u.empty());

  const lae::LinearSolution singular = lae::solve_exact(Vec{1.0 / 3, 1, 2.0 / 3, 2}, Vec{1, 2});
  EXPECT_EQ(singular.ier, LAE_IER_SINGULAR_CONSISTENT);
  EXPECT_EQ(singular.x, (Vec{1 / (1.0 / 3), 0}));
  EXPECT_FALSE(singular.poi.has_value());

  struct Refused {
    const char* name;
    lae::LinearSolution r;
    int ier;
  };
  const Refused refused[] = {
      {"order 16", lae::solve_01(Vec(256, 1.0), Vec(16, 1.0)), lae::kIerNotSolved},
      {"order 200 band", lae::solve_3diag(Vec(600, 1.0), Vec(200, 1.0)), lae::kIerNotSolved},
      {"a not n x n", lae::solve_exact(Vec(3, 1.0), Vec(2, 1.0)), lae::kIerNotSolved},
      {"band not 3n", lae::solve_3diag(Vec(5, 1.0), Vec(2, 1.0)), lae::kIerNotSolved},
      {"order 0", lae::solve_02(Vec{}, Vec{}), LAE_IER_FAILED},
  };
  for (const Refused& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.r.ier, c.ier);
    EXPECT_FALSE(c.r.poi.has_value());
    EXPECT_EQ(c.r.x, Vec(c.r.x.size(), 0.0));
  }
}

}  // namespace
