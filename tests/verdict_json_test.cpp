// The JSON of a small verdict (the linear tasks, test00 ii=1 nm=3 and the
// chaotic test07 against hand-made references, IDA on test00 ii=1) has exactly
// the documented keys, and test07 is judged at its horizon by a landing run
// that leaves the steps before it alone. Nothing is printed while it runs.
#include "verdict/verdict_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "test_support.h"

namespace {

using nlohmann::json;

std::set<std::string> keys_of(const json& j) {
  std::set<std::string> keys;
  for (const auto& item : j.items()) keys.insert(item.key());
  return keys;
}

// test00 ii=1's closed form at t = 10 and test07's reference at its horizon.
std::vector<verdict::DaeReference> hand_references() {
  const double e = 6.809989464371757e-05;
  return {{0, 1, 10.0, 10.0, false, "IDA", true, {{e, 3.5e-06, 14}, {e, 1.5e-06, 14}, {e, 2.6e-06, 14}}},
          {7,
           0,
           17.0,
           261.2,
           true,
           "IDA",
           false,
           {{-0.64948787, 2.3e-06, 8}, {0.25894256, 4e-07, 8}, {0.27993705, 2.3e-06, 8}}}};
}

verdict::Verdict small_verdict() {
  verdict::Verdict v{"hand-made", hand_references(), verdict::judge_linear_tasks(), {}, {}, 1};
  v.dae.push_back(verdict::judge_dae_run(*models::find_dae_case("test00 ii=1 nm=3"), &v.references[0], 1));
  v.dae.push_back(verdict::judge_dae_run(*models::find_dae_case("test07"), &v.references[1], 1));
  v.peer.push_back(verdict::judge_peer(*models::find_dae_case("test00 ii=1 nm=1"), &v.references[0], 1));
  return v;
}

TEST(VerdictJson, SmallRunHasTheDocumentedKeys) {
  verdict::Verdict v;
  const std::string console = test_support::stdout_of([&] { v = small_verdict(); });
  EXPECT_EQ(console, "");

  const test_support::ScratchDir scratch;
  const std::string path = (scratch.path() / "verdict.json").string();
  ASSERT_TRUE(verdict::write_verdict_json(v, path));
  const json j = json::parse(test_support::read_file(path));

  EXPECT_EQ(keys_of(j), (std::set<std::string>{"schema", "version", "references_file", "timing_repeats", "linear",
                                               "dae", "notes"}));
  EXPECT_EQ(keys_of(j["linear"]), (std::set<std::string>{"correct_ulps", "classes", "class_counts", "tasks"}));
  ASSERT_EQ(j["linear"]["tasks"].size(), 24U);
  int counted = 0;
  for (const auto& item : j["linear"]["class_counts"].items()) counted += item.value().get<int>();
  EXPECT_EQ(counted, 24);

  const std::set<std::string> judged = {
      "t",           "y",    "scd", "scd_cap", "scd_capped", "accepted_steps", "newton_solves", "model_calls",
      "cpu_seconds", "test", "ii",  "n",       "tend"};
  std::set<std::string> run_keys = judged;
  run_keys.insert({"run", "nm", "eps", "ier", "horizon"});
  std::set<std::string> peer_keys = judged;
  peer_keys.insert({"name", "rtol", "flag", "reached_tend"});
  ASSERT_EQ(j["dae"]["runs"].size(), 2U);
  for (const json& run : j["dae"]["runs"]) EXPECT_EQ(keys_of(run), run_keys);
  ASSERT_EQ(j["dae"]["peer"].size(), 1U);
  EXPECT_EQ(keys_of(j["dae"]["peer"][0]), peer_keys);
  // Every Newton solve evaluates the model at least once.
  for (const json* row : {&j["dae"]["runs"][0], &j["dae"]["runs"][1], &j["dae"]["peer"][0]}) {
    EXPECT_GT((*row)["accepted_steps"].get<long>(), 0);
    EXPECT_GT((*row)["newton_solves"].get<long>(), 0);
    EXPECT_GE((*row)["model_calls"].get<long>(), (*row)["newton_solves"].get<long>());
  }
  EXPECT_GT(j["dae"]["peer"][0]["scd"].get<double>(), 1.0);

  const json& chaotic = j["dae"]["runs"][1];
  EXPECT_EQ(chaotic["t"].get<double>(), 17.0);
  EXPECT_EQ(keys_of(chaotic["horizon"]), (std::set<std::string>{"t", "points_before", "identical_before"}));
  EXPECT_TRUE(chaotic["horizon"]["identical_before"].get<bool>());
  EXPECT_GT(chaotic["horizon"]["points_before"].get<long>(), 100);
  EXPECT_GT(chaotic["scd"].get<double>(), 2.0);
}

}  // namespace
