// Plot tables for figures: the thinned rows draw what all rows draw, and a
// broken table is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "report/plot_table.h"

namespace {

using report::PlotTable;
using report::TimeAxis;

// A table with times t and, per row, the given quantities.
PlotTable table_of(const std::vector<double>& t, const std::vector<std::vector<double>>& quantities) {
  PlotTable table;
  table.names = {"t"};
  for (std::size_t q = 0; q < quantities.size(); ++q) {
    table.names.emplace_back(1, 'q');
    table.names.back() += std::to_string(q + 1);
  }
  for (std::size_t r = 0; r < t.size(); ++r) {
    std::vector<double> row{t[r]};
    for (const auto& column : quantities) row.push_back(column[r]);
    table.rows.push_back(row);
    table.lines.push_back("row " + std::to_string(r));
  }
  return table;
}

// Within every window [a, b) of a pixel's width, the kept rows reach the same
// smallest and largest value of every quantity as all rows; the first and
// last row are kept, and so is every NaN.
void expect_same_extremes(const PlotTable& table, int width, TimeAxis axis) {
  const auto kept = report::thin_rows(table, width, axis);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.front(), 0u);
  EXPECT_EQ(kept.back(), table.rows.size() - 1);
  std::vector<bool> is_kept(table.rows.size(), false);
  for (const auto r : kept) is_kept[r] = true;
  const auto where = [&](double t) {
    const double low = axis == TimeAxis::linear ? table.rows.front()[0] : table.rows[1][0];
    const double high = table.rows.back()[0];
    const double f = axis == TimeAxis::linear ? (t - low) / (high - low) : std::log(t / low) / std::log(high / low);
    return std::min(width - 1, static_cast<int>(f * width));
  };
  for (std::size_t q = 1; q < table.names.size(); ++q) {
    std::vector<double> all_low(width, INFINITY), all_high(width, -INFINITY), kept_low = all_low, kept_high = all_high;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      const double t = table.rows[r][0], v = table.rows[r][q];
      if (std::isnan(v)) {
        EXPECT_TRUE(is_kept[r]) << "NaN in row " << r;
      }
      if (axis == TimeAxis::logarithmic && t <= 0) {
        EXPECT_TRUE(is_kept[r]) << "row " << r << " at t <= 0";
        continue;
      }
      const int column = where(t);
      all_low[column] = std::fmin(all_low[column], v);
      all_high[column] = std::fmax(all_high[column], v);
      if (is_kept[r]) {
        kept_low[column] = std::fmin(kept_low[column], v);
        kept_high[column] = std::fmax(kept_high[column], v);
      }
    }
    EXPECT_EQ(kept_low, all_low) << "quantity " << q;
    EXPECT_EQ(kept_high, all_high) << "quantity " << q;
  }
  EXPECT_LT(kept.size(), table.rows.size());
}

TEST(PlotTable, ThinnedRowsKeepEveryPixelColumnsExtremes) {
  // A fast oscillation, a single-row spike, a NaN; times evenly spread, then
  // crowded at the start as after a start-up from a tiny first step.
  const int rows = 20000;
  std::vector<double> even(rows), crowded(rows), wave(rows), spiky(rows);
  for (int r = 0; r < rows; ++r) {
    even[r] = r;
    crowded[r] = r == 0 ? 0 : 1e-12 * std::pow(1.0016, r);
    wave[r] = std::sin(0.37 * r) * (1 + 1e-4 * r);
    spiky[r] = r == 12345 ? 1e6 : (r == 777 ? NAN : std::cos(0.001 * r));
  }
  struct Case {
    const std::vector<double>* t;
    int width;
    TimeAxis axis;
  };
  const Case cases[] = {{&even, 680, TimeAxis::linear},
                        {&even, 7, TimeAxis::linear},
                        {&crowded, 680, TimeAxis::linear},
                        {&crowded, 680, TimeAxis::logarithmic},
                        {&crowded, 50, TimeAxis::logarithmic}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "width " << c.width << (c.axis == TimeAxis::linear ? " linear" : " log"));
    expect_same_extremes(table_of(*c.t, {wave, spiky}), c.width, c.axis);
  }
}

TEST(PlotTable, ParsesTheHeaderAndRefusesBrokenRows) {
  struct Case {
    const char* text;
    bool ok;
    const char* error;  // where the fault is
  };
  const Case cases[] = {
      {"           Van-der-pol equations,t,y1(t),yp1\n  0.0e+000  2.0e+000  -1.0e-032\n", true, ""},
      {"title,t,a,b\n 1 2 3\n 4 5\n", false, "line 3"},
      {"title,t,a\n 1 x\n", false, "line 2"},
      {"title,t,a\n 1 2e-400\n", true, ""},  // below the smallest double: still a number
      {"only a title\n", false, "no quantity"},
  };
  for (const Case& c : cases) {
    PlotTable table;
    std::string error;
    EXPECT_EQ(report::parse_plot_table(c.text, table, error), c.ok) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  PlotTable table;
  std::string error;
  ASSERT_TRUE(report::parse_plot_table(cases[0].text, table, error));
  EXPECT_EQ(table.title, "Van-der-pol equations");
  EXPECT_EQ(table.names, (std::vector<std::string>{"t", "y1(t)", "yp1"}));
  EXPECT_EQ(table.lines.front(), "  0.0e+000  2.0e+000  -1.0e-032");
}

}  // namespace
