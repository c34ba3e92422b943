// The reference solutions and the scd measure (see dae_reference.h).
//
//   references   component_of, reference_of, parse_references, load_references,
//                find_reference
//   the measure  significant_digits
#include "verdict/dae_reference.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace verdict {

// --- references ------------------------------------------------------------------------

namespace {

using nlohmann::json;

ReferenceComponent component_of(const json& j) {
  if (j.contains("exact")) return {j.at("exact").get<double>(), j.at("floor").get<double>(), kClosedFormDigits};
  return {j.at("value").get<double>(), j.at("floor").get<double>(), j.at("digits").get<int>()};
}

DaeReference reference_of(const json& j) {
  DaeReference r{j.at("test").get<int>(),
                 j.at("ii").get<int>(),
                 j.at("t").get<double>(),
                 j.at("tend").get<double>(),
                 j.at("chaotic").get<bool>(),
                 j.at("source").get<std::string>(),
                 false,
                 {}};
  for (const json& c : j.at("components")) {
    r.closed_form = r.closed_form || c.contains("exact");
    r.components.push_back(component_of(c));
  }
  return r;
}

}  // namespace

std::optional<std::vector<DaeReference>> parse_references(const std::string& text, std::string* why) {
  std::vector<DaeReference> all;
  try {
    const json document = json::parse(text);
    for (const json& j : document.at("references")) all.push_back(reference_of(j));
  } catch (const json::exception& e) {
    if (why != nullptr) *why = std::string("not a reference file: ") + e.what();
    return std::nullopt;
  }
  for (const DaeReference& r : all) {
    for (const ReferenceComponent& c : r.components) {
      if (!(c.floor > 0)) {
        if (why != nullptr) *why = "a floor of test " + std::to_string(r.test) + " is not positive";
        return std::nullopt;
      }
    }
  }
  return all;
}

std::optional<std::vector<DaeReference>> load_references(const std::string& path, std::string* why) {
  std::ifstream in(path);
  if (!in) {
    if (why != nullptr) *why = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse_references(text.str(), why);
}

const DaeReference* find_reference(const std::vector<DaeReference>& all, int test, int ii) {
  for (const DaeReference& r : all) {
    if (r.test == test && r.ii == ii) return &r;
  }
  return nullptr;
}

// --- the measure -----------------------------------------------------------------------

std::optional<Scd> significant_digits(std::span<const double> y, std::span<const ReferenceComponent> ref) {
  if (y.size() != ref.size() || ref.empty()) return std::nullopt;
  double worst = 0;
  int cap = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double error = std::fabs(y[i] - ref[i].value) / std::max(std::fabs(ref[i].value), ref[i].floor);
    if (!std::isfinite(error)) return std::nullopt;
    worst = std::max(worst, error);
    cap = std::min(cap, ref[i].digits);
  }
  const double measured = worst > 0 ? -std::log10(worst) : std::numeric_limits<double>::infinity();
  if (measured > cap) return Scd{static_cast<double>(cap), cap, true};
  return Scd{measured, cap, false};
}

}  // namespace verdict
