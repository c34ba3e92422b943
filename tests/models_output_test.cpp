// Output callbacks: header and data lines, the streams they go to, and the
// bookkeeping of test00 (error maxima), test05 (tabulation) and test09 (header
// at the start time).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "models/model_params.h"
#include "models/model_streams.h"
#include "models/models.h"
#include "textout/textout.h"

namespace {

// A temporary file whose whole content can be read back.
class Capture {
 public:
  Capture() : file_(std::tmpfile()) {}
  ~Capture() { std::fclose(file_); }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  std::FILE* get() const { return file_; }

  std::string text() const {
    std::fflush(file_);
    const long end = std::ftell(file_);
    std::string s(static_cast<std::size_t>(end), '\0');
    std::rewind(file_);
    const std::size_t got = std::fread(s.data(), 1, s.size(), file_);
    s.resize(got);
    std::fseek(file_, 0, SEEK_END);
    return s;
  }

 private:
  std::FILE* file_;
};

// Points the model streams at fresh captures for the duration of a test.
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { models::streams = {protocol.get(), plot.get()}; }
  void TearDown() override { models::streams = {nullptr, nullptr}; }

  // Calls an output callback with the fixed sample solution.
  void call(DAE_Output output, int n, int m, double t, double t0, double tend, int kind) {
    output(y.data(), yp.data(), n, m, t, t0, tend, 1e-3, &tstop, kind, ip.data());
  }

  Capture protocol;
  Capture plot;
  std::vector<double> y = {0, 1.5, -2.25, 3.125, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  std::vector<double> yp = {0, 0.5, -0.75, 0.25, 8, 9};
  std::vector<int> ip = std::vector<int>(80, 0);
  double tstop = 100;
};

struct PlotCase {
  const char* name;
  DAE_Output output;
  int n, m;
  const char* header;
  const char* data;  // the data line at t = 2 for the sample solution
};

// Tests 01 to 08: header at kind 0 only, a data line at every call, nothing in the protocol.
TEST_F(OutputTest, PlotTablesOfTests01To08) {
  models::test06_params = models::derive_test06(1, 1, 1);
  models::test08_state.usrc = 0;
  models::test05_state.tnext = 1000;
  const PlotCase cases[] = {
      {"print01", models::print01, 2, 2, "           Van-der-pol equations,t,y1(t),yp1,y2,yp2\n",
       "  2.000000e+000   1.500000e+000  5.000000e-001  -2.250000e+000  -7.500000e-001\n"},
      {"print02", models::print02, 5, 5, "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1\n",
       "  2.000000e+000   5.000000e+000  3.125000e+000  4.000000e+000  1.500000e+000\n"},
      {"print03", models::print03, 2, 2, "           drovask-test-4-2,t-time,y1,xp1,y1,xp1\n",
       "  2.000000e+000   1.500000e+000  5.000000e-001  1.500000e+000  5.000000e-001\n"},
      {"print04", models::print04, 2, 2, "           lazer,t-time,y2,y1,yp1,yp2\n",
       "  2.000000e+000   -2.250000e+000  1.500000e+000  5.000000e-001  -7.500000e-001\n"},
      {"print05", models::print05, 2, 2, "           tabulation test from IMSL,t,y1(t),yp1,y2,yp2\n",
       "  2.000000e+000   1.500000e+000  5.000000e-001  -2.250000e+000  -7.500000e-001\n"},
      {"print06", models::print06, 6, 5, "           kolpitz-oscillator,t-time,u-out,u-kollec,u-emiter,il1\n",
       "  2.000000e+000   6.875000e+000  1.500000e+000  -2.250000e+000  5.000000e+000\n"},
      {"print07", models::print07, 3, 3, "           chua-circuit,t-time,z1,z2,z3,xp[1]=dz[1]/dt\n",
       "  2.000000e+000   1.500000e+000  -2.250000e+000  3.125000e+000  5.000000e-001\n"},
      {"print08", models::print08, 3, 2, "C&nonlenear2C,t-time,ic2,uc2,EA,ER\n",
       "  2.000000e+000   3.125000e+000  -2.250000e+000  0.000000e+000  3.333333e-001\n"},
  };
  for (const PlotCase& c : cases) {
    Capture table;
    Capture log;
    models::streams = {log.get(), table.get()};
    call(c.output, c.n, c.m, 2, 2, 10, 0);
    call(c.output, c.n, c.m, 2, 2, 10, 1);
    call(c.output, c.n, c.m, 2, 2, 10, -1);
    EXPECT_EQ(table.text(), std::string(c.header) + c.data + c.data + c.data) << c.name;
    EXPECT_EQ(log.text(), "") << c.name;
  }
}

TEST_F(OutputTest, Print02AlsoWritesTheEndPointToTheProtocol) {
  call(models::print02, 5, 5, 10, 0, 10, 1);
  const std::string header = "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1\n";
  const std::string data = "  1.000000e+001   5.000000e+000  3.125000e+000  4.000000e+000  1.500000e+000\n";
  EXPECT_EQ(plot.text(), data);
  EXPECT_EQ(protocol.text(), header + data + "\n");
}

TEST_F(OutputTest, Print09HeaderWheneverTimeIsTheStartTime) {
  models::test09_state.idiode = -0.125;
  call(models::print09, 17, 2, 0, 0, 0.16, 0);
  call(models::print09, 17, 2, 0.01, 0, 0.16, 1);
  call(models::print09, 17, 2, 0.02, 0.02, 0.16, -1);  // error exit: t0 equals t
  const std::string header = "ac-to-dc-converter,t-time,diod-current,diod-voltage,ic,uc\n";
  const std::string tail = "   -1.250000e-001  1.500000e+000  1.400000e+001  -2.250000e+000\n";
  EXPECT_EQ(plot.text(), header + " 0.000000e+000" + tail + " 1.000000e-002" + tail + header + " 2.000000e-002" + tail);
}

// At t = 0 the line for t = 0 is written, tnext becomes 1 and the stop time is pulled to 1.
TEST_F(OutputTest, Print05TabulatesAtWholeTimes) {
  models::test05_state.tnext = 0;
  tstop = 20;
  call(models::print05, 2, 2, 0, 0, 10, 0);
  EXPECT_EQ(models::test05_state.tnext, 1);
  EXPECT_EQ(tstop, 1);
  call(models::print05, 2, 2, 0.5, 0, 10, 1);
  EXPECT_EQ(tstop, 1);
  tstop = 20;  // the solver overwrites the stop time once it has used it
  call(models::print05, 2, 2, 1, 0, 10, 1);
  EXPECT_EQ(models::test05_state.tnext, 2);
  EXPECT_EQ(tstop, 2);
  tstop = 20;
  call(models::print05, 2, 2, 1.7, 0, 10, 1);  // a step that did not reach the next time
  EXPECT_EQ(models::test05_state.tnext, 2);
  EXPECT_EQ(tstop, 2);
  EXPECT_EQ(protocol.text(), "    0.000000e+000  1.500000e+000  -2.250000e+000\n"
                             "    1.000000e+000  1.500000e+000  -2.250000e+000\n");
}

class Print00Test : public OutputTest {
 protected:
  void SetUp() override {
    OutputTest::SetUp();
    auto& p = models::test00_params;
    p = {};
    p.a = 0.5;
    p.c1 = 1;
    p.c2 = 1.5;
    p.c3 = 1;
    p.l1 = -100000;
    p.l2 = -1;
    p.l3 = -100;
    models::derive_test00_matrix(p);
    for (int k = 1; k <= 16; ++k) ip[k] = k;
  }
};

TEST_F(Print00Test, HeaderFinalErrorsAndStatistics) {
  const std::string header =
      "time \nx(1) eps x(1) maxeps x(1) \nx(2) eps x(2) maxeps x(2) \nx(3) eps x(3) maxeps x(3)\n";
  const auto& p = models::test00_params;
  // Start: exact (3.5, 1, 3), perturbed.
  y = {0, 3.5 + 1e-3, 1 - 2e-3, 3};
  testing::internal::CaptureStdout();
  call(models::print00, 3, 3, 0, 0, 10, 0);
  // End: only the second mode is left (exp(-1e6) and exp(-1000) count as 0).
  const double w2 = std::exp(-10.0);
  y = {0, p.c2 * w2 + 5e-4, p.c2 * w2, p.c2 * w2 - 3e-3};
  call(models::print00, 3, 3, 10, 0, 10, 1);
  const std::string console = testing::internal::GetCapturedStdout();

  const std::string lines = textout::out_format(
      "\nt=  1.00000e+001\n"
      "z[i]=%14.5e ea[i]=  5.00000e-004 em[i]=  1.00000e-003\n"
      "z[i]=%14.5e ea[i]=  0.00000e+000 em[i]=  2.00000e-003\n"
      "z[i]=%14.5e ea[i]=  3.00000e-003 em[i]=  3.00000e-003\n",
      y[1], y[2], y[3]);
  EXPECT_EQ(protocol.text(), header + lines + "\n");
  EXPECT_EQ(console, header + lines + "1  2  3  4  5  6  7  8  9  10  11  12  13  14  15  16  \n");
  EXPECT_EQ(plot.text(), "");
}

TEST_F(Print00Test, NothingAtTheEndUnlessTimeIsExactlyTheEndTime) {
  testing::internal::CaptureStdout();
  call(models::print00, 3, 3, std::nextafter(10.0, 0.0), 0, 10, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(protocol.text(), "");
}

// An error that is not a number is taken into the maximum (and replaced by
// the next error, since no comparison with it holds); a new run clears the maxima.
TEST_F(Print00Test, ErrorMaximaTakeNaNAndResetAtKindZero) {
  testing::internal::CaptureStdout();
  y = {0, std::numeric_limits<double>::quiet_NaN(), 1 + 0.25, 3};
  call(models::print00, 3, 3, 0, 0, 10, 0);
  EXPECT_TRUE(std::isnan(models::test00_state.em[1]));
  EXPECT_EQ(models::test00_state.em[2], 0.25);
  y = {0, 3.5 + 0.125, 1, 3};
  call(models::print00, 3, 3, 0, 0, 10, 1);
  EXPECT_EQ(models::test00_state.em[1], 0.125);
  EXPECT_EQ(models::test00_state.em[2], 0.25);
  call(models::print00, 3, 3, 0, 0, 10, 0);
  EXPECT_EQ(models::test00_state.em[1], 0.125);
  EXPECT_EQ(models::test00_state.em[2], 0.0);
  testing::internal::GetCapturedStdout();
}

}  // namespace
