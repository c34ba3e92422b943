// The DAE test catalogue: a run on fresh storage ends exactly as it does inside
// the battery's sequence, where every call inherits the arrays the previous one
// left (the claim in models/dae_catalogue.h).
#include <gtest/gtest.h>
#include <stdio.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "models/dae_catalogue.h"
#include "models/model_streams.h"
#include "test_support.h"
#include "textout/diagnostics.h"

namespace {

// Statistics compared: every counter the solver keeps.
constexpr int kCounters = 20;

// What a run leaves: its end state, code, counters and report text.
struct RunEnd {
  std::vector<double> y, yp;
  int ier;
  std::array<int, kCounters + 1> ip;
  std::string plot, protocol;
};

// A growing in-memory stream for the callbacks' report lines.
struct MemoryStream {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* file = open_memstream(&data, &size);
  ~MemoryStream() {
    std::fclose(file);
    std::free(data);
  }
  // Text written since `from`.
  std::string since(size_t from) {
    std::fflush(file);
    return std::string(data + from, size - from);
  }
};

RunEnd end_of(const models::DaeTestCase& c, const models::DaeArrays& a, int ier) {
  RunEnd e{std::vector<double>(a.y.begin(), a.y.begin() + c.n + 1),
           std::vector<double>(a.yp.begin(), a.yp.begin() + c.m + 1),
           ier,
           {},
           "",
           ""};
  for (int k = 1; k <= kCounters; ++k) e.ip[k] = a.ip[k];
  return e;
}

// Collects the end of every run of the sequence, slicing the shared streams.
struct SequenceLog {
  MemoryStream plot, protocol;
  size_t plot_from = 0, protocol_from = 0;
  std::vector<RunEnd> ends;
};

void log_run(const models::DaeTestCase& c, const models::DaeArrays& a, int ier, void* context) {
  auto& log = *static_cast<SequenceLog*>(context);
  RunEnd e = end_of(c, a, ier);
  e.plot = log.plot.since(log.plot_from);
  e.protocol = log.protocol.since(log.protocol_from);
  log.plot_from = log.plot.size;
  log.protocol_from = log.protocol.size;
  log.ends.push_back(std::move(e));
}

RunEnd run_on_fresh_storage(const models::DaeTestCase& c) {
  MemoryStream plot, protocol;
  models::streams = {protocol.file, plot.file, nullptr};
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  models::run_dae_case(c, *arrays, ier);
  RunEnd e = end_of(c, *arrays, ier);
  e.plot = plot.since(0);
  e.protocol = protocol.since(0);
  models::streams = {nullptr, nullptr, nullptr};
  return e;
}

TEST(Catalogue, FreshStorageMatchesTheBatterySequence) {
  const textout::DiagnosticsTo quiet(nullptr);
  SequenceLog log;
  models::streams = {log.protocol.file, log.plot.file, nullptr};
  auto arrays = std::make_unique<models::DaeArrays>();
  int ier = 0;
  models::run_dae_sequence(*arrays, ier, log_run, &log);
  models::streams = {nullptr, nullptr, nullptr};
  ASSERT_EQ(log.ends.size(), models::kDaeRuns);

  // Backwards, so that every run follows state left by a later test.
  for (int k = static_cast<int>(models::kDaeRuns) - 1; k >= 0; --k) {
    const models::DaeTestCase& c = models::dae_catalogue()[k];
    RunEnd fresh;
    test_support::stdout_of([&] { fresh = run_on_fresh_storage(c); });
    const RunEnd& in_sequence = log.ends[k];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fresh.ier, 0);
    EXPECT_EQ(fresh.ier, in_sequence.ier);
    EXPECT_EQ(fresh.y, in_sequence.y);
    EXPECT_EQ(fresh.yp, in_sequence.yp);
    EXPECT_EQ(fresh.ip, in_sequence.ip);
    EXPECT_EQ(fresh.plot.size(), in_sequence.plot.size());
    EXPECT_TRUE(fresh.plot == in_sequence.plot);
    EXPECT_EQ(fresh.protocol, in_sequence.protocol);
  }
}

}  // namespace
