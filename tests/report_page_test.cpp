// The report page: the verdict's tables from whatever records its JSON
// holds, and a note without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "report/page.h"
#include "test_support.h"

namespace {

using nlohmann::ordered_json;

// The text between the first occurrence of from and the next of to.
std::string between(const std::string& s, const std::string& from, const std::string& to) {
  const auto a = s.find(from);
  if (a == std::string::npos) return "";
  const auto b = s.find(to, a + from.size());
  return s.substr(a + from.size(), b - a - from.size());
}

TEST(Page, VerdictTablesFollowTheRecords) {
  // Two arrays of records, one nested under an object; records with fields
  // the others lack, a nested record (IDA alongside), names to escape.
  const auto verdict = ordered_json::parse(R"({
    "about": "a <b> & c",
    "linear": [{"task": 1, "ier": 0, "max_relative_error": 1.5e-17, "class": "correct"},
               {"task": 2, "ier": 0, "max_relative_error": 0.25, "class": "accepted_but_wrong", "note": "x"}],
    "dae": {"runs": [{"run": "test03", "scd": 7.123, "cpu_seconds": 0.0012345, "steps": 4822,
                      "ida": {"scd": 8.5, "steps": 10002}}]}})");
  const std::string html = report::verdict_html(verdict);
  EXPECT_NE(html.find("a &lt;b&gt; &amp; c"), std::string::npos);
  const std::string linear = between(html, "<h3>linear</h3>", "</table>");
  EXPECT_NE(linear.find("<th>task</th><th>ier</th><th>max_relative_error</th><th>class</th><th>note</th>"),
            std::string::npos);
  EXPECT_NE(linear.find("<td>1.50e-017</td>"), std::string::npos);  // three exponent digits
  EXPECT_NE(linear.find("<td class=\"wrong\">accepted_but_wrong</td>"), std::string::npos);
  EXPECT_NE(linear.find("<td>correct</td><td></td></tr>"), std::string::npos);  // no note: an empty cell
  const std::string dae = between(html, "<h3>dae / runs</h3>", "</table>");
  EXPECT_NE(dae.find("<th>ida.scd</th><th>ida.steps</th>"), std::string::npos);
  EXPECT_NE(dae.find("<td>test03</td><td>7.12</td><td>0.00123</td><td>4822</td><td>8.50</td><td>10002</td>"),
            std::string::npos);
}

TEST(Page, VerdictSectionWithoutTheFile) {
  test_support::ScratchDir dir;
  const std::string missing = (dir.path() / "verdict.json").string();
  EXPECT_NE(report::verdict_section(missing).find("verdict not available: run <code>make verdict</code>"),
            std::string::npos);
  std::ofstream(missing) << "{ not json";
  EXPECT_NE(report::verdict_section(missing).find("verdict not available"), std::string::npos);
}

}  // namespace
