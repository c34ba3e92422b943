// The formatting layer: its own rules on hand cases, the fast conversions
// against the C-library route on a random sample (TEXTOUT_CHECK_SEED=<n>
// replays one; bench/textout_format_check is the long run), texts longer than
// the stack buffer, and the stream contract.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "textout/format_check.h"
#include "textout/textout.h"

using textout::out_format;

namespace {

constexpr std::uint64_t kSampleConversions = 300000;

struct DoubleCase {
  const char* format;
  double value;
  const char* expected;
};

// What the layer adds to printf: three exponent digits, the width applied to
// the widened text, %Le of a double. Ties round to even on the exact value.
TEST(OutFormat, LayerRulesOnHandCases) {
  const DoubleCase cases[] = {
      {"%15.8e", 4.62e-15, "4.62000000e-015"},
      {"%.4g", 1e-08, "1e-008"},
      {"%e", -0.0, "-0.000000e+000"},
      {"%-18.3e|", 12345.0, "1.234e+004        |"},  // 1.2345e4 is exact: the tie goes to even
      {"%.2e", 0.125, "1.25e-001"},
      {"%.0e", 2.5, "2e+000"},
      {"%.3e", 9.9995, "9.999e+000"},      // below the tie in binary: rounds down
      {"%e", 9999999.5, "1.000000e+007"},  // a tie on an odd digit carries into a new leading digit
      {"%015.4e", -3.0, "-0003.0000e+000"},
      {"%E", 1.5e-7, "1.500000E-007"},
      {"%g", 0.0001, "0.0001"},  // fixed form: nothing to widen
      {"%G", 2e20, "2E+020"},
      {"%Le", 0.25, "2.500000e-001"},
      {"%e", 4.9406564584124654e-324, "4.940656e-324"},
      {"%32.16f", -0.5, "             -0.5000000000000000"},
      {"%010e", -INFINITY, "      -inf"},  // no zero padding for non-finite values
      {"%+F", NAN, "+NAN"},
  };
  for (const DoubleCase& c : cases) {
    EXPECT_EQ(out_format(c.format, c.value), c.expected) << c.format << " of " << c.value;
  }
  EXPECT_EQ(out_format("%5d|%-5d|%+d|%s|%.2s|%c|%%", -42, 7, 3, "ab", "xyz", 'x'), "  -42|7    |+3|ab|xy|x|%");
  EXPECT_EQ(out_format("%*.*e|%-*d|", -12, 2, 5e-5, 4, 1), "5.00e-005   |1   |");
}

TEST(OutFormat, MatchesTheCLibraryRouteOnARandomSample) {
  const char* text = std::getenv("TEXTOUT_CHECK_SEED");
  const std::uint64_t seed = text != nullptr && *text != '\0'
                                 ? std::strtoull(text, nullptr, 10)
                                 : (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  textout::out_printf(stdout, "TEXTOUT_CHECK_SEED=%llu\n", static_cast<unsigned long long>(seed));
  const textout::FormatCheck check = textout::check_formatting(seed, kSampleConversions);
  EXPECT_GE(check.conversions, kSampleConversions);
  EXPECT_EQ(check.differences, 0U);
  for (const std::string& difference : check.first_differences) ADD_FAILURE() << difference;
}

// The stack buffer holds 1 KiB; longer texts move to the heap intact.
TEST(OutFormat, TextsLongerThanTheStackBuffer) {
  const std::string long_word(3000, 'w');
  const std::string expected =
      "<" + long_word + "|" + std::string(1995, ' ') + "12345|" + std::string(4987, ' ') + "1.000000e-003>";
  EXPECT_EQ(out_format("<%s|%*d|%5000e>", long_word.c_str(), 2000, 12345, 1e-3), expected);
}

TEST(OutPrintf, ReturnsBytesWrittenOrMinusOne) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(textout::out_printf(f, "poi=%e\n%c", 4.62e-15, 0), 19);  // a %c of 0 writes its byte
  std::rewind(f);
  char buf[64] = {};
  ASSERT_EQ(std::fread(buf, 1, sizeof buf, f), 19U);
  EXPECT_EQ(std::string(buf, 19), std::string("poi=4.620000e-015\n\0", 19));
  std::fclose(f);

  EXPECT_EQ(textout::out_printf(nullptr, "x"), -1);
  std::FILE* read_only = std::fopen("/dev/null", "r");
  ASSERT_NE(read_only, nullptr);
  EXPECT_EQ(textout::out_printf(read_only, "%d", 1), -1);
  std::fclose(read_only);
}

}  // namespace
