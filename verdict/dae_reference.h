// The reference solutions the DAE runs are judged against, and the measure of
// a run's state: significant correct digits.
//
//   references   ReferenceComponent, DaeReference, parse_references, load_references,
//                find_reference
//   the measure  Scd, significant_digits
//
// scd = -log10(max_i |y_i - ref_i| / max(|ref_i|, f_i)), with f_i the size
// below which y_i counts as zero (the file's floor, the catalogue's). A
// reference is good for a limited number of digits, so scd is capped there:
// past the cap, the measure would tell the reference's error, not the run's.
// Capping each component at its own digits and then taking the least gives the
// same number as capping the whole at the least digits, which is what is done.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace verdict {

// --- references ------------------------------------------------------------------------

// A closed form (the file's "exact": test00 and test02 as exact matrix
// exponentials, test01 at its singular limit, test08) is the better reference
// where the file gives one, and good for as many digits as its evaluation in
// doubles keeps.
inline constexpr int kClosedFormDigits = 14;

struct ReferenceComponent {
  double value;  // "exact" where given, else "value"
  double floor;  // f_i > 0
  int digits;    // the digits value is good for
};

struct DaeReference {
  int test;  // 0..9
  int ii;    // test00's pass, 0 for the others
  double t;  // the time of the reference: tend, or the horizon of a chaotic test
  double tend;
  bool chaotic;                                // compared at the horizon t < tend
  std::string source;                          // "IDA" or "closed form"
  bool closed_form;                            // the values are a closed form's
  std::vector<ReferenceComponent> components;  // y(1..n), 0-based
};

// The references of a file written by `make references`; nullopt with a
// sentence in *why when the text is not such a file.
std::optional<std::vector<DaeReference>> parse_references(const std::string& text, std::string* why);
std::optional<std::vector<DaeReference>> load_references(const std::string& path, std::string* why);

// The reference of this test (and pass), or nullptr.
const DaeReference* find_reference(const std::vector<DaeReference>& all, int test, int ii);

// --- the measure -----------------------------------------------------------------------

struct Scd {
  double digits;  // min(measured, cap); +inf never, it is capped
  int cap;        // the least digits of the reference's components
  bool capped;    // the measured digits were above the cap (an exact match included)
};

// y(1..n) 0-based against the reference; nullopt when a difference is not
// finite (a NaN or an overflowed state) or the sizes differ.
std::optional<Scd> significant_digits(std::span<const double> y, std::span<const ReferenceComponent> ref);

}  // namespace verdict
