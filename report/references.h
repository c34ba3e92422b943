// The reference solutions of the DAE tests (references/dae_references.json)
// and the measure of a run against them: significant correct digits.
//
//   the data       Reference, parse_references, load_references, reference_for
//   the measure    kExactDigits, correct_digits
//   comparing      case_at_reference (the run to make for a comparison)
#pragma once

#include <string>
#include <vector>

#include "models/dae_catalogue.h"

namespace report {

struct Reference {
  int test = 0;
  int ii = 0;                  // test00's pass; 0 for the others
  int n = 0;
  double t = 0;                // where the reference holds (test07: its horizon, before tend)
  double digits = 0;           // digits the reference can vouch for (the cap of the measure)
  models::DaeVector value{};   // the closed form where one is given, else the agreed digits
  models::DaeVector floor{};   // below |floor_i|, y_i counts as zero
};

// A closed form is good to the last digits of a double, less what the
// model's own rounding of it costs.
inline constexpr double kExactDigits = 14;

// The references in the JSON text; false (and why in error) when the text
// does not have the expected shape.
bool parse_references(const std::string& text, std::vector<Reference>& references, std::string& error);

bool load_references(const std::string& path, std::vector<Reference>& references, std::string& error);

// The reference of the case's test (and pass), or nullptr.
const Reference* reference_for(const std::vector<Reference>& references, const models::DaeTestCase& c);

// scd = -log10(max_i |y_i - ref_i| / max(|ref_i|, floor_i)) over i = 1..n,
// capped at the reference's digits; 0 for a NaN and for errors above 1.
double correct_digits(const Reference& reference, const models::DaeVector& y);

// The case, ending where the reference holds: a chaotic test is compared
// before its tend, and a run to there costs what the comparison needs.
models::DaeTestCase case_at_reference(const models::DaeTestCase& c, const Reference& reference);

}  // namespace report
