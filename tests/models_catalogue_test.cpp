// The DAE test catalogue: a run on fresh storage ends exactly as it does inside
// the battery's sequence, where every call inherits the arrays the previous one
// left (the claim in models/dae_catalogue.h). What the sequence writes is
// pinned by the golden reports.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "textout/diagnostics.h"

namespace {

constexpr int kCounters = 20;  // every counter the solver keeps

// What a run leaves: its end state, code and counters.
struct RunEnd {
  std::vector<double> y, yp;
  int ier;
  std::array<int, kCounters + 1> ip;
  bool operator==(const RunEnd&) const = default;
};

RunEnd end_of(const models::DaeTestCase& c, const models::DaeArrays& a, int ier) {
  RunEnd e{{a.y.begin(), a.y.begin() + c.n + 1}, {a.yp.begin(), a.yp.begin() + c.m + 1}, ier, {}};
  for (int k = 1; k <= kCounters; ++k) e.ip[k] = a.ip[k];
  return e;
}

void log_run(const models::DaeTestCase& c, const models::DaeArrays& a, int ier, void* context) {
  static_cast<std::vector<RunEnd>*>(context)->push_back(end_of(c, a, ier));
}

TEST(Catalogue, FreshStorageMatchesTheBatterySequence) {
  const textout::DiagnosticsTo quiet(nullptr);
  models::streams = {nullptr, nullptr, nullptr};
  std::vector<RunEnd> in_sequence;
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  models::run_dae_sequence(*arrays, ier, log_run, &in_sequence);
  ASSERT_EQ(in_sequence.size(), models::kDaeRuns);

  // Backwards, so that every run follows state left by a later test.
  for (int k = static_cast<int>(models::kDaeRuns) - 1; k >= 0; --k) {
    const models::DaeTestCase& c = models::dae_catalogue()[k];
    SCOPED_TRACE(c.name);
    auto fresh = std::make_unique<models::DaeArrays>();
    models::run_dae_case(c, *fresh, ier);
    EXPECT_EQ(ier, 0);
    EXPECT_TRUE(end_of(c, *fresh, ier) == in_sequence[k]);
  }
}

}  // namespace
