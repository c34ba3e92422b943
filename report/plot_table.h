// A plot table (grtestNN.rez, or a step history) as data, and what a figure
// needs from it: fewer rows of the same shape, and panels of similar scale.
//
//   the table    PlotTable, parse_plot_table, read_plot_table
//   axis         TimeAxis, spans_decades
//   thinning     thin_rows
//   panels       scale_panels
//
// A table is a header line "title,time,name1,name2,..." (the title may hold
// spaces, never a comma) and then rows of whitespace-separated numbers, the
// time first and non-decreasing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace report {

struct PlotTable {
  std::string title;                      // the header's first field, trimmed
  std::vector<std::string> names;         // time first, then one per quantity
  std::vector<std::string> lines;         // each data row as written
  std::vector<std::vector<double>> rows;  // each data row parsed; same count as names
};

// The table in text; false (and what is wrong in error) when a row has a
// number of fields other than the header's, or a field is not a number.
bool parse_plot_table(std::string_view text, PlotTable& table, std::string& error);

bool read_plot_table(const std::string& path, PlotTable& table, std::string& error);

enum class TimeAxis { linear, logarithmic };

// A logarithmic time axis shows something a linear one hides when the
// accepted points reach more than `decades` below the end time: the start-up
// and the fast transients that follow it.
bool spans_decades(const PlotTable& table, double decades);

// The rows to draw at `width` pixel columns: in every column the first and
// the last row and, for each quantity, the rows of its smallest and largest
// value. A line through them covers the same pixels as one through all rows.
// On a logarithmic axis the rows at t <= 0 are kept as they are (the axis
// cannot show them). Indices in increasing order.
std::vector<std::size_t> thin_rows(const PlotTable& table, int width, TimeAxis axis);

// The quantities (their positions in names: the time is 0) in panels:
// quantities whose largest |value| are within `ratio` of each other share a
// panel. Panels ordered by their first quantity, quantities by position.
std::vector<std::vector<int>> scale_panels(const PlotTable& table, double ratio);

}  // namespace report
