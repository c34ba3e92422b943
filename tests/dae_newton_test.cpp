// Newton linear algebra of the DAE integrator: random systems of every size
// solved by both methods, the decoupling of the three-point blocks without
// differential unknowns, the pivot tie rule, and singular columns.
//
// Random cases print their seed; DAE_NEWTON_SEED=<number> replays one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dae/newton_linalg.h"
#include "layout/flat_index.h"
#include "textout/textout.h"

namespace {

using Vec = std::vector<double>;

constexpr double kUntouched = 12345.0;  // sentinel for outputs that must stay unwritten

std::mt19937_64 seeded_rng() {
  const char* text = std::getenv("DAE_NEWTON_SEED");
  const std::uint64_t seed = text != nullptr ? std::strtoull(text, nullptr, 10) : std::random_device{}();
  textout::out_printf(stdout, "DAE_NEWTON_SEED=%llu\n", static_cast<unsigned long long>(seed));
  return std::mt19937_64(seed);
}

// One stage's storage, 1-based, matrices column-major with row stride n.
struct Stage {
  int n, m;
  Vec A, B, r, g, gc, z, dy, dyp;
  std::vector<int> perm;
  Stage(int n_, int m_)
      : n(n_),
        m(m_),
        A(n * m + 1, 0.0),
        B(n * n + 1, 0.0),
        r(n + 1, 0.0),
        g(m + 1, 0.0),
        gc(m + 1, kUntouched),
        z(n + 1, kUntouched),
        dy(n + 1, kUntouched),
        dyp(m + 1, kUntouched),
        perm(n + 1, 0) {}
  NewtonStageMatrices matrices() { return {A.data(), B.data(), perm.data()}; }
  NewtonStageVectors vectors() { return {r.data(), g.data(), gc.data(), z.data(), dy.data(), dyp.data()}; }
};

struct ThreePoint {
  double c;
  Stage mid, end;
  Vec L21, U12;
  ThreePoint(double c_, Stage mid_, Stage end_)
      : c(c_),
        mid(std::move(mid_)),
        end(std::move(end_)),
        L21(mid.n * mid.n + 1, kUntouched),
        U12(mid.n * mid.n + 1, kUntouched) {}
  NewtonCoupling coupling() { return {L21.data(), U12.data()}; }
  int factor_solve() {
    return dae_factor_solve_three_point(mid.n, mid.m, c, mid.matrices(), end.matrices(), coupling(), mid.vectors(),
                                        end.vectors());
  }
};

// Uniform noise plus one large entry per row in a shuffled column: well
// conditioned, and the pivots move rows. The matrices are drawn in the model's
// layout and copied in by dae_copy_column_major, checked entry by entry.
Stage random_stage(int n, int m, double boost, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Stage s(n, m);
  Vec fyp(layout::flat_cells(n)), fy(layout::flat_cells(n));
  for (Vec* v : {&fyp, &fy, &s.r, &s.g}) std::generate(v->begin() + 1, v->end(), [&] { return u(rng); });
  std::vector<int> column(n);
  std::iota(column.begin(), column.end(), 1);
  std::shuffle(column.begin(), column.end(), rng);
  for (int i = 1; i <= n; ++i) fy[layout::flat_index(i, column[i - 1], n)] += u(rng) < 0.0 ? -boost : boost;
  dae_copy_column_major(fyp.data(), n, m, s.A.data());
  dae_copy_column_major(fy.data(), n, n, s.B.data());
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      EXPECT_EQ(s.B[dae_col_major(n, i, j)], fy[layout::flat_index(i, j, n)]);
      EXPECT_TRUE(j > m || s.A[dae_col_major(n, i, j)] == fyp[layout::flat_index(i, j, n)]) << i << ", " << j;
    }
  }
  return s;
}

void expect_permutation(std::vector<int> perm, int n) {
  std::sort(perm.begin() + 1, perm.end());
  for (int i = 1; i <= n; ++i) ASSERT_EQ(perm[i], i) << "row " << i << " not listed once";
}

// The corrections solve the stage's linearised equations A*dy' + B*dy = r in
// the original rows (long double sums, relative to the sizes of the terms),
// with dy' related to dy as the method states: dy'_k = g_k - sum of
// coef[s]*dy_k of each stage s. Together over the stages this is the assembled
// system J*dy = r - A*g, one-stage n x n or three-point 2n x 2n.
void expect_stage_solved(const Stage& in, const Stage& out, const std::vector<const Stage*>& stages,
                         const std::vector<double>& coef) {
  long double worst = 0.0L, scale = 0.0L;
  for (int i = 1; i <= in.n; ++i) {
    long double res = -static_cast<long double>(in.r[i]), size = std::fabs(in.r[i]);
    for (int j = 1; j <= in.n; ++j) {
      const long double b = static_cast<long double>(in.B[dae_col_major(in.n, i, j)]) * out.dy[j];
      const long double a = j <= in.m ? static_cast<long double>(in.A[dae_col_major(in.n, i, j)]) * out.dyp[j] : 0;
      res += a + b;
      size += std::fabs(a) + std::fabs(b);
    }
    worst = std::max(worst, std::fabs(res));
    scale = std::max(scale, size);
  }
  EXPECT_LE(worst, 1e-14L * scale);
  for (int k = 1; k <= in.m; ++k) {
    double expected = in.g[k];
    for (std::size_t s = 0; s < stages.size(); ++s) expected -= coef[s] * stages[s]->dy[k];
    EXPECT_NEAR(out.dyp[k], expected, 1e-13 * (1.0 + std::fabs(in.g[k]) + std::fabs(expected - in.g[k])));
  }
}

// Implicit Euler or trapezoidal rule (c = -1/h, -2/h) and the three-point
// method (c = 1/h) on random well-conditioned systems of every order (those
// compiled as constants and the others) with m = 0, 0 < m < n, m = n and one
// drawn at random: solved in the original rows. (The rounding order is pinned
// by the battery's reports, which use orders 1 to 6 and 17.) Without
// differential unknowns the three-point blocks decouple: each is the one-stage
// solve of its own B.
TEST(DaeNewton, RandomSystemsOfEverySize) {
  std::mt19937_64 rng = seeded_rng();
  std::uniform_real_distribution<double> step(0.05, 1.0);
  for (int n = 1; n <= 38; ++n) {
    for (const int m : {0, n / 2, n, std::uniform_int_distribution<int>(0, n)(rng)}) {
      SCOPED_TRACE("n " + std::to_string(n) + " m " + std::to_string(m));
      const double c = (n % 2 == 0 ? -1.0 : -2.0) / step(rng);
      const Stage one = random_stage(n, m, 3.0 * std::sqrt(n) * (1.0 - c), rng);
      Stage s = one;
      ASSERT_EQ(dae_factor_solve_one_stage(n, m, c, s.matrices(), s.vectors()), 0);
      expect_permutation(s.perm, n);
      expect_stage_solved(one, s, {&s}, {c});

      const double c3 = 1.0 / step(rng);
      const double boost = 4.0 * std::sqrt(n) * (1.0 + 8.0 * c3);
      ThreePoint tp(c3, random_stage(n, m, boost, rng), random_stage(n, m, boost, rng));
      const Stage mid = tp.mid;
      const Stage end = tp.end;
      ASSERT_EQ(tp.factor_solve(), 0);
      for (const Stage* out : {&tp.mid, &tp.end}) expect_permutation(out->perm, n);
      expect_stage_solved(mid, tp.mid, {&tp.mid, &tp.end}, {c3 * kLobattoD1, c3 * kLobattoD2});
      expect_stage_solved(end, tp.end, {&tp.mid, &tp.end}, {c3 * kLobattoD3, c3 * kLobattoD4});
      for (int b = 0; b < 2 && m == 0; ++b) {
        Stage alone = b == 0 ? mid : end;
        ASSERT_EQ(dae_factor_solve_one_stage(n, 0, -1.0, alone.matrices(), alone.vectors()), 0);
        EXPECT_EQ(alone.dy, (b == 0 ? tp.mid : tp.end).dy);
        EXPECT_EQ(Vec(tp.L21.begin() + 1, tp.L21.end()), Vec(n * n, 0.0));
      }
    }
  }
}

// B (3 x 3) and A (3 x m) listed column by column, as stored.
TEST(DaeNewton, LaterRowWinsAPivotTie) {
  const struct {
    const char* what;
    int m;
    double c;
    Vec B, A;
    std::vector<int> perm;  // expected
  } cases[] = {
      {"rows 2 and 3 tie in column 1", 0, -1.0, {0, 1, -4, 4, 0, 1, 0, 0, 0, 1}, {0}, {0, 3, 2, 1}},
      {"all rows tie", 0, -1.0, {0, 4, -4, 4, 0, 1, 0, 0, 0, 1}, {0}, {0, 3, 2, 1}},
      {"rows 1 and 2 tie", 0, -1.0, {0, -3, 3, 1, 0, 1, 0, 0, 0, 1}, {0}, {0, 2, 1, 3}},
      {"tie made by the A term", 1, 2.0, {0, 3, 1, 0, 0, 1, 0, 0, 0, 1}, {0, 0, -1, -1.5}, {0, 3, 2, 1}},
      {"tie in column 2 after elimination", 0, -1.0, {0, 2, 0, 0, 1, -1, 1, 0, 0, 1}, {0}, {0, 1, 3, 2}},
  };
  for (const auto& tc : cases) {
    Stage s(3, tc.m);
    s.B = tc.B;
    s.A = tc.A;
    ASSERT_EQ(dae_factor_solve_one_stage(3, tc.m, tc.c, s.matrices(), s.vectors()), 0) << tc.what;
    EXPECT_EQ(s.perm, tc.perm) << tc.what;
  }
}

// Integer J whose columns 1..j-1 are upper triangular with diagonal 5 and
// whose column j is zero from row j down, stored as B = J + coef*A with small
// integers so that B - coef*A gives J exactly.
Stage zero_column_stage(int n, int m, int j, double coef, std::mt19937_64& rng) {
  std::uniform_int_distribution<int> d(-3, 3);
  Stage s(n, m);
  for (int col = 1; col <= n; ++col) {
    for (int i = 1; i <= n; ++i) {
      const double jv = col < j && i >= col ? (i == col ? 5.0 : 0.0) : col == j && i >= j ? 0.0 : d(rng);
      const double av = col <= m ? d(rng) : 0.0;
      if (col <= m) s.A[dae_col_major(n, i, col)] = av;
      s.B[dae_col_major(n, i, col)] = jv + coef * av;
    }
  }
  return s;
}

// A zero column fails with ier = 8 at its own step of the factorisation,
// except the last column of the last block, whose diagonal the back
// substitution tests; no correction is written either way, and the
// permutations list every row once.
TEST(DaeNewton, ZeroColumnFailsAtItsStepOrInTheBackSubstitution) {
  std::mt19937_64 rng = seeded_rng();
  const struct {
    const char* what;
    int n, m, j;
    int stages;        // 1: one-stage; 2: three-point
    bool first_block;  // three-point: the zero column is in the first block
  } cases[] = {
      {"one-stage, column 1", 4, 0, 1, 1, false},
      {"one-stage, inner column", 38, 38, 20, 1, false},
      {"one-stage, last column", 38, 10, 38, 1, false},
      {"first block, column 1", 4, 4, 1, 2, true},
      {"first block, last column: tested before dividing L21", 5, 5, 5, 2, true},
      {"second block, inner column", 6, 0, 2, 2, false},
      {"second block, last column", 5, 0, 5, 2, false},
  };
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.what);
    const bool in_factorisation = cs.j < cs.n || cs.first_block;
    const double c = cs.stages == 1 ? -2.0 : 0.5;  // c*d1 = -1 and c*d4 = -2: integer J
    const double coef = cs.stages == 1 ? c : cs.first_block ? c * kLobattoD1 : c * kLobattoD4;
    const Stage bad = zero_column_stage(cs.n, cs.m, cs.j, coef, rng);
    const Stage good = random_stage(cs.n, cs.m, 3.0 * std::sqrt(cs.n) * (1.0 + 8.0 * c), rng);
    Stage one = bad;
    ThreePoint tp(c, cs.first_block ? bad : good, cs.first_block ? good : bad);
    Stage& out = cs.stages == 1 ? one : cs.first_block ? tp.mid : tp.end;
    int result = 0;
    if (cs.stages == 1) {
      result = dae_factor_solve_one_stage(cs.n, cs.m, c, out.matrices(), out.vectors());
      EXPECT_EQ(out.z[1] == kUntouched, in_factorisation) << "the solve runs only for the last column";
    } else {
      result = tp.factor_solve();
      EXPECT_EQ(tp.end.z[cs.n] == kUntouched, in_factorisation) << "the last row of z follows the last step";
      EXPECT_TRUE(!cs.first_block || tp.end.B == good.B) << "the second block was not started";
    }
    EXPECT_EQ(result, DAE_IER_SINGULAR);
    for (Stage* s : {&one, &tp.mid, &tp.end}) {
      expect_permutation(s->perm, (s == &one) == (cs.stages == 1) ? cs.n : 0);
      EXPECT_EQ(s->dy, Vec(cs.n + 1, kUntouched));
    }
  }
}

}  // namespace
