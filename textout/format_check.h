// The differential check of the formatting layer: out_format against the
// C-library route (reference_format.h) on random conversions. Used by the
// long-run tool bench/textout_format_check and, on a sample, by the unit tests.
//
// Each conversion draws a format from a fixed set (the battery's own formats,
// its plot line, and every combination of flags, widths, '*' widths and
// precisions over %e %E %f %F %g %G, plus integers, strings and characters)
// and a value of one of these kinds: random bit patterns, subnormals, the
// special values (zeros of both signs, infinities, NaNs, the extremes),
// exact decimal halfway cases at the conversion's rounding position and their
// neighbours one unit in the last place away, and short decimals.
//
//   FormatCheck          counts and the first few differences
//   check_formatting     run a number of conversions from a seed
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textout {

struct FormatCheck {
  std::uint64_t conversions = 0;               // values formatted (a plot line counts five)
  std::uint64_t differences = 0;               // calls whose texts differ
  std::vector<std::string> first_differences;  // format, arguments and both texts
};

// Formats at least `conversions` values drawn from a generator seeded with
// `seed`; the same seed replays the same calls.
FormatCheck check_formatting(std::uint64_t seed, std::uint64_t conversions);

}  // namespace textout
