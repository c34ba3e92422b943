// Significant correct digits on hand cases (floors, caps, an exact match, the
// worst component deciding, errors beyond the value), and what a reference
// file yields: a closed form wins over the IDA value with its own digits.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "verdict/dae_reference.h"

namespace {

using verdict::ReferenceComponent;

TEST(VerdictScd, HandCases) {
  struct Case {
    const char* what;
    std::vector<double> y;
    std::vector<ReferenceComponent> ref;  // value, floor, digits
    std::optional<double> scd;            // nullopt: no scd
    bool capped;
    int cap;
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {"exact match", {2, -3}, {{2, 1e-6, 9}, {-3, 1e-6, 12}}, 9, true, 9},
      {"relative to the value", {2 * (1 + 1e-6)}, {{2, 1e-6, 12}}, 6, false, 12},
      {"below the floor", {1e-9 + 1e-7}, {{1e-9, 1e-3, 12}}, 4, false, 12},
      {"worst component", {1 + 1e-8, 1 + 1e-3}, {{1, 1e-6, 12}, {1, 1e-6, 12}}, 3, false, 12},
      {"capped", {1 + 1e-7, 1}, {{1, 1e-6, 5}, {1, 1e-6, 8}}, 5, true, 5},
      {"error beyond the value", {10}, {{1, 1e-6, 8}}, -std::log10(9.0), false, 8},
      {"not a number", {nan}, {{1, 1e-6, 8}}, std::nullopt, false, 0},
      {"sizes differ", {1, 1}, {{1, 1e-6, 8}}, std::nullopt, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<verdict::Scd> s = verdict::significant_digits(c.y, c.ref);
    ASSERT_EQ(s.has_value(), c.scd.has_value());
    if (!s) continue;
    EXPECT_NEAR(s->digits, *c.scd, 1e-6);
    EXPECT_EQ(s->capped, c.capped);
    EXPECT_EQ(s->cap, c.cap);
  }
}

TEST(VerdictScd, ReferenceFile) {
  const std::string text = R"({"references": [
    {"test": 0, "ii": 2, "t": 10.0, "tend": 10.0, "chaotic": false, "source": "IDA", "components": [
      {"i": 1, "value": 6.8099e-05, "digits": 5, "floor": 3.5e-06, "exact": 6.80998946437323e-05}]},
    {"test": 7, "ii": 0, "t": 17.0, "tend": 261.2, "chaotic": true, "source": "IDA", "components": [
      {"i": 1, "value": -0.64948787, "digits": 8, "floor": 2.3e-06}]}]})";
  const auto all = verdict::parse_references(text, nullptr);
  ASSERT_TRUE(all.has_value());
  const verdict::DaeReference* closed = verdict::find_reference(*all, 0, 2);
  ASSERT_NE(closed, nullptr);
  EXPECT_EQ(closed->components[0].value, 6.80998946437323e-05);
  EXPECT_EQ(closed->components[0].digits, verdict::kClosedFormDigits);
  EXPECT_TRUE(closed->closed_form);
  const verdict::DaeReference* chaotic = verdict::find_reference(*all, 7, 0);
  ASSERT_NE(chaotic, nullptr);
  EXPECT_TRUE(chaotic->chaotic);
  EXPECT_EQ(chaotic->t, 17.0);
  EXPECT_EQ(chaotic->components[0].digits, 8);
  EXPECT_EQ(verdict::find_reference(*all, 0, 1), nullptr);

  std::string why;
  EXPECT_FALSE(verdict::parse_references(R"({"references": [{"test": 1}]})", &why).has_value());
  EXPECT_FALSE(why.empty());
}

}  // namespace
