// Pure helpers of the DAE step control: re-sampling of the history at a
// halving, the divided-difference error estimates, the start-up measure, the
// rounding level and the layout of the workspace.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "dae/dae_state.h"

namespace {

using dae::ErrorEstimates;

// A history of m components at times T5 < T4 < ... < T1 (intervals H4..H1),
// each component a polynomial in t.
struct History {
  static constexpr int kM = 3;
  std::array<std::array<double, kM + 1>, 6> values{};
  std::array<double*, 6> Y{};
  std::array<double, 5> H{};
  History() {
    for (int k = 1; k <= 5; ++k) Y[k] = values[k].data();
  }
};

using Poly = std::array<double, 6>;  // coefficients of t^0 .. t^5

double eval(const Poly& p, double t) {
  double v = 0;
  for (int k = 5; k >= 0; --k) v = v * t + p[k];
  return v;
}

// Times of Y1..Y5 with T1 = t1 and the given intervals.
std::array<double, 6> times(double t1, const std::array<double, 5>& H) {
  std::array<double, 6> T{};
  T[1] = t1;
  for (int k = 2; k <= 5; ++k) T[k] = T[k - 1] - H[k - 1];
  return T;
}

TEST(DaeHistory, ResamplingReproducesPolynomialsOfDegreeFour) {
  const std::vector<std::array<double, 5>> intervals = {
      {0, 1, 1, 1, 1},           // uniform
      {0, 0.5, 1, 2, 4},         // growing towards the past
      {0, 0.3, 0.7, 0.11, 2.5},  // irregular
      {0, 1e-6, 3e-6, 2e-6, 5e-7},
  };
  const std::vector<Poly> polys = {
      {3, 0, 0, 0, 0, 0},
      {1, -2, 0.5, 0, 0, 0},
      {0.25, 1, -3, 2, 0.75, 0},
      {-1, 4, 0, 0, -2, 0},
  };
  for (const auto& H : intervals) {
    for (std::size_t p0 = 0; p0 + History::kM <= polys.size(); ++p0) {
      History h;
      h.H = H;
      const double scale = 1 / H[1];  // keep the polynomial values of order 1
      const auto T = times(2 * H[1], H);
      for (int i = 1; i <= History::kM; ++i) {
        for (int k = 1; k <= 5; ++k) h.Y[k][i] = eval(polys[p0 + i - 1], T[k] * scale);
      }
      dae::resample_history(History::kM, h.Y, h.H);
      // New history: Y3, P(mid of H2), Y2, P(mid of H1), Y1.
      const std::array<double, 6> newT = {0, T[1], T[1] - H[1] / 2, T[2], T[2] - H[2] / 2, T[3]};
      for (int i = 1; i <= History::kM; ++i) {
        for (int k = 1; k <= 5; ++k) {
          const double want = eval(polys[p0 + i - 1], newT[k] * scale);
          EXPECT_NEAR(h.Y[k][i], want, 1e-12 * (1 + std::fabs(want)))
              << "H1=" << H[1] << " component " << i << " Y" << k;
        }
      }
      EXPECT_EQ(h.H[1], H[1] / 2);
      EXPECT_EQ(h.H[2], H[1] / 2);
      EXPECT_EQ(h.H[3], H[2] / 2);
      EXPECT_EQ(h.H[4], H[2] / 2);
    }
  }
}

TEST(DaeHistory, ResamplingKeepsPastValuesAndAConstantHistoryExactly) {
  History h;
  h.H = {0, 0.1, 0.2, 0.3, 0.4};
  for (int i = 1; i <= History::kM; ++i) {
    for (int k = 1; k <= 5; ++k) h.Y[k][i] = i == 1 ? 0.7 : 10.0 * k + i;
  }
  const History before = h;  // its values (its pointers still point into h)
  dae::resample_history(History::kM, h.Y, h.H);
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(h.Y[k][1], 0.7);  // constant: bit for bit
  for (int i = 2; i <= History::kM; ++i) {
    EXPECT_EQ(h.Y[1][i], before.values[1][i]);
    EXPECT_EQ(h.Y[3][i], before.values[2][i]);
    EXPECT_EQ(h.Y[5][i], before.values[3][i]);
  }
}

// Error estimates of a history sampled from t^d at uniform steps h, with the
// new point at t = 0 and no scaling (ymax = M = 1).
ErrorEstimates estimate_power(int d, double h, double ymax = 1, double M = 1) {
  History hist;
  hist.H = {0, h, h, h, h};
  std::array<double, 2> Y0{0, d == 0 ? 1.0 : 0.0};
  for (int k = 1; k <= 5; ++k) hist.Y[k][1] = std::pow(-k * h, d);
  const std::array<double, 2> ymaxv{0, ymax};
  const std::array<double, 2> Mv{0, M};
  return dae::estimate_history_errors(1, Y0.data(), hist.Y, hist.H, h, ymaxv.data(), Mv.data());
}

TEST(DaeHistory, EachEstimateVanishesOnPolynomialsItsMethodIntegrates) {
  // ee1 (second difference) vanishes up to degree 1, ee2 (third) up to 2,
  // ee3 (fifth) up to 4.
  const double h = 0.5;
  for (int d = 0; d <= 4; ++d) {
    const ErrorEstimates e = estimate_power(d, h);
    if (d <= 1) {
      EXPECT_EQ(e.ee1, 0.0) << d;
    }
    if (d <= 2) {
      EXPECT_EQ(e.ee2, 0.0) << d;
    }
    EXPECT_EQ(e.ee3, 0.0) << d;
  }
  // t^2: F4 = h^2, so ee1 = 2 h^2; t^3: G3 = h^3, so ee2 = 6 h^3; t^5: L1 = h^5, ee3 = 64 h^5.
  EXPECT_EQ(estimate_power(2, h).ee1, 2 * h * h);
  EXPECT_EQ(estimate_power(3, h).ee2, 6 * h * h * h);
  EXPECT_NEAR(estimate_power(5, h).ee3, 64 * std::pow(h, 5), 1e-15);
}

TEST(DaeHistory, EstimatesAreRelativeToTheLargerMagnitude) {
  const double h = 0.5;
  const double plain = estimate_power(2, h).ee1;
  EXPECT_EQ(estimate_power(2, h, 4, 2).ee1, plain / 4);
  EXPECT_EQ(estimate_power(2, h, 2, 8).ee1, plain / 8);
  // No scaling when both magnitudes are negligible.
  EXPECT_EQ(estimate_power(2, h, 1e-201, 0).ee1, plain);
}

TEST(DaeHistory, StartUpMeasure) {
  struct Case {
    double yp;
    double before;
    double ee;
  };
  const std::vector<Case> cases = {
      {1, 0, 1},          // first attempt against a zero derivative
      {1, 1.0005, 0.0005},
      {1, 1.5, 0.5},
      {1, 2, 0},          // y' halves with h: a power of two, skipped
      {1, 1.95, 0},       // within 0.1 of 2
      {1, 1.85, 0.85},    // outside the band
      {-1, -1024, 0},     // 2^10 is the last power tested
      {1, 2048, 2047},    // 2^11 is not
      {1e-201, 5, 0},     // a negligible derivative is skipped
  };
  for (const Case& c : cases) {
    const std::array<double, 2> yp{0, c.yp};
    const std::array<double, 2> before{0, c.before};
    EXPECT_NEAR(dae::start_up_measure(1, yp.data(), before.data()), c.ee, 1e-12)
        << c.yp << " after " << c.before;
  }
  // The largest over the components counts.
  const std::array<double, 4> yp{0, 1, 1, 1};
  const std::array<double, 4> before{0, 1.25, 4, 0.5};
  EXPECT_EQ(dae::start_up_measure(3, yp.data(), before.data()), 0.5);
}

TEST(DaeHistory, RoundingLevel) {
  const double conm14 = dae::rounding_level();
  EXPECT_GT(conm14, 4.6185e-15);
  EXPECT_LT(conm14, 4.6186e-15);
}

TEST(DaeHistory, WorkspaceRegionsAreDisjointAndWithinTheNeed) {
  std::array<double, DAE_WORK_SIZE + 1> work{};
  for (int n = 1; n <= 48; ++n) {
    for (int m = 0; m <= n; ++m) {
      const long long need = dae_work_need(n, m);
      if (need > DAE_WORK_SIZE) continue;
      const dae::WorkViews v = dae::lay_out_work(work.data(), n, m);
      ASSERT_LE(v.used, need) << n << " " << m;
      // Regions as [first, last] index pairs in work.
      std::vector<std::pair<long long, long long>> regions;
      auto add = [&](const double* base, long long len) {
        if (len > 0) regions.emplace_back(base - work.data() + 1, base - work.data() + len);
      };
      const long long nn = static_cast<long long>(n) * n;
      for (const dae::StageRegions& st : v.stage) {
        add(st.A, static_cast<long long>(n) * m);
        add(st.B, nn);
        add(st.r, n);
        add(st.dy, n);
        add(st.dy_prev, n);
        add(st.g, m);
        add(st.gc, m);
        add(st.dyp, m);
        add(st.dyp_prev, m);
      }
      add(v.L21, nn);
      add(v.U12, nn);
      for (const double* p : {v.y_old, v.ymax, v.f_save, v.y_start, v.saved_y}) add(p, n);
      for (const double* p : {v.yp_old, v.D1, v.D2, v.M, v.S, v.SE, v.PE, v.yp_start, v.saved_yp}) {
        add(p, m);
      }
      for (int k = 1; k <= 5; ++k) add(v.Y[k], m);
      std::sort(regions.begin(), regions.end());
      ASSERT_FALSE(regions.empty());
      EXPECT_GE(regions.front().first, 4) << "work[1..3] hold the estimates";
      EXPECT_LE(regions.back().second, v.used);
      for (std::size_t k = 1; k < regions.size(); ++k) {
        ASSERT_GT(regions[k].first, regions[k - 1].second) << n << " " << m;
      }
    }
  }
}

}  // namespace
