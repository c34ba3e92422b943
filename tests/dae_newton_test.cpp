// Newton linear algebra of the DAE integrator: results against independent
// dense solves of the assembled systems (one-stage n x n, three-point 2n x 2n),
// bit-for-bit against a reference elimination in the stated rounding order,
// the pivot tie rule, singular columns, the decoupling of the three-point
// blocks without differential unknowns, and the permitted aliasing.
//
// Random cases print their seed; DAE_NEWTON_SEED=<number> replays one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dae/newton_linalg.h"
#include "textout/textout.h"

namespace {

using Vec = std::vector<double>;

constexpr double kUntouched = 12345.0;  // sentinel for outputs that must stay unwritten

std::uint64_t test_seed() {
  static const std::uint64_t seed = [] {
    const char* text = std::getenv("DAE_NEWTON_SEED");
    const std::uint64_t s = text != nullptr ? std::strtoull(text, nullptr, 10) : 20240611u;
    textout::out_printf(stdout, "dae_newton_test seed %llu (DAE_NEWTON_SEED replays)\n",
                        static_cast<unsigned long long>(s));
    return s;
  }();
  return seed;
}

// One stage's storage, 1-based, matrices column-major with row stride n.
struct Stage {
  int n = 0;
  int m = 0;
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
  double a(int i, int j) const { return A[dae_col_major(n, i, j)]; }
  double b(int i, int j) const { return B[dae_col_major(n, i, j)]; }
  NewtonStageMatrices matrices() { return {A.data(), B.data(), perm.data()}; }
  NewtonStageVectors vectors() {
    return {r.data(), g.data(), gc.data(), z.data(), dy.data(), dyp.data()};
  }
};

struct ThreePoint {
  int n, m;
  double c;
  Stage mid, end;
  Vec L21, U12;
  ThreePoint(double c_, Stage mid_, Stage end_)
      : n(mid_.n),
        m(mid_.m),
        c(c_),
        mid(std::move(mid_)),
        end(std::move(end_)),
        L21(n * n + 1, 0.0),
        U12(n * n + 1, 0.0) {}
  NewtonCoupling coupling() { return {L21.data(), U12.data()}; }
  int factor() {
    return dae_factor_three_point(n, m, c, mid.matrices(), end.matrices(), coupling());
  }
  int solve() {
    return dae_solve_three_point(n, m, c, mid.matrices(), end.matrices(), coupling(), mid.vectors(),
                                 end.vectors());
  }
};

// Random stage whose matrices are well conditioned: uniform noise plus one
// large entry per row in a random column, so that the pivots move rows.
Stage random_stage(int n, int m, double boost, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Stage s(n, m);
  for (int k = 1; k <= n * m; ++k) s.A[k] = u(rng);
  for (int k = 1; k <= n * n; ++k) s.B[k] = u(rng);
  std::vector<int> column(n);
  for (int i = 0; i < n; ++i) column[i] = i + 1;
  std::shuffle(column.begin(), column.end(), rng);
  for (int i = 1; i <= n; ++i) {
    s.B[dae_col_major(n, i, column[i - 1])] += u(rng) < 0.0 ? -boost : boost;
  }
  for (int i = 1; i <= n; ++i) s.r[i] = u(rng);
  for (int k = 1; k <= m; ++k) s.g[k] = u(rng);
  return s;
}

Vec from_one(const Vec& v) { return Vec(v.begin() + 1, v.end()); }

std::vector<int> m_values(int n) {
  std::vector<int> ms{0, n / 2, n};
  ms.erase(std::unique(ms.begin(), ms.end()), ms.end());
  return ms;
}

// --- The assembled system ----------------------------------------------------

// Explicit N x N matrix, column-major, 1-based, with a row permutation.
struct Explicit {
  int N;
  Vec x;
  std::vector<int> perm;
  explicit Explicit(int N_) : N(N_), x(static_cast<std::size_t>(N_) * N_ + 1, 0.0), perm(N_ + 1) {
    for (int i = 0; i <= N; ++i) perm[i] = i;
  }
  double& operator()(int i, int j) { return x[dae_col_major(N, i, j)]; }
  double at(int i, int j) const { return x[dae_col_major(N, i, j)]; }
};

// Block (bi, bj) of M: B - coef*A, or with B null coef*A (A in columns 1..m).
void put_block(Explicit& M, int bi, int bj, const Stage& s, const Vec* B, double coef) {
  for (int i = 1; i <= s.n; ++i) {
    for (int j = 1; j <= s.n; ++j) {
      double v = B != nullptr ? (*B)[dae_col_major(s.n, i, j)] : 0.0;
      if (j <= s.m) v = B != nullptr ? v - coef * s.a(i, j) : coef * s.a(i, j);
      M(bi * s.n + i, bj * s.n + j) = v;
    }
  }
}

Explicit assemble_one_stage(const Stage& s, double c) {
  Explicit J(s.n);
  put_block(J, 0, 0, s, &s.B, c);
  return J;
}

// [B1 - c*d1*A1, -c*d2*A1; -c*d3*A2, B2 - c*d4*A2], products as stated.
Explicit assemble_three_point(const Stage& mid, const Stage& end, double c) {
  Explicit M(2 * mid.n);
  put_block(M, 0, 0, mid, &mid.B, c * kLobattoD1);
  put_block(M, 0, 1, mid, nullptr, -c * kLobattoD2);
  put_block(M, 1, 0, end, nullptr, -c * kLobattoD3);
  put_block(M, 1, 1, end, &end.B, c * kLobattoD4);
  return M;
}

// Independent solve of M*x = rhs (0-based): Gaussian elimination with partial
// pivoting in long double.
std::vector<long double> dense_solve(const Explicit& M, std::vector<long double> rhs) {
  const int N = M.N;
  std::vector<long double> a(static_cast<std::size_t>(N) * N);
  auto e = [&](int i, int j) -> long double& { return a[static_cast<std::size_t>(i) * N + j]; };
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) e(i, j) = M.at(i + 1, j + 1);
  }
  for (int j = 0; j < N; ++j) {
    int p = j;
    for (int i = j + 1; i < N; ++i) p = std::fabs(e(i, j)) > std::fabs(e(p, j)) ? i : p;
    for (int k = 0; k < N; ++k) std::swap(e(j, k), e(p, k));
    std::swap(rhs[j], rhs[p]);
    for (int i = j + 1; i < N; ++i) {
      const long double f = e(i, j) / e(j, j);
      for (int k = j; k < N; ++k) e(i, k) -= f * e(j, k);
      rhs[i] -= f * rhs[j];
    }
  }
  for (int i = N - 1; i >= 0; --i) {
    for (int k = i + 1; k < N; ++k) rhs[i] -= e(i, k) * rhs[k];
    rhs[i] /= e(i, i);
  }
  return rhs;
}

// r - A*g of one stage, appended to rhs.
void append_rhs(const Stage& s, std::vector<long double>& rhs) {
  for (int i = 1; i <= s.n; ++i) {
    long double v = s.r[i];
    for (int k = 1; k <= s.m; ++k) v -= static_cast<long double>(s.a(i, k)) * s.g[k];
    rhs.push_back(v);
  }
}

void expect_near_reference(const Vec& v, const std::vector<long double>& ref, int offset, int n) {
  long double scale = 1.0L;
  for (long double e : ref) scale = std::max(scale, std::fabs(e));
  for (int i = 1; i <= n; ++i) {
    ASSERT_LE(std::fabs(v[i] - ref[offset + i - 1]), 1e-12L * scale) << "component " << i;
  }
}

// The linearised stage equations in the original unknowns, A*dyp + B*dy = r,
// hold to rounding relative to the sizes of their terms.
void expect_linearised_equations_hold(const Stage& orig, const Stage& out) {
  long double worst = 0.0L;
  long double scale = 0.0L;
  for (int i = 1; i <= orig.n; ++i) {
    long double res = -static_cast<long double>(orig.r[i]);
    long double size = std::fabs(orig.r[i]);
    auto add = [&](long double t) {
      res += t;
      size += std::fabs(t);
    };
    for (int j = 1; j <= orig.n; ++j) add(static_cast<long double>(orig.b(i, j)) * out.dy[j]);
    for (int k = 1; k <= orig.m; ++k) add(static_cast<long double>(orig.a(i, k)) * out.dyp[k]);
    worst = std::max(worst, std::fabs(res));
    scale = std::max(scale, size);
  }
  EXPECT_LE(worst, 1e-14L * scale);
}

void expect_permutation(const std::vector<int>& perm, int n) {
  std::vector<int> sorted(perm.begin() + 1, perm.begin() + 1 + n);
  std::sort(sorted.begin(), sorted.end());
  for (int i = 1; i <= n; ++i) ASSERT_EQ(sorted[i - 1], i) << "row " << i << " not listed once";
}

// --- Random systems of every size --------------------------------------------

TEST(DaeNewtonOneStage, MatchesDenseSolveForAllSizes) {
  std::mt19937_64 rng(test_seed());
  std::uniform_real_distribution<double> step(0.05, 1.0);
  for (int n = 1; n <= 38; ++n) {
    for (int m : m_values(n)) {
      SCOPED_TRACE("seed " + std::to_string(test_seed()) + " n " + std::to_string(n) + " m " +
                   std::to_string(m));
      const double c = (n % 2 == 0 ? -1.0 : -2.0) / step(rng);  // implicit Euler, trapezoidal
      const Stage orig = random_stage(n, m, 3.0 * std::sqrt(n) * (1.0 - c), rng);
      Stage s = orig;
      ASSERT_EQ(dae_factor_solve_one_stage(n, m, c, s.matrices(), s.vectors()), 0);

      std::vector<long double> rhs;
      append_rhs(orig, rhs);
      expect_near_reference(s.dy, dense_solve(assemble_one_stage(orig, c), rhs), 0, n);
      expect_linearised_equations_hold(orig, s);
      expect_permutation(s.perm, n);
      for (int k = 1; k <= m; ++k) {
        EXPECT_NEAR(s.dyp[k] + c * s.dy[k], orig.g[k], 1e-13 * (1.0 - c));
      }
    }
  }
}

TEST(DaeNewtonThreePoint, MatchesDenseBlockSolveForAllSizes) {
  std::mt19937_64 rng(test_seed() + 1);
  std::uniform_real_distribution<double> step(0.05, 1.0);
  for (int n = 1; n <= 38; ++n) {
    for (int m : m_values(n)) {
      SCOPED_TRACE("seed " + std::to_string(test_seed()) + " n " + std::to_string(n) + " m " +
                   std::to_string(m));
      const double c = 1.0 / step(rng);
      const double boost = 4.0 * std::sqrt(n) * (1.0 + 8.0 * c);
      ThreePoint tp(c, random_stage(n, m, boost, rng), random_stage(n, m, boost, rng));
      const Stage mid0 = tp.mid;
      const Stage end0 = tp.end;
      ASSERT_EQ(tp.factor(), 0);
      ASSERT_EQ(tp.solve(), 0);

      std::vector<long double> rhs;
      append_rhs(mid0, rhs);
      append_rhs(end0, rhs);
      const std::vector<long double> x = dense_solve(assemble_three_point(mid0, end0, c), rhs);
      expect_near_reference(tp.mid.dy, x, 0, n);
      expect_near_reference(tp.end.dy, x, n, n);
      expect_linearised_equations_hold(mid0, tp.mid);
      expect_linearised_equations_hold(end0, tp.end);
      expect_permutation(tp.mid.perm, n);
      expect_permutation(tp.end.perm, n);
      for (int i = 1; i <= m; ++i) {
        const double y1 = tp.mid.dy[i];
        const double y2 = tp.end.dy[i];
        const double tol = 1e-13 * (1.0 + 8.0 * c) * (1.0 + std::fabs(y1) + std::fabs(y2));
        EXPECT_NEAR(tp.mid.dyp[i], mid0.g[i] - c * (kLobattoD1 * y1 + kLobattoD2 * y2), tol);
        EXPECT_NEAR(tp.end.dyp[i], end0.g[i] - c * (kLobattoD3 * y1 + kLobattoD4 * y2), tol);
      }
    }
  }
}

// --- Bit for bit in the stated rounding order ------------------------------------
// The reports depend on the rounding, so the routines must equal a textbook
// elimination of the explicitly assembled matrix: every sum subtracted term by
// term with the index ascending, multipliers divided by the pivot, pivots
// searched within the block row of the diagonal, substitutions in the stated
// order (r, L terms, A*g terms, L21*z1 terms; z, U terms, U12 terms).

void reference_eliminate(Explicit& M, int block) {
  const int N = M.N;
  for (int j = 1; j <= N; ++j) {
    const int block_end = ((j - 1) / block + 1) * block;
    int p = j;
    double best = 0.0;
    for (int i = j; i <= N; ++i) {
      for (int k = 1; k < j; ++k) M(i, j) -= M(i, k) * M(k, j);
      if (i <= block_end && std::fabs(M(i, j)) >= best) {
        best = std::fabs(M(i, j));
        p = i;
      }
    }
    if (j == N) break;
    for (int k = 1; k <= N; ++k) std::swap(M(j, k), M(p, k));
    std::swap(M.perm[j], M.perm[p]);
    for (int i = j + 1; i <= N; ++i) M(i, j) /= M(j, j);
    for (int k = j + 1; k <= N; ++k) {
      for (int l = 1; l < j; ++l) M(j, k) -= M(j, l) * M(l, k);
    }
  }
}

// z of the block row after row lo.
Vec reference_forward(const Explicit& M, int lo, const Stage& s, const Vec* z1) {
  Vec z(s.n + 1, 0.0);
  for (int i = 1; i <= s.n; ++i) {
    const int p = M.perm[lo + i] - lo;
    double v = s.r[p];
    for (int k = 1; k < i; ++k) v -= M.at(lo + i, lo + k) * z[k];
    for (int k = 1; k <= s.m; ++k) v -= s.a(p, k) * s.g[k];
    for (int l = 1; z1 != nullptr && l <= s.n; ++l) v -= M.at(lo + i, l) * (*z1)[l];
    z[i] = v;
  }
  return z;
}

// dy of the block row after row lo.
Vec reference_back(const Explicit& M, int lo, const Stage& s, const Vec& z, const Vec* dy2) {
  Vec dy(s.n + 1, kUntouched);
  for (int i = s.n; i >= 1; --i) {
    double v = z[i];
    for (int k = i + 1; k <= s.n; ++k) v -= M.at(lo + i, lo + k) * dy[k];
    for (int k = 1; dy2 != nullptr && k <= s.m; ++k) v -= M.at(lo + i, s.n + k) * (*dy2)[k];
    dy[i] = v / M.at(lo + i, lo + i);
  }
  return dy;
}

// Columns 1..cols of the n x n block of M after (lo_row, lo_col).
Vec block_of(const Explicit& M, int lo_row, int lo_col, int n, int cols) {
  Vec b(static_cast<std::size_t>(n) * n + 1, 0.0);
  for (int j = 1; j <= cols; ++j) {
    for (int i = 1; i <= n; ++i) b[dae_col_major(n, i, j)] = M.at(lo_row + i, lo_col + j);
  }
  return b;
}

TEST(DaeNewtonOneStage, BitwiseEqualToReferenceInTheStatedOrder) {
  std::mt19937_64 rng(test_seed() + 2);
  for (int n : {1, 2, 7, 23}) {
    for (int m : m_values(n)) {
      SCOPED_TRACE("n " + std::to_string(n) + " m " + std::to_string(m));
      const double c = -2.0 / 0.3;
      const Stage orig = random_stage(n, m, 1.0, rng);
      Stage s = orig;
      ASSERT_EQ(dae_factor_solve_one_stage(n, m, c, s.matrices(), s.vectors()), 0);

      Explicit M = assemble_one_stage(orig, c);
      reference_eliminate(M, n);
      const Vec dy = reference_back(M, 0, orig, reference_forward(M, 0, orig, nullptr), nullptr);
      EXPECT_EQ(s.perm, M.perm);
      EXPECT_EQ(s.B, M.x);
      EXPECT_EQ(s.dy, dy);
      for (int k = 1; k <= m; ++k) EXPECT_EQ(s.dyp[k], orig.g[k] - c * dy[k]);
    }
  }
}

TEST(DaeNewtonThreePoint, BitwiseEqualToReferenceInTheStatedOrder) {
  std::mt19937_64 rng(test_seed() + 3);
  for (int n : {1, 2, 7, 23}) {
    for (int m : m_values(n)) {
      SCOPED_TRACE("n " + std::to_string(n) + " m " + std::to_string(m));
      const double c = 1.0 / 0.3;
      ThreePoint tp(c, random_stage(n, m, 1.0, rng), random_stage(n, m, 1.0, rng));
      const Stage mid0 = tp.mid;
      const Stage end0 = tp.end;
      ASSERT_EQ(tp.factor(), 0);
      ASSERT_EQ(tp.solve(), 0);

      Explicit M = assemble_three_point(mid0, end0, c);
      reference_eliminate(M, n);
      const Vec z1 = reference_forward(M, 0, mid0, nullptr);
      const Vec dy2 = reference_back(M, n, end0, reference_forward(M, n, end0, &z1), nullptr);
      const Vec dy1 = reference_back(M, 0, mid0, z1, &dy2);
      for (int i = 1; i <= n; ++i) {
        EXPECT_EQ(tp.mid.perm[i], M.perm[i]);
        EXPECT_EQ(tp.end.perm[i], M.perm[n + i] - n);
      }
      EXPECT_EQ(tp.mid.B, block_of(M, 0, 0, n, n));
      EXPECT_EQ(tp.end.B, block_of(M, n, n, n, n));
      EXPECT_EQ(tp.L21, block_of(M, n, 0, n, n));
      EXPECT_EQ(tp.U12, block_of(M, 0, n, n, m));
      EXPECT_EQ(tp.mid.dy, dy1);
      EXPECT_EQ(tp.end.dy, dy2);
      for (int k = 1; k <= m; ++k) {
        EXPECT_EQ(tp.end.dyp[k], end0.g[k] - (kLobattoD4 * dy2[k] + kLobattoD3 * dy1[k]) * c);
        EXPECT_EQ(tp.mid.dyp[k], mid0.g[k] - (kLobattoD2 * dy2[k] + kLobattoD1 * dy1[k]) * c);
      }
    }
  }
}

// --- Pivot ties and singular columns ----------------------------------------------

// Column-major n x n region from rows.
Vec from_rows(int n, const std::vector<std::vector<double>>& rows) {
  Vec x(static_cast<std::size_t>(n) * n + 1, 0.0);
  for (int i = 1; i <= static_cast<int>(rows.size()); ++i) {
    for (int j = 1; j <= static_cast<int>(rows[i - 1].size()); ++j) {
      x[dae_col_major(n, i, j)] = rows[i - 1][j - 1];
    }
  }
  return x;
}

TEST(DaeNewtonOneStage, LaterRowWinsATie) {
  struct TieCase {
    const char* what;
    int m;
    double c;
    std::vector<std::vector<double>> B, A;  // rows; A has m columns
    std::vector<int> perm;                  // expected
  };
  const TieCase cases[] = {
      {"rows 2 and 3 equal in column 1",
       0,
       -1.0,
       {{1, 0, 0}, {-4, 1, 0}, {4, 0, 1}},
       {},
       {0, 3, 2, 1}},
      {"all rows equal", 0, -1.0, {{4, 0, 0}, {-4, 1, 0}, {4, 0, 1}}, {}, {0, 3, 2, 1}},
      {"rows 1 and 2 equal", 0, -1.0, {{-3, 0, 0}, {3, 1, 0}, {1, 0, 1}}, {}, {0, 2, 1, 3}},
      {"tie made by the A term",
       1,
       2.0,
       {{3, 0, 0}, {1, 1, 0}, {0, 0, 1}},
       {{0}, {-1}, {-1.5}},
       {0, 3, 2, 1}},
      {"tie in column 2 after elimination",
       0,
       -1.0,
       {{2, 1, 0}, {0, -1, 0}, {0, 1, 1}},
       {},
       {0, 1, 3, 2}},
  };
  for (const TieCase& tc : cases) {
    SCOPED_TRACE(tc.what);
    Stage s(3, tc.m);
    s.B = from_rows(3, tc.B);
    const Vec a = from_rows(3, tc.A);
    std::copy(a.begin(), a.begin() + 3 * tc.m + 1, s.A.begin());
    s.r = {0.0, 1.0, 2.0, 3.0};
    const Stage orig = s;
    ASSERT_EQ(dae_factor_solve_one_stage(3, tc.m, tc.c, s.matrices(), s.vectors()), 0);
    EXPECT_EQ(s.perm, tc.perm);
    expect_linearised_equations_hold(orig, s);
  }
}

// Integer J whose columns 1..j-1 are upper triangular with non-zero diagonal
// and whose column j is zero from row j down, stored as B = J + coef*A with
// small integers so that B - coef*A gives J exactly.
Stage zero_column_stage(int n, int m, int j, double coef, std::mt19937_64& rng) {
  std::uniform_int_distribution<int> d(-3, 3);
  Stage s(n, m);
  for (int col = 1; col <= n; ++col) {
    for (int i = 1; i <= n; ++i) {
      double jv = d(rng);
      if (col < j && i >= col) jv = i == col ? 5.0 : 0.0;
      if (col == j && i >= j) jv = 0.0;
      const double av = col <= m ? static_cast<double>(d(rng)) : 0.0;
      if (col <= m) s.A[dae_col_major(n, i, col)] = av;
      s.B[dae_col_major(n, i, col)] = jv + coef * av;
    }
  }
  return s;
}

// Columns after j, below row j, were never eliminated: they are original rows.
void expect_stopped_at_column(const Stage& orig, const Stage& s, int j) {
  for (int k = j + 1; k <= s.n; ++k) {
    for (int i = j + 1; i <= s.n; ++i) ASSERT_EQ(s.b(i, k), orig.b(s.perm[i], k));
  }
}

TEST(DaeNewtonOneStage, ZeroColumnFailsAtItsStepOrInBackSubstitution) {
  std::mt19937_64 rng(test_seed() + 4);
  struct Case {
    int n, m, j;
  };
  const Case cases[] = {{1, 1, 1}, {4, 0, 1},    {5, 5, 3},   {6, 2, 5},
                        {5, 3, 5}, {38, 38, 20}, {38, 10, 38}};
  for (const Case& cs : cases) {
    SCOPED_TRACE("n " + std::to_string(cs.n) + " m " + std::to_string(cs.m) + " j " +
                 std::to_string(cs.j));
    const double c = -2.0;
    Stage s = zero_column_stage(cs.n, cs.m, cs.j, c, rng);
    const Stage orig = s;
    EXPECT_EQ(dae_factor_solve_one_stage(cs.n, cs.m, c, s.matrices(), s.vectors()),
              kNewtonSingular);
    expect_permutation(s.perm, cs.n);
    EXPECT_EQ(s.dy, Vec(cs.n + 1, kUntouched));
    const bool in_factorisation = cs.j < cs.n;
    EXPECT_EQ(s.z[1] == kUntouched, in_factorisation) << "the solve runs only for the last column";
    if (in_factorisation) expect_stopped_at_column(orig, s, cs.j);
  }
}

TEST(DaeNewtonThreePoint, ZeroColumnFailsInItsBlock) {
  std::mt19937_64 rng(test_seed() + 5);
  struct Case {
    const char* what;
    int n, m;
    bool first_block;
    int j;
    bool in_factorisation;
  };
  const Case cases[] = {
      {"first block, column 1", 4, 4, true, 1, true},
      {"first block, inner column", 6, 6, true, 4, true},
      {"first block, last column: tested before dividing L21", 5, 5, true, 5, true},
      {"second block, inner column", 6, 0, false, 2, true},
      {"second block, last column: back substitution", 5, 0, false, 5, false},
      {"n = 1, second block", 1, 0, false, 1, false},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.what);
    const double c = 0.5;  // c*d1 = -1 and c*d4 = -2: integer J from integer B and A
    Stage bad =
        zero_column_stage(cs.n, cs.m, cs.j, cs.first_block ? c * kLobattoD1 : c * kLobattoD4, rng);
    Stage good = random_stage(cs.n, cs.m, 3.0 * std::sqrt(cs.n) * (1.0 + 8.0 * c), rng);
    ThreePoint tp(c, cs.first_block ? bad : good, cs.first_block ? good : bad);
    const Stage mid0 = tp.mid;
    const Stage end0 = tp.end;

    const int factored = tp.factor();
    EXPECT_EQ(factored != 0 ? factored : tp.solve(), kNewtonSingular);
    EXPECT_EQ(factored != 0, cs.in_factorisation);
    expect_permutation(tp.mid.perm, cs.n);
    expect_permutation(tp.end.perm, cs.n);
    if (cs.first_block) {
      EXPECT_EQ(tp.end.B, end0.B) << "the second block was not started";
    }
    if (cs.j < cs.n)
      expect_stopped_at_column(cs.first_block ? mid0 : end0, cs.first_block ? tp.mid : tp.end,
                               cs.j);
    EXPECT_EQ(tp.mid.dy, Vec(cs.n + 1, kUntouched));
    EXPECT_EQ(tp.end.dy, Vec(cs.n + 1, kUntouched));
  }
}

// --- Structure -------------------------------------------------------------------

// Without differential unknowns the stages are independent: each is the
// one-stage solve of its own B, bit for bit, and L21 is zero.
TEST(DaeNewtonThreePoint, BlocksDecoupleWithoutDifferentialUnknowns) {
  std::mt19937_64 rng(test_seed() + 6);
  for (int n : {1, 2, 9, 38}) {
    ThreePoint tp(7.5, random_stage(n, 0, 2.0 * std::sqrt(n), rng),
                  random_stage(n, 0, 2.0 * std::sqrt(n), rng));
    Stage one_mid = tp.mid;
    Stage one_end = tp.end;
    ASSERT_EQ(tp.factor(), 0);
    ASSERT_EQ(tp.solve(), 0);
    ASSERT_EQ(dae_factor_solve_one_stage(n, 0, -1.0, one_mid.matrices(), one_mid.vectors()), 0);
    ASSERT_EQ(dae_factor_solve_one_stage(n, 0, -1.0, one_end.matrices(), one_end.vectors()), 0);
    EXPECT_EQ(tp.mid.dy, one_mid.dy);
    EXPECT_EQ(tp.end.dy, one_end.dy);
    EXPECT_EQ(tp.mid.perm, one_mid.perm);
    EXPECT_EQ(tp.end.perm, one_end.perm);
    for (int at = 1; at <= n * n; ++at) EXPECT_EQ(tp.L21[at], 0.0);
  }
}

// The documented aliasing (z with dy, dyp with g) gives the same bits.
TEST(DaeNewtonAliasing, CorrectionsMayOverwriteTheirInputs) {
  std::mt19937_64 rng(test_seed() + 7);
  const int n = 17;
  const int m = 9;
  auto aliased = [](Stage& s) {
    return NewtonStageVectors{s.r.data(),  s.g.data(),  s.gc.data(),
                              s.dy.data(), s.dy.data(), s.g.data()};
  };
  ThreePoint separate(4.0, random_stage(n, m, 60.0, rng), random_stage(n, m, 60.0, rng));
  ThreePoint shared = separate;
  ASSERT_EQ(separate.factor(), 0);
  ASSERT_EQ(separate.solve(), 0);
  ASSERT_EQ(shared.factor(), 0);
  ASSERT_EQ(dae_solve_three_point(n, m, 4.0, shared.mid.matrices(), shared.end.matrices(),
                                  shared.coupling(), aliased(shared.mid), aliased(shared.end)),
            0);
  EXPECT_EQ(shared.mid.dy, separate.mid.dy);
  EXPECT_EQ(shared.end.dy, separate.end.dy);
  EXPECT_EQ(from_one(shared.mid.g), from_one(separate.mid.dyp));
  EXPECT_EQ(from_one(shared.end.g), from_one(separate.end.dyp));

  Stage one = random_stage(n, m, 60.0, rng);
  Stage one_shared = one;
  ASSERT_EQ(dae_factor_solve_one_stage(n, m, -4.0, one.matrices(), one.vectors()), 0);
  ASSERT_EQ(dae_factor_solve_one_stage(n, m, -4.0, one_shared.matrices(), aliased(one_shared)), 0);
  EXPECT_EQ(one_shared.dy, one.dy);
  EXPECT_EQ(from_one(one_shared.g), from_one(one.dyp));
}

TEST(DaeNewtonCopy, ModelLayoutBecomesColumnMajor) {
  const int n = 3;
  Vec src(n * n + n + 1, -1.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) src[i * n + j] = 10.0 * i + j;
  }
  Vec dst(n * n + 1, 0.0);
  dae_copy_column_major(src.data(), n, 2, dst.data());
  EXPECT_EQ(dst, (Vec{0.0, 11, 21, 31, 12, 22, 32, 0, 0, 0}));
}

}  // namespace
