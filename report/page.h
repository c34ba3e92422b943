// The report page: out/report/index.html from the figures, the sweep's
// table and the verdict, as one self-contained HTML file (figures as PNG
// files beside it, no script, nothing fetched from elsewhere).
//
//   pieces         html_escape, png_size, format_cell
//   the verdict    verdict_html, verdict_section
//   the sweep      SweepRow, parse_sweep_rows, ranges_html
//   the page       PageInputs, page_html
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace report {

std::string html_escape(std::string_view text);

// The width and height of a PNG file; false when the file is not a PNG.
bool png_size(const std::string& path, int& width, int& height);

// A JSON value as table text: integers as they are, other numbers by what
// their key names (digits to two decimals; seconds to three figures; errors,
// tolerances and poi in exponent form), booleans as yes/no, null as a dash.
std::string format_cell(std::string_view key, const nlohmann::ordered_json& value);

// Every array of records in the document as a table, under the path of keys
// that leads to it, and every record of plain values as a table of one row;
// the columns are the records' keys in the order first seen (those naming
// the run or task first), nested records flattened to "outer.inner", arrays
// of numbers joined (the first three of a longer one). Other values become a
// line of text each. Nothing is assumed
// about the names, so a field added or renamed in the verdict shows as such.
std::string verdict_html(const nlohmann::ordered_json& verdict);

// The verdict section: its tables when the file exists and parses, else a
// note saying how to make it.
std::string verdict_section(const std::string& verdict_path);

// One run of the sweep (a row of sweep.tsv).
struct SweepRow {
  std::string slug;
  int method = 0;
  double eps = 0;
  std::string outcome;  // reached, limit, failed or skipped
  double scd = 0;
  double seconds = 0;
  long long steps = 0;
};

// The rows of sweep.tsv, and its comment lines ("# ...") in notes.
bool parse_sweep_rows(std::string_view text, std::vector<SweepRow>& rows, std::vector<std::string>& notes);

// Per method of one diagram: the tolerances it finished, where the limits
// stopped it or it failed, its best scd and its work at the tightest finish.
std::string ranges_html(const std::vector<SweepRow>& rows, const std::string& slug);

struct PageInputs {
  std::string reports;  // the battery's output folder (grtestNN.rez)
  std::string data;     // report_thin's and report_sweep's files
  std::string page;     // where index.html and figures/ are
  std::string verdict;  // verdict.json
};

std::string page_html(const PageInputs& in);

}  // namespace report
