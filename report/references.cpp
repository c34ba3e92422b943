// Reference solutions and significant correct digits (see references.h).
//
//   the data       component_into, parse_references, load_references, reference_for
//   the measure    correct_digits
//   comparing      case_at_reference
#include "report/references.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace report {
namespace {

using nlohmann::json;

// One component record into the reference; false when it has no index in
// 1..n. Where a closed form is given it is the value; the reference's cap
// rises to kExactDigits only when every component has one.
bool component_into(const json& component, Reference& r, bool& all_exact) {
  const int i = component.at("i").get<int>();
  if (i < 1 || i > r.n || i > models::kMaxDaeUnknowns) return false;
  const bool exact = component.contains("exact");
  r.value[i] = exact ? component.at("exact").get<double>() : component.at("value").get<double>();
  r.floor[i] = component.at("floor").get<double>();
  all_exact = all_exact && exact;
  return true;
}

}  // namespace

bool parse_references(const std::string& text, std::vector<Reference>& references, std::string& error) {
  references.clear();
  try {
    const json document = json::parse(text);
    for (const json& entry : document.at("references")) {
      Reference r;
      r.test = entry.at("test").get<int>();
      r.ii = entry.value("ii", 0);
      r.n = entry.at("n").get<int>();
      r.t = entry.at("t").get<double>();
      // A closed form states its digits per component only.
      double fewest = kExactDigits;
      bool all_exact = true;
      for (const json& component : entry.at("components")) {
        if (!component_into(component, r, all_exact)) {
          error = "test " + std::to_string(r.test) + ": a component index outside 1..n";
          return false;
        }
        fewest = std::min(fewest, component.at("digits").get<double>());
      }
      r.digits = entry.value("digits", fewest);
      if (all_exact) r.digits = std::max(r.digits, kExactDigits);
      references.push_back(r);
    }
  } catch (const json::exception& e) {
    error = e.what();
    return false;
  }
  return true;
}

bool load_references(const std::string& path, std::vector<Reference>& references, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse_references(text.str(), references, error);
}

const Reference* reference_for(const std::vector<Reference>& references, const models::DaeTestCase& c) {
  for (const Reference& r : references) {
    if (r.test == c.test && r.ii == c.ii) return &r;
  }
  return nullptr;
}

double correct_digits(const Reference& reference, const models::DaeVector& y) {
  double worst = 0;
  for (int i = 1; i <= reference.n; ++i) {
    const double scale = std::max(std::fabs(reference.value[i]), std::fabs(reference.floor[i]));
    const double error = std::fabs(y[i] - reference.value[i]) / scale;
    if (std::isnan(error)) return 0;
    worst = std::max(worst, error);
  }
  if (worst >= 1) return 0;
  if (worst == 0) return reference.digits;
  return std::min(reference.digits, -std::log10(worst));
}

models::DaeTestCase case_at_reference(const models::DaeTestCase& c, const Reference& reference) {
  // The file's times are decimal copies: a tend computed from scale factors
  // (8.4 * 1e20) may differ from its copy in the last bit, and that bit moves
  // every step. Only a reference well before tend moves the end.
  constexpr double kSameTime = 1e-12;
  models::DaeTestCase at = c;
  if (std::fabs(reference.t - c.tend) > kSameTime * std::fabs(c.tend)) at.tend = reference.t;
  return at;
}

}  // namespace report
