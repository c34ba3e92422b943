// Helpers shared by the linear solvers' tests.
//
//   Vec, Rows      a vector, and a matrix (or band) as its rows
//   flat           rows in the solvers' 1-based flat layout
//   one_based      a vector with an unused entry 0 in front
//   kBanner01, kBanner02   the lines a successful full solver prints after its poi
//   test_seed      the seed of a randomised test, replayable through LAE_TEST_SEED
//   exact, is_nearest, beyond_doubles   the independent check of correct rounding
#pragma once

#include <gmpxx.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "layout/flat_index.h"

namespace lae_test {

using Vec = std::vector<double>;
using Rows = std::vector<Vec>;  // a full matrix, or (a_i, b_i, c_i) per row of a band

inline const std::string kBanner01 =
    "LAE_Solver_01 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: Full matrix(50x50 max)\n";
inline const std::string kBanner02 =
    "LAE_Solver_02 - Numerical Test Battery :\n"
    "Sets of Linear Algebraic Equations Solver with guaranteed precision: full matrix(40x40 max)\n";

// Row i of `rows` at flat indices i*n + 1.. (all indices from 1); every other
// cell holds `outside`. Three spare cells let a band of order 1 or 2 reach
// index n*n + 3.
inline Vec flat(const Rows& rows, double outside) {
  const int n = static_cast<int>(rows.size());
  Vec a(static_cast<std::size_t>(layout::flat_cells(n)) + 3, outside);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= static_cast<int>(rows[i - 1].size()); ++j) a[layout::flat_index(i, j, n)] = rows[i - 1][j - 1];
  }
  return a;
}

inline Vec one_based(const Vec& v, double entry0 = NAN) {
  Vec out{entry0};
  out.insert(out.end(), v.begin(), v.end());
  return out;
}

// LAE_TEST_SEED when set, otherwise `fallback`; the caller prints it.
inline unsigned test_seed(unsigned fallback) {
  const char* env = std::getenv("LAE_TEST_SEED");
  return env != nullptr ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : fallback;
}

// The exact value of a finite double.
inline mpq_class exact(double x) { return mpq_class(x); }

// True when |r| is at or beyond the point halfway between the largest double
// and 2^1024, where rounding to nearest (ties to even) leaves the doubles.
inline bool beyond_doubles(const mpq_class& r) {
  constexpr double kMax = std::numeric_limits<double>::max();
  return abs(r) >= exact(kMax) + exact(std::ldexp(1.0, 970));
}

// True when x is the double nearest to r, ties to even, judged by exact
// distances to both neighbours of x (2^1024 standing beyond the largest
// double); nothing here shares code with the rounding under test.
inline bool is_nearest(const mpq_class& r, double x) {
  if (!std::isfinite(x)) return false;
  const mpq_class distance = abs(r - exact(x));
  for (const double toward : {-INFINITY, INFINITY}) {
    const double next = std::nextafter(x, toward);
    const mpq_class neighbour =
        std::isinf(next) ? mpq_class(std::signbit(next) ? -1 : 1) * mpq_class(mpz_class(1) << 1024) : exact(next);
    const mpq_class other = abs(r - neighbour);
    if (other < distance) return false;
    const bool odd = (std::bit_cast<std::uint64_t>(x) & 1u) != 0;
    if (other == distance && odd) return false;
  }
  return true;
}

}  // namespace lae_test
