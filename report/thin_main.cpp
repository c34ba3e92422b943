// report_thin: a plot table made small enough to draw, and what the figure
// script needs to know about it.
//
//   usage: report_thin TABLE WIDTH PREFIX
//
// Writes PREFIX.linear.dat (the rows to draw against a linear time axis at
// WIDTH pixel columns), PREFIX.log.dat (the same for a logarithmic time axis,
// only when the run spans decades) and PREFIX.vars.gp (gnuplot assignments:
// the title, the column names, the panels and whether the log file exists).
// The rows are copied as written, so the figures show the table's own digits.
//
//   writing    gnuplot_string, write_rows, write_variables
//   entry      main
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "report/plot_table.h"
#include "textout/textout.h"

namespace {

// Decades between the first step and the end beyond which the early part of
// a run gets a figure of its own on a logarithmic time axis.
constexpr double kDecadesForLogAxis = 3;
// Quantities whose sizes differ by more than this get panels of their own.
constexpr double kPanelRatio = 100;
// A figure wider than this many pixel columns is surely a mistyped width.
constexpr long kMostColumns = 100000;

// s as a gnuplot string literal.
std::string gnuplot_string(const std::string& s) {
  std::string quoted = "\"";
  for (const char ch : s) {
    if (ch == '"' || ch == '\\') quoted += '\\';
    quoted += ch;
  }
  return quoted + "\"";
}

bool write_rows(const std::string& path, const report::PlotTable& table, const std::vector<std::size_t>& rows) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  textout::out_printf(out, "# %s: %zu of %zu rows\n", table.title.c_str(), rows.size(), table.rows.size());
  for (const std::size_t r : rows) textout::out_printf(out, "%s\n", table.lines[r].c_str());
  return std::fclose(out) == 0;
}

bool write_variables(const std::string& path, const report::PlotTable& table, bool log_axis) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  textout::out_printf(out, "table_title = %s\n", gnuplot_string(table.title).c_str());
  textout::out_printf(out, "table_rows = %zu\n", table.rows.size());
  for (std::size_t c = 0; c < table.names.size(); ++c) {
    textout::out_printf(out, "name%zu = %s\n", c + 1, gnuplot_string(table.names[c]).c_str());
  }
  const auto panels = report::scale_panels(table, kPanelRatio);
  textout::out_printf(out, "panel_count = %zu\n", panels.size());
  for (std::size_t p = 0; p < panels.size(); ++p) {
    std::string columns;
    for (const int q : panels[p]) {
      if (!columns.empty()) columns += ' ';
      columns += std::to_string(q + 1);
    }
    textout::out_printf(out, "panel%zu = \"%s\"\n", p + 1, columns.c_str());
  }
  textout::out_printf(out, "has_log_axis = %d\n", log_axis ? 1 : 0);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long width = argc == 4 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (width <= 0 || width > kMostColumns) {
    std::fprintf(stderr, "usage: report_thin TABLE WIDTH PREFIX\n");
    return 2;
  }
  const std::string prefix = argv[3];
  report::PlotTable table;
  std::string error;
  if (!report::read_plot_table(argv[1], table, error)) {
    std::fprintf(stderr, "report_thin: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const bool log_axis = report::spans_decades(table, kDecadesForLogAxis);
  bool written = write_rows(prefix + ".linear.dat", table,
                            report::thin_rows(table, static_cast<int>(width), report::TimeAxis::linear));
  if (log_axis) {
    written = written && write_rows(prefix + ".log.dat", table,
                                    report::thin_rows(table, static_cast<int>(width), report::TimeAxis::logarithmic));
  }
  written = written && write_variables(prefix + ".vars.gp", table, log_axis);
  if (!written) {
    std::fprintf(stderr, "report_thin: cannot write %s.*\n", prefix.c_str());
    return 1;
  }
  return 0;
}
