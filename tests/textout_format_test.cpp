// The formatting layer against a table of printf cases with three-digit exponents.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "textout/textout.h"

using textout::out_format;

namespace {

struct DoubleCase {
  const char* format;
  double value;
  const char* expected;
};

TEST(OutFormat, FloatingConversionsTable) {
  const DoubleCase cases[] = {
      {"%15.8e", 4.62e-15, "4.62000000e-015"},
      {"%.4g", 1e-08, "1e-008"},
      {"%e", 0.001, "1.000000e-003"},
      {"%e", 0.0, "0.000000e+000"},
      {"%e", -2.5, "-2.500000e+000"},
      {"%15.8e", -1.0, "-1.00000000e+000"},          // wider than the field: no padding
      {"%20.8e", -1.0, "    -1.00000000e+000"},
      {"%-18.3e|", 12345.0, "1.234e+004        |"},  // exact tie: to even,
      {"%015.4e", -3.0, "-0003.0000e+000"},
      {"%e", 1e300, "1.000000e+300"},                 // already three digits
      {"%e", 1e-300, "1.000000e-300"},
      {"%E", 1.5e-7, "1.500000E-007"},
      {"%g", 0.0001, "0.0001"},                       // fixed form: unchanged
      {"%g", 1e-5, "1e-005"},
      {"%.4g", 0.001, "0.001"},
      {"%G", 2e20, "2E+020"},
      {"%Le", 0.25, "2.500000e-001"},                 // L takes a double
      {"%30.15f", 1.000000000000005, "             1.000000000000005"},
      {"%30.15f", 0.05882352941177, "             0.058823529411770"},
      {"%32.16f", -0.5, "             -0.5000000000000000"},
      {"%12.3e", 1e-300, "  1.000e-300"},
  };
  for (const DoubleCase& c : cases) {
    EXPECT_EQ(out_format(c.format, c.value), c.expected) << c.format << " of " << c.value;
  }
}

TEST(OutFormat, NonFiniteValuesAreNotWidenedOrZeroPadded) {
  EXPECT_EQ(out_format("%10e", INFINITY), "       inf");
  EXPECT_EQ(out_format("%010e", -INFINITY), "      -inf");
  EXPECT_EQ(out_format("%e", NAN).find("nan") != std::string::npos, true);
}

TEST(OutFormat, IntegersStringsAndMixedLines) {
  EXPECT_EQ(out_format("i=%d ,j=%d ,Aij=%30.15f\n", 3, 10, 0.1),
            "i=3 ,j=10 ,Aij=             0.100000000000000\n");
  EXPECT_EQ(out_format("ier= %d \n", 7), "ier= 7 \n");
  EXPECT_EQ(out_format("%5d|%-5d|%s|%c|%%", -42, 7, "ab", 'x'), "  -42|7    |ab|x|%");
  EXPECT_EQ(out_format("%*.*e", 12, 2, 5e-5), "   5.00e-005");
  EXPECT_EQ(out_format("ee=%15.8e ,h=%15.8e ,ip[1]=%d\n ", 1e-3, 2e-10, 4),
            "ee=1.00000000e-003 ,h=2.00000000e-010 ,ip[1]=4\n ");
}

TEST(OutFormat, PrintfToStreamWritesTheSameText) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(textout::out_printf(f, "poi=%e\n", 4.62e-15), 18);
  std::rewind(f);
  char buf[64] = {};
  ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
  EXPECT_STREQ(buf, "poi=4.620000e-015\n");
  std::fclose(f);
  EXPECT_EQ(textout::out_printf(nullptr, "x"), -1);
}

}  // namespace
