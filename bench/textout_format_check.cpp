// The long run of the formatting layer's differential check: out_format
// against the C library's printf (with the layer's exponent and width rules)
// on random conversions.
//
//   usage: textout_format_check [CONVERSIONS [SEED]]
//          (defaults: 100000000 conversions, seed 1; TEXTOUT_CHECK_SEED also sets the seed)
//
// Prints the number of conversions and of differences, and the first few
// differences; exits 1 when there is any.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "textout/format_check.h"
#include "textout/textout.h"

namespace {

constexpr std::uint64_t kDefaultConversions = 100000000;
constexpr std::uint64_t kDefaultSeed = 1;

std::uint64_t number_or(const char* text, std::uint64_t fallback) {
  return text != nullptr ? std::strtoull(text, nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t conversions = number_or(argc > 1 ? argv[1] : nullptr, kDefaultConversions);
  const std::uint64_t seed = number_or(argc > 2 ? argv[2] : std::getenv("TEXTOUT_CHECK_SEED"), kDefaultSeed);
  const textout::FormatCheck check = textout::check_formatting(seed, conversions);
  textout::out_printf(stdout, "seed %llu: %llu conversions, %llu differences\n", static_cast<unsigned long long>(seed),
                      static_cast<unsigned long long>(check.conversions),
                      static_cast<unsigned long long>(check.differences));
  for (const std::string& difference : check.first_differences) {
    textout::out_printf(stdout, "  %s\n", difference.c_str());
  }
  return check.differences == 0 ? 0 : 1;
}
