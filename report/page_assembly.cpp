// The report page put together (see page.h): head and style, the verdict,
// the plot tables, the work-precision diagrams.
//
//   pieces         kStyle, first_line, figure_html
//   plot tables    thinned_rows, table_caption, trajectory_section
//   diagrams       diagram_slugs, diagram_title, work_precision_section
//   the page       page_html
#include <filesystem>
#include <fstream>

#include "report/page.h"
#include "textout/textout.h"

namespace report {
namespace {

// --- pieces ----------------------------------------------------------------------------

constexpr const char* kStyle = R"(
body { font: 14px/1.45 sans-serif; margin: 1.5em auto; max-width: 1420px; padding: 0 1em; color: #222; }
h1 { font-size: 1.6em; } h2 { margin-top: 2em; border-bottom: 1px solid #ccc; } h3 { margin-bottom: .3em; }
.figures { display: flex; flex-wrap: wrap; gap: 12px; align-items: flex-start; }
img { border: 1px solid #ddd; max-width: 100%; height: auto; }
table { border-collapse: collapse; font-size: 12px; margin: .4em 0 1em; }
th, td { border: 1px solid #ccc; padding: 2px 6px; text-align: left; white-space: nowrap; }
th { background: #f0f0f0; } tr:nth-child(even) td { background: #fafafa; }
td.wrong { background: #fdd !important; }
.scroll { overflow-x: auto; } .note { background: #fff6d5; padding: .5em 1em; border-left: 4px solid #e0b000; }
.caption { color: #555; font-size: 13px; }
)";

// The first line of a file, without its '\n'; empty when it cannot be read.
std::string first_line(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::getline(in, line);
  return line;
}

// An <img> of a figure in the page folder, sized from the file so that the
// page does not reflow while it loads; a note when the figure is missing.
std::string figure_html(const PageInputs& in, const std::string& file, const std::string& alt) {
  int width = 0;
  int height = 0;
  if (!png_size(in.page + "/" + file, width, height)) {
    return "<p class=\"note\">figure missing: " + html_escape(file) + "</p>\n";
  }
  return textout::out_format("<img src=\"%s\" width=\"%d\" height=\"%d\" alt=\"%s\">\n", html_escape(file).c_str(),
                             width, height, html_escape(alt).c_str());
}

// --- plot tables -----------------------------------------------------------------------

// "K of N rows" from the head of a file that report_thin wrote, or "".
std::string thinned_rows(const std::string& path) {
  const std::string line = first_line(path);
  const auto colon = line.rfind(": ");
  return colon == std::string::npos ? "" : line.substr(colon + 2);
}

std::string table_caption(const PageInputs& in, const std::string& nn) {
  const std::string linear = thinned_rows(in.data + "/table" + nn + ".linear.dat");
  const std::string log = thinned_rows(in.data + "/table" + nn + ".log.dat");
  std::string caption = "Drawn: " + linear + " on the linear time axis";
  if (!log.empty()) caption += ", " + log + " on the logarithmic one";
  return "<p class=\"caption\">" + html_escape(caption) + ".</p>\n";
}

std::string trajectory_section(const PageInputs& in) {
  std::string html =
      "<h2 id=\"tables\">2. The plot tables</h2>\n"
      "<p>Each plot table of the battery run (grtest01.rez .. grtest09.rez in <code>" +
      html_escape(in.reports) +
      "</code>) against time: on the left on a linear time axis, on the right on a logarithmic one where the "
      "run's accepted points reach more than three decades below its end (the start-up and the fast transients "
      "that the linear axis squeezes into its first pixel column). Quantities whose sizes are within a factor of "
      "100 share a panel; their names are those of the table's header. For drawing, each table keeps in every "
      "pixel column its first and last row and the rows of each quantity's smallest and largest value, so the "
      "curves cover the same pixels as all the rows would. The bottom panel is the size of every accepted step "
      "(log scale), taken from the same run made again in process: its plot table is checked to be the "
      "battery's byte for byte, and the table's seven-digit times cannot resolve the steps.</p>\n";
  for (int test = 1; test <= 9; ++test) {
    const std::string nn = textout::out_format("%02d", test);
    const std::string header = first_line(in.reports + "/grtest" + nn + ".rez");
    if (header.empty()) continue;
    const auto comma = header.find(',');
    const std::string title = header.substr(header.find_first_not_of(' '), comma - header.find_first_not_of(' '));
    html += "<h3 id=\"test" + nn + "\">test" + nn + ": " + html_escape(title) + "</h3>\n<div class=\"figures\">\n";
    html += figure_html(in, "figures/test" + nn + "_linear.png", "test" + nn + " against linear time");
    if (std::filesystem::exists(in.page + "/figures/test" + nn + "_log.png")) {
      html += figure_html(in, "figures/test" + nn + "_log.png", "test" + nn + " against logarithmic time");
    }
    html += "</div>\n" + table_caption(in, nn);
  }
  return html;
}

// --- diagrams --------------------------------------------------------------------------

std::vector<std::string> diagram_slugs(const std::vector<SweepRow>& rows) {
  std::vector<std::string> slugs;
  for (const SweepRow& r : rows) {
    if (slugs.empty() || slugs.back() != r.slug) slugs.push_back(r.slug);
  }
  return slugs;
}

// "test00_ii1" -> "test00 ii=1".
std::string diagram_title(const std::string& slug) {
  const auto cut = slug.find("_ii");
  return cut == std::string::npos ? slug : slug.substr(0, cut) + " ii=" + slug.substr(cut + 3);
}

std::string work_precision_section(const PageInputs& in) {
  std::string html = "<h2 id=\"work\">3. Work against precision</h2>\n";
  std::string text;
  std::vector<SweepRow> rows;
  std::vector<std::string> notes;
  {
    std::ifstream file(in.data + "/sweep.tsv", std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(file), {});
  }
  if (!parse_sweep_rows(text, rows, notes)) return html + "<p class=\"note\">sweep not available.</p>\n";
  html +=
      "<p>For each DAE test, the significant correct digits of the run's end state against the reference "
      "solution, scd = &minus;log<sub>10</sub> max<sub>i</sub> |y<sub>i</sub> &minus; ref<sub>i</sub>| / "
      "max(|ref<sub>i</sub>|, floor<sub>i</sub>) (capped at the digits the reference vouches for), against the "
      "CPU time of the run and against its accepted steps. One line per method of DAE_Solver_01 (nm = 1..4) and "
      "SUNDIALS IDA with rtol = eps, atol<sub>i</sub> = eps&middot;floor<sub>i</sub> as the peer; each point is "
      "one tolerance. A method that reaches the limits is not run at tighter tolerances: the table under each "
      "diagram gives the range it can afford. test07 is chaotic and compared at t = 17, where two references "
      "agree. Every run is in <a href=\"sweep.tsv\">sweep.tsv</a>.</p>\n<ul>\n";
  for (const std::string& n : notes) html += "<li>" + html_escape(n) + "</li>\n";
  html += "</ul>\n";
  for (const std::string& slug : diagram_slugs(rows)) {
    html += "<h3 id=\"wp_" + html_escape(slug) + "\">" + html_escape(diagram_title(slug)) + "</h3>\n";
    html += figure_html(in, "figures/wp_" + slug + ".png", diagram_title(slug) + " work-precision diagram");
    html += ranges_html(rows, slug);
  }
  return html;
}

}  // namespace

// --- the page --------------------------------------------------------------------------

std::string page_html(const PageInputs& in) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Battery report</title>\n<style>\n";
  html += kStyle;
  html +=
      "</style>\n</head>\n<body>\n<h1>Battery report</h1>\n"
      "<p>What the battery's solvers computed and what it is worth: the verdict on every answer, the "
      "trajectories and step sizes of the DAE runs, and how the DAE methods trade work for accuracy. "
      "Contents: <a href=\"#verdict\">1. verdict</a> &middot; <a href=\"#tables\">2. plot tables</a> "
      "&middot; <a href=\"#work\">3. work against precision</a>.</p>\n";
  html +=
      "<h2 id=\"verdict\">1. The verdict</h2>\n"
      "<p>From <code>verdict.json</code> (<code>make verdict</code>): for each linear task its solver's ier and "
      "poi, the error of X against the exact solution of the system as given in doubles, and a class (cells "
      "naming a wrong outcome are red); for each DAE run the significant correct digits at the reference's time "
      "and the work it took, with SUNDIALS IDA at the same tolerance alongside.</p>\n";
  html += verdict_section(in.verdict);
  html += trajectory_section(in);
  html += work_precision_section(in);
  return html + "</body>\n</html>\n";
}

}  // namespace report
