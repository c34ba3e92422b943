// The report page (see page.h).
//
//   pieces         html_escape, read_text, png_size, key_has, format_number, format_cell
//   the verdict    flatten, cell_html, identity_columns_first, records_table, is_record_array,
//                  keys_in_reading_order, verdict_into, verdict_html, verdict_section
//   the sweep      split_tabs, parse_sweep_rows, method_row, ranges_html
//
// The page itself is put together in page_assembly.cpp.
#include "report/page.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "report/sweep.h"
#include "textout/textout.h"

namespace report {

using nlohmann::ordered_json;

// --- pieces ----------------------------------------------------------------------------

std::string html_escape(std::string_view text) {
  std::string out;
  for (const char ch : text) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

namespace {

bool read_text(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

}  // namespace

bool png_size(const std::string& path, int& width, int& height) {
  // Signature, then the IHDR chunk: length, type, width and height big-endian.
  constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  unsigned char head[24] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  const std::string_view chunk(reinterpret_cast<char*>(head + 12), 4);
  if (!std::equal(kSignature, kSignature + 8, head) || chunk != "IHDR") return false;
  const auto big_endian = [&](int at) {
    return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
  };
  width = big_endian(16);
  height = big_endian(20);
  return width > 0 && height > 0;
}

namespace {

bool key_has(std::string_view key, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(),
                     [&](std::string_view w) { return key.find(w) != std::string_view::npos; });
}

std::string format_number(std::string_view key, double v) {
  if (key_has(key, {"scd", "digits"})) return textout::out_format("%.2f", v);
  if (key_has(key, {"second", "cpu", "time"})) return textout::out_format("%.3g", v);
  if (key_has(key, {"error", "eps", "tol", "poi", "ulp"})) return textout::out_format("%.2e", v);
  return textout::out_format("%.6g", v);
}

}  // namespace

std::string format_cell(std::string_view key, const ordered_json& value) {
  if (value.is_null()) return "&ndash;";
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_number_unsigned()) return std::to_string(value.get<unsigned long long>());
  if (value.is_number()) return format_number(key, value.get<double>());
  if (value.is_string()) return html_escape(value.get<std::string>());
  if (value.is_array() && std::all_of(value.begin(), value.end(), [](const auto& v) { return v.is_primitive(); })) {
    // A whole solution vector would make the row wider than the screen; its
    // first components tell whether it is the one expected.
    constexpr std::size_t kShown = 3;
    std::string joined;
    for (std::size_t k = 0; k < value.size() && k < kShown; ++k) {
      if (k > 0) joined += ", ";
      joined += format_cell(key, value[k]);
    }
    if (value.size() > kShown + 1) return joined + textout::out_format(", &hellip; (%zu values)", value.size());
    if (value.size() == kShown + 1) joined += ", " + format_cell(key, value[kShown]);
    return joined;
  }
  return html_escape(value.dump());
}

// --- the verdict -----------------------------------------------------------------------

namespace {

// The record's fields as (column, value), nested records spelled outer.inner.
void flatten(const ordered_json& record, const std::string& prefix,
             std::vector<std::pair<std::string, const ordered_json*>>& fields) {
  for (const auto& [key, value] : record.items()) {
    const std::string name = prefix.empty() ? key : prefix + "." + key;
    if (value.is_object()) {
      flatten(value, name, fields);
    } else {
      fields.emplace_back(name, &value);
    }
  }
}

// A cell whose text names a wrong outcome is marked, so that it stands out.
std::string cell_html(const std::string& column, const ordered_json* value) {
  static constexpr std::string_view kWrong[] = {"accepted_but_wrong",         "rejected_although_solvable",
                                                "accepted_although_singular", "accepted but wrong",
                                                "rejected although solvable", "accepted although singular"};
  const bool wrong = value != nullptr && value->is_string() &&
                     std::find(std::begin(kWrong), std::end(kWrong), value->get<std::string>()) != std::end(kWrong);
  const std::string text = value != nullptr ? format_cell(column, *value) : "";
  return wrong ? "<td class=\"wrong\">" + text + "</td>" : "<td>" + text + "</td>";
}

// Columns that say which run or task a row is come first, whatever order the
// file keeps its keys in; the rest follow in the order first seen.
void identity_columns_first(std::vector<std::string>& columns) {
  static constexpr std::string_view kIdentity[] = {"number", "run", "name", "title", "solver",
                                                   "test",   "ii",  "nm",   "eps",   "rtol"};
  const auto rank = [](const std::string& c) {
    const auto* const at = std::find(std::begin(kIdentity), std::end(kIdentity), c);
    return static_cast<int>(at - std::begin(kIdentity));
  };
  std::stable_sort(columns.begin(), columns.end(), [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
}

std::string records_table(const ordered_json& records) {
  std::vector<std::string> columns;
  std::vector<std::vector<std::pair<std::string, const ordered_json*>>> rows;
  for (const ordered_json& record : records) {
    rows.emplace_back();
    flatten(record, "", rows.back());
    for (const auto& field : rows.back()) {
      if (std::find(columns.begin(), columns.end(), field.first) == columns.end()) columns.push_back(field.first);
    }
  }
  identity_columns_first(columns);
  std::string html = "<div class=\"scroll\"><table>\n<tr>";
  for (const auto& c : columns) html += "<th>" + html_escape(c) + "</th>";
  html += "</tr>\n";
  for (const auto& row : rows) {
    html += "<tr>";
    for (const auto& c : columns) {
      const auto found = std::find_if(row.begin(), row.end(), [&](const auto& f) { return f.first == c; });
      html += cell_html(c, found != row.end() ? found->second : nullptr);
    }
    html += "</tr>\n";
  }
  return html + "</table></div>\n";
}

bool is_record_array(const ordered_json& value) {
  return value.is_array() && !value.empty() &&
         std::all_of(value.begin(), value.end(), [](const ordered_json& v) { return v.is_object(); });
}

// The verdict's parts in reading order: the linear tasks before the DAE runs,
// the battery's runs before the peer's; other keys keep the file's order after
// these.
std::vector<std::string> keys_in_reading_order(const ordered_json& node) {
  static const std::vector<std::string> kFirst = {"linear", "tasks", "class_counts", "dae", "runs", "peer"};
  std::vector<std::string> keys;
  for (const std::string& k : kFirst) {
    if (node.contains(k)) keys.push_back(k);
  }
  for (const auto& [key, value] : node.items()) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  return keys;
}

void verdict_into(const ordered_json& node, const std::string& path, std::string& html) {
  for (const std::string& key : keys_in_reading_order(node)) {
    const ordered_json& value = node.at(key);
    const std::string name = path.empty() ? key : path + " / " + key;
    const bool all_scalars = value.is_object() && !value.empty() &&
                             std::all_of(value.begin(), value.end(), [](const auto& v) { return v.is_primitive(); });
    if (is_record_array(value) || all_scalars) {
      // A record of counts reads best as a table of one row.
      html += "<h3>" + html_escape(name) + "</h3>\n";
      html += records_table(all_scalars ? ordered_json::array({value}) : value);
    } else if (value.is_object()) {
      verdict_into(value, name, html);
    } else {
      html += "<p><b>" + html_escape(name) + "</b>: " + format_cell(key, value) + "</p>\n";
    }
  }
}

}  // namespace

std::string verdict_html(const ordered_json& verdict) {
  std::string html;
  if (is_record_array(verdict)) return records_table(verdict);
  if (verdict.is_object()) verdict_into(verdict, "", html);
  return html;
}

std::string verdict_section(const std::string& verdict_path) {
  std::string text;
  if (!read_text(verdict_path, text)) {
    return "<p class=\"note\">verdict not available: run <code>make verdict</code> (it writes " +
           html_escape(verdict_path) + "), then <code>make report</code> again.</p>\n";
  }
  const ordered_json verdict = ordered_json::parse(text, nullptr, false);
  if (verdict.is_discarded()) {
    return "<p class=\"note\">verdict not available: " + html_escape(verdict_path) +
           " is not valid JSON; run <code>make verdict</code> again.</p>\n";
  }
  return verdict_html(verdict);
}

// --- the sweep -------------------------------------------------------------------------

namespace {

std::vector<std::string> split_tabs(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

bool parse_sweep_rows(std::string_view text, std::vector<SweepRow>& rows, std::vector<std::string>& notes) {
  std::istringstream in{std::string(text)};
  std::string line;
  bool header_seen = false;
  while (std::getline(in, line)) {
    if (line.rfind("# ", 0) == 0) {
      notes.push_back(line.substr(2));
      continue;
    }
    const auto f = split_tabs(line);
    if (f.size() != 8) return false;
    if (!header_seen) {
      header_seen = true;  // the column names
      continue;
    }
    rows.push_back({f[0], static_cast<int>(std::strtol(f[1].c_str(), nullptr, 10)), std::strtod(f[2].c_str(), nullptr),
                    f[3], std::strtod(f[5].c_str(), nullptr), std::strtod(f[6].c_str(), nullptr),
                    std::strtoll(f[7].c_str(), nullptr, 10)});
  }
  return header_seen;
}

namespace {

std::string method_row(const std::vector<SweepRow>& rows, const std::string& slug, int method) {
  const SweepRow* loosest = nullptr;
  const SweepRow* tightest = nullptr;
  std::string stopped;
  std::string failed;
  double best = 0;
  for (const SweepRow& r : rows) {
    if (r.slug != slug || r.method != method) continue;
    if (r.outcome == "reached") {
      if (loosest == nullptr) loosest = &r;
      tightest = &r;
      best = std::max(best, r.scd);
    } else if (r.outcome == "limit") {
      stopped = textout::out_format("%.1e", r.eps);
    } else if (r.outcome == "failed") {
      failed += (failed.empty() ? "" : ", ") + textout::out_format("%.1e", r.eps);
    }
  }
  std::string html = "<tr><td>" + html_escape(method_label(method)) + "</td>";
  const std::string tail = "<td>" + stopped + "</td><td>" + failed + "</td></tr>\n";
  if (loosest == nullptr) return html + "<td colspan=\"4\">no run finished</td>" + tail;
  html += textout::out_format("<td>%.1e .. %.1e</td><td>%.2f</td><td>%lld</td><td>%.3g</td>", loosest->eps,
                              tightest->eps, best, tightest->steps, tightest->seconds);
  return html + tail;
}

}  // namespace

std::string ranges_html(const std::vector<SweepRow>& rows, const std::string& slug) {
  std::string html =
      "<table class=\"ranges\">\n<tr><th>method</th><th>eps finished</th><th>best scd</th>"
      "<th>steps at the tightest</th><th>CPU s at the tightest</th><th>stopped by the limits at</th>"
      "<th>failed at</th></tr>\n";
  for (const int method : kMethods) html += method_row(rows, slug, method);
  return html + "</table>\n";
}

}  // namespace report
