// A plot table as data (see plot_table.h).
//
//   reading    trim, split_header, parse_row, parse_plot_table, read_plot_table
//   axis       first_positive_time, spans_decades
//   thinning   pixel_column, keep_extremes, thin_rows
//   panels     largest_magnitude, scale_panels
#include "report/plot_table.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>

namespace report {
namespace {

// --- reading ---------------------------------------------------------------------------

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

void split_header(std::string_view header, PlotTable& table) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = header.find(',', start);
    fields.emplace_back(trim(header.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  table.title = fields.front();
  table.names.assign(fields.begin() + 1, fields.end());
}

// The numbers of one row; false when a field is not a number.
bool parse_row(std::string_view line, std::vector<double>& row) {
  const std::string text(line);
  const char* p = text.c_str();
  for (;;) {
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    if (*p == '\0') return true;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(p, &end);
    // A value below the smallest double reads as a (signed) zero or
    // subnormal with ERANGE; that is still the number written.
    if (end == p || (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\r')) return false;
    row.push_back(v);
    p = end;
  }
}

}  // namespace

bool parse_plot_table(std::string_view text, PlotTable& table, std::string& error) {
  table = PlotTable{};
  std::size_t line_number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (line_number == 1) {
      split_header(line, table);
      continue;
    }
    if (trim(line).empty()) continue;
    std::vector<double> row;
    if (!parse_row(line, row) || row.size() != table.names.size()) {
      error = "line " + std::to_string(line_number) + ": expected " + std::to_string(table.names.size()) + " numbers";
      return false;
    }
    table.lines.emplace_back(line);
    table.rows.push_back(std::move(row));
  }
  if (table.names.size() < 2) {
    error = "the header names no quantity";
    return false;
  }
  return true;
}

bool read_plot_table(const std::string& path, PlotTable& table, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse_plot_table(text.str(), table, error);
}

// --- axis ------------------------------------------------------------------------------

namespace {

// The smallest t > 0 of the table, or 0 when there is none.
double first_positive_time(const PlotTable& table) {
  for (const auto& row : table.rows) {
    if (row[0] > 0) return row[0];
  }
  return 0;
}

}  // namespace

bool spans_decades(const PlotTable& table, double decades) {
  if (table.rows.empty()) return false;
  const double first = first_positive_time(table);
  const double last = table.rows.back()[0];
  return first > 0 && last > first && std::log10(last / first) > decades;
}

// --- thinning --------------------------------------------------------------------------

namespace {

// The pixel column of t in [0, width), or -1 for a t the axis cannot show.
int pixel_column(double t, double low, double high, int width, TimeAxis axis) {
  double position = 0;
  if (axis == TimeAxis::logarithmic) {
    if (!(t > 0)) return -1;
    position = (std::log(t) - std::log(low)) / (std::log(high) - std::log(low));
  } else {
    position = (t - low) / (high - low);
  }
  if (!(position > 0)) return 0;  // also a span of zero (NaN)
  return std::min(width - 1, static_cast<int>(position * width));
}

// Marks, within rows [first, last), the first and last row and the rows of
// each quantity's smallest and largest value; a non-finite value is kept too,
// so that a blow-up shows as a gap.
void keep_extremes(const PlotTable& table, std::size_t first, std::size_t last, std::vector<bool>& keep) {
  keep[first] = true;
  keep[last - 1] = true;
  for (std::size_t q = 1; q < table.names.size(); ++q) {
    std::size_t low = first;
    std::size_t high = first;
    for (std::size_t r = first; r < last; ++r) {
      const double v = table.rows[r][q];
      if (!std::isfinite(v)) keep[r] = true;
      if (v < table.rows[low][q]) low = r;
      if (v > table.rows[high][q]) high = r;
    }
    keep[low] = true;
    keep[high] = true;
  }
}

}  // namespace

std::vector<std::size_t> thin_rows(const PlotTable& table, int width, TimeAxis axis) {
  const std::size_t count = table.rows.size();
  if (count == 0) return {};
  double low = table.rows.front()[0];
  if (axis == TimeAxis::logarithmic) low = first_positive_time(table);
  const double high = table.rows.back()[0];
  std::vector<bool> keep(count, false);
  std::size_t begin = 0;
  while (begin < count) {
    const int column = pixel_column(table.rows[begin][0], low, high, width, axis);
    std::size_t end = begin + 1;
    while (end < count && pixel_column(table.rows[end][0], low, high, width, axis) == column) ++end;
    if (column < 0) {
      std::fill(keep.begin() + static_cast<std::ptrdiff_t>(begin), keep.begin() + static_cast<std::ptrdiff_t>(end),
                true);
    } else {
      keep_extremes(table, begin, end, keep);
    }
    begin = end;
  }
  std::vector<std::size_t> kept;
  for (std::size_t r = 0; r < count; ++r) {
    if (keep[r]) kept.push_back(r);
  }
  return kept;
}

// --- panels ----------------------------------------------------------------------------

namespace {

double largest_magnitude(const PlotTable& table, std::size_t q) {
  double largest = 0;
  for (const auto& row : table.rows) {
    if (std::isfinite(row[q])) largest = std::max(largest, std::fabs(row[q]));
  }
  return largest;
}

}  // namespace

std::vector<std::vector<int>> scale_panels(const PlotTable& table, double ratio) {
  const int quantities = static_cast<int>(table.names.size()) - 1;
  std::vector<int> order(static_cast<std::size_t>(quantities));
  std::iota(order.begin(), order.end(), 1);
  std::vector<double> size(table.names.size());
  for (int q = 1; q <= quantities; ++q) size[static_cast<std::size_t>(q)] = largest_magnitude(table, q);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return size[a] < size[b]; });

  // Greedy from the smallest: a quantity joins the open panel while it is
  // within ratio of the panel's smallest; an all-zero quantity joins the first.
  std::vector<std::vector<int>> panels;
  double panel_low = 0;
  for (const int q : order) {
    const double s = size[static_cast<std::size_t>(q)];
    if (panels.empty() || (panel_low > 0 && s > ratio * panel_low)) {
      panels.emplace_back();
      panel_low = s;
    } else if (panel_low == 0) {
      panel_low = s;
    }
    panels.back().push_back(q);
  }
  for (auto& p : panels) std::sort(p.begin(), p.end());
  std::sort(panels.begin(), panels.end());
  return panels;
}

}  // namespace report
