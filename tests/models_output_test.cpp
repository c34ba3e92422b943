// Output callbacks: the header and data lines of representative callbacks,
// each on the streams it writes (plot table, protocol, console).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "models/model_params.h"
#include "models/model_streams.h"
#include "models/models.h"
#include "test_support.h"

namespace {

// Everything written to a temporary stream so far.
std::string text_of(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int ch; (ch = std::fgetc(file)) != EOF;) text += static_cast<char>(ch);
  return text;
}

const std::string kHeader00 =
    "time \nx(1) eps x(1) maxeps x(1) \nx(2) eps x(2) maxeps x(2) \nx(3) eps x(3) maxeps x(3)\n";
const std::string kErrors00 =
    "\nt=  0.00000e+000\n"
    "z[i]=  1.50000e+000 ea[i]=  2.00000e+000 em[i]=  2.00000e+000\n"
    "z[i]= -2.25000e+000 ea[i]=  3.25000e+000 em[i]=  3.25000e+000\n"
    "z[i]=  3.12500e+000 ea[i]=  1.25000e-001 em[i]=  1.25000e-001\n";

TEST(OutputCallbacks, LinesAndStreams) {
  struct Case {
    const char* name;
    DAE_Output print;
    int n;
    double t, t0, tend;
    int kind;
    std::string plot, protocol = "", console = "";
  };
  const Case cases[] = {
      // The data line of tests 01 to 08, here with its header at the first call.
      {"print01", models::print01, 2, 2, 2, 10, 0,
       "           Van-der-pol equations,t,y1(t),yp1,y2,yp2\n"
       "  2.000000e+000   1.500000e+000  5.000000e-001  -2.250000e+000  -7.500000e-001\n"},
      // At the end time the header and the last line go to the protocol too.
      {"print02", models::print02, 5, 10, 0, 10, 1,
       "  1.000000e+001   5.000000e+000  3.125000e+000  4.000000e+000  1.500000e+000\n",
       "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1\n"
       "  1.000000e+001   5.000000e+000  3.125000e+000  4.000000e+000  1.500000e+000\n\n"},
      // The closed form for a source at 0: U = 0, I = 1/3.
      {"print08", models::print08, 3, 2, 0, 10, 1,
       "  2.000000e+000   3.125000e+000  -2.250000e+000  0.000000e+000  3.333333e-001\n"},
      // A header whenever t is the start time, here at an error exit.
      {"print09", models::print09, 17, 0.02, 0.02, 0.16, -1,
       "ac-to-dc-converter,t-time,diod-current,diod-voltage,ic,uc\n"
       " 2.000000e-002   -1.250000e-001  1.500000e+000  1.400000e+001  -2.250000e+000\n"},
      // Errors against the exact solution (3.5, 1, 3) at t = 0, their maxima
      // reset by the first call, and sixteen statistics on the console.
      {"print00", models::print00, 3, 0, 0, 0, 0, "", kHeader00 + kErrors00 + "\n",
       kHeader00 + kErrors00 + "1  2  3  4  5  6  7  8  9  10  11  12  13  14  15  16  \n"},
  };
  models::test00_params = {.a = 0.5, .c1 = 1, .c2 = 1.5, .c3 = 1, .l1 = -1e5, .l2 = -1, .l3 = -100, .M = {}};
  models::test00_state.em = {9, 9, 9, 9};
  models::test08_state.usrc = 0;
  models::test09_state.idiode = -0.125;
  std::vector<double> y = {0, 1.5, -2.25, 3.125, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  std::vector<double> yp = {0, 0.5, -0.75, 0.25, 8, 9};
  std::vector<int> ip(80);
  for (int k = 1; k <= 16; ++k) ip[k] = k;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* plot = std::tmpfile();
    std::FILE* protocol = std::tmpfile();
    models::streams = {protocol, plot, stdout};
    double tstop = 100;
    const std::string console = test_support::stdout_of(
        [&] { c.print(y.data(), yp.data(), c.n, 2, c.t, c.t0, c.tend, 1e-3, &tstop, c.kind, ip.data()); });
    EXPECT_EQ(text_of(plot), c.plot);
    EXPECT_EQ(text_of(protocol), c.protocol);
    EXPECT_EQ(console, c.console);
    std::fclose(plot);
    std::fclose(protocol);
  }
  models::streams = {nullptr, nullptr, stdout};
}

}  // namespace
