// End to end: the built program, run in a scratch directory. Its reports
// (header lines, stream order, line counts), the console echo, the exit
// status, and the stop with one clear line on standard error when a report
// cannot be created.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "textout/textout.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;
using test_support::split_lines;
using Lines = std::vector<std::string>;

using test_support::ProgramRun;

ProgramRun run_battery(const test_support::ScratchDir& scratch, const std::string& prepare = "true",
                       const std::string& args = "") {
  return test_support::run_program(scratch, BATTERY_EXE, prepare, args);
}

// The whole battery, run once for all tests below.
const ProgramRun& battery_run() {
  static const test_support::ScratchDir scratch;
  static const ProgramRun run = run_battery(scratch);
  return run;
}

Lines report(const std::string& name) { return split_lines(read_file(battery_run().dir / name)); }

// --- line formats: a line has its format when printing its numbers again gives it back

std::vector<double> numbers_in(const std::string& line) {
  std::vector<double> numbers;
  const char* p = line.c_str();
  for (char* end = nullptr;; p = end) {
    const double x = std::strtod(p, &end);
    if (end == p) return numbers;
    numbers.push_back(x);
  }
}

// A line of up to five numbers in `format`, which ends in '\n'.
bool is_line_of(const char* format, const std::string& line) {
  std::vector<double> v = numbers_in(line);
  const auto conversions = std::count(format, format + std::char_traits<char>::length(format), '%');
  if (static_cast<long>(v.size()) != conversions) return false;
  v.resize(5);
  return textout::out_format(format, v[0], v[1], v[2], v[3], v[4]) == line + "\n";
}

// `count` integers, each followed by one blank.
bool is_statistics_line(const std::string& line, std::size_t count) {
  std::string printed;
  for (const double x : numbers_in(line)) printed += textout::out_format("%.0f ", x);
  return numbers_in(line).size() == count && printed == line;
}

// N of a line "ier= N ", or -1.
int ier_of(const std::string& line) {
  const int ier = line.starts_with("ier= ") ? std::atoi(line.c_str() + 5) : -1;
  return line == textout::out_format("ier= %d ", ier) ? ier : -1;
}

struct Result {
  int ier = -1;
  std::vector<double> statistics;  // ip(1..), 0-based
};

// "ier= N " and the statistics line that end a protocol.
Result result_of(const Lines& protocol, std::size_t statistics) {
  if (protocol.size() < 2 || !is_statistics_line(protocol.back(), statistics)) return {};
  return {ier_of(protocol[protocol.size() - 2]), numbers_in(protocol.back())};
}

// --- the linear battery ------------------------------------------------------------

const std::string kCheckOfProgram = "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";

// The report is the console without the solvers' own lines and the
// tridiagonal task's console-only lines, which head its band and right-hand
// side; the DAE battery follows on the console.
TEST(BatteryRun, LinearReportIsTheConsoleWithoutSolverAndConsoleOnlyLines) {
  std::string expected;
  for (const std::string& line : split_lines(battery_run().out)) {
    const bool solver_line = line.starts_with("poi=") || line.starts_with("LAE_Solver_0") ||
                             line.starts_with("Sets of Linear Algebraic Equations Solver");
    if (!solver_line && line != "A nn=4" && line != "B") expected += line + "\n";
  }
  EXPECT_TRUE(expected.starts_with(read_file(battery_run().dir / "lae-solver.txt")));
  EXPECT_NE(battery_run().out.find("\nA nn=4\ni=1 ,j=1 ,0-Aij="), std::string::npos);
  EXPECT_NE(battery_run().out.find("\nB\ni=1 Bi=         200000.0000099999888334\n"), std::string::npos);
}

// Three series under their banners with 12, 11 and 1 tasks; a title without
// a line break shares its line with the order line.
TEST(BatteryRun, LinearSeriesAndTasks) {
  const Lines lines = report("lae-solver.txt");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[3], "Singular matrix  n= 2, matrix A: ");
  Lines banners;
  std::vector<int> tasks;
  for (const std::string& line : lines) {
    if (line.starts_with(kCheckOfProgram)) {
      banners.push_back(line.substr(kCheckOfProgram.size()));
      tasks.push_back(0);
    }
    if (line.starts_with("ier= ") && !tasks.empty()) ++tasks.back();
  }
  EXPECT_EQ(banners, (Lines{" LAE_Solver_01", " LAE_Solver_02", " LAE_Solver_3diag"}));
  EXPECT_EQ(tasks, (std::vector<int>{12, 11, 1}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "vector X:"), 24);
}

// After the solution of task 21 (n = 5): L, then U, each column by column;
// last the tridiagonal task, with band columns 1 to 3 only, solved to
// (1, 1, 1, 1).
TEST(BatteryRun, LinearFactorAndBandListings) {
  const Lines lines = report("lae-solver.txt");
  ASSERT_EQ(std::count(lines.begin(), lines.end(), "L"), 1);
  const auto L = std::find(lines.begin(), lines.end(), "L");
  ASSERT_TRUE(L - lines.begin() >= 6 && lines.end() - L >= 52);
  EXPECT_EQ(L[-6], "vector X:");
  EXPECT_TRUE(L[1].starts_with("i=1 ,j=1 ,Lij=") && L[2].starts_with("i=2 ,j=1 ,Lij=")) << L[2];
  EXPECT_EQ(L[26], "U");
  EXPECT_EQ(L[27], "i=1 ,j=1 ,Uij=              1.0000000000000000");
  EXPECT_TRUE(L[51].starts_with("i=5 ,j=5 ,Uij=")) << L[51];

  const auto band = std::find(lines.begin(), lines.end(), kCheckOfProgram + " LAE_Solver_3diag") + 2;
  ASSERT_EQ(lines.end() - band, 22);
  EXPECT_TRUE(band[11].starts_with("i=4 ,j=3 ,0-Aij=") && band[12].starts_with("i=1 Bi=")) << band[12];
  EXPECT_EQ(band[16], "ier= 0");
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(band[18 + k], "i=" + std::to_string(k + 1) + " Xi=             1.000000000000000");
  }
}

// --- the DAE battery ---------------------------------------------------------------

// The exit status; the header lines of test00's two passes, three runs each
// (nm = 1, 2, 3), each run ended by "ier= N " and sixteen statistics; no plot
// table.
TEST(BatteryRun, Test00ProtocolHoldsSixRuns) {
  EXPECT_EQ(battery_run().exit_status, 0);
  EXPECT_EQ(battery_run().err, "");
  EXPECT_FALSE(fs::exists(battery_run().dir / "grtest00.rez"));
  const Lines lines = report("test00.rez");
  const Lines head = {"", "ii= 1", "a=  1.00000e-003", "c1=  1.00000e+000 c2=  1.50000e+000 c3=  1.00000e+000",
                      " l1= -1.00000e+005 l2= -1.00000e+000 l3=  -1.00000e+002",
                      "        relative tolerance - eps=0.001", "", "        number of method - nm=1", "time "};
  ASSERT_GE(lines.size(), head.size());
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + head.size()), head);
  std::string runs;  // the method of each run, then "r" for its result lines
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with("        number of method - nm=")) runs += lines[i].back();
    if (ier_of(lines[i]) >= 0 && i + 1 < lines.size() && is_statistics_line(lines[i + 1], 16)) runs += "r";
  }
  EXPECT_EQ(runs, "1r2r3r1r2r3r");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "time "), 6);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ii= 2"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "a=  9.99000e-001"), 1);
}

struct DaeTest {
  std::string number;
  Lines head;  // the protocol up to and including the method line
  std::size_t statistics;
  std::string plot_header;
  double end;  // the last time of a successful run
};

const std::vector<DaeTest> kTests = {
    {"01",
     {"        relative tolerance - eps=0.0001", "", "        stiffness parameter - MU=1e+020", "",
      "        number of method - nm=3"},
     16, "           Van-der-pol equations,t,y1(t),yp1,y2,yp2", 8.4e20},
    {"02",
     {"        KT=1.000000e-150   KU=1.000000e+000   KI=1.000000e+000",
      "        KR=1.000000e+000   KC=1.000000e-150   KL=1.000000e-150",
      "    e= 1.000000e+000    r1= 1.000000e+000   l1= 1.001000e-147    c1= 1.000000e-153",
      "    c2= 1.000000e-153    c3= 1.000000e-150   l2= 9.990000e-148    r2= 1.000000e+000",
      "        relative tolerance - eps=0.0001", "", "        number of method - nm=3"},
     16, "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1", 1.256e-146},
    {"03", {"        relative tolerance - eps=1e-008", "        number of method - nm=3"}, 20,
     "           drovask-test-4-2,t-time,y1,xp1,y1,xp1", 3},
    {"04",
     {"al=1.500000e-018 be=2.500000e-006 ga=2.100000e-006 p=6.000000e-001 si=1.800000e-001 ta=1.600000e-002",
      "        relative tolerance - eps=1e-010", "", "        number of method - nm=3"},
     16, "           lazer,t-time,y2,y1,yp1,yp2", 1e6},
    {"05", {"        relative tolerance - eps=0.0001", "", "        number of method - nm=3"}, 16,
     "           tabulation test from IMSL,t,y1(t),yp1,y2,yp2", 10},
    {"06",
     {"        KT=1.000000e+000   KU=1.000000e+000   KI=1.000000e+000",
      "      1.200000e+004    8.200000e+003    1.500000e+003    2.000000e-001",
      "1.800000e+000    1.000000e-007    4.700000e-008    1.000000e-002",
      "1.000000e+001    4.290000e-014    5.780000e-014    3.830000e+001",
      "2.360000e-020    2.100000e-020    1.680000e-011    8.650000e-012", "", "        relative tolerance - eps=0.001",
      "", "        number of method - nm=3"},
     16, "           kolpitz-oscillator,t-time,u-out,u-kollec,u-emiter,il1", 1e-3},
    {"07", {"        relative tolerance - eps=0.001", "", "        number of method - nm=3"}, 16,
     "           chua-circuit,t-time,z1,z2,z3,xp[1]=dz[1]/dt", 261.2},
    {"08",
     {" c1= 1.000000e+000   c2= 5.000000e-001", "        relative tolerance - eps=1.000000e-005", "",
      "        number of method - nm=3"},
     16, "C&nonlenear2C,t-time,ic2,uc2,EA,ER", 4},
    {"09",
     {"        kt=1.000000e+000   ku=1.000000e+000   ki=1.000000e+000",
      "      1.000000e+000    5.000000e+003    1.000000e-005    1.000000e+002   3.141593e+002",
      " 1.000000e-007    1.000000e-010    2.600000e-002    1.000000e-006   1.600000e-001", "",
      "        relative tolerance - eps=0.001", "", "        number of method - nm=3"},
     16, "ac-to-dc-converter,t-time,diod-current,diod-voltage,ic,uc", 0.16},
};

// Each protocol: its header lines, only the lines of its output callback
// (test02's end point, test05's table at whole times), then "ier= N " and
// the statistics, which end the file.
TEST(BatteryRun, ProtocolsOfTests01To09) {
  for (const DaeTest& test : kTests) {
    SCOPED_TRACE("test" + test.number);
    const Lines lines = report("test" + test.number + ".rez");
    ASSERT_GE(lines.size(), test.head.size() + 2);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + test.head.size()), test.head);
    const Result result = result_of(lines, test.statistics);
    EXPECT_GE(result.ier, 0) << "no result lines at the end";
    const Lines middle(lines.begin() + test.head.size(), lines.end() - 2);
    if (test.number == "02" && result.ier == 0) {
      ASSERT_EQ(middle.size(), 3u);
      EXPECT_EQ(middle[0], test.plot_header);
      EXPECT_TRUE(is_line_of("  %e   %e  %e  %e  %e\n", middle[1]) && middle[1].starts_with("  1.256000e-146"));
      EXPECT_EQ(middle[2], "");
    } else if (test.number == "05") {
      ASSERT_EQ(middle.size(), 11u);
      for (int k = 0; k <= 10; ++k) {
        EXPECT_TRUE(is_line_of("    %e  %e  %e\n", middle[k]) && numbers_in(middle[k])[0] == k) << middle[k];
      }
    } else {
      EXPECT_TRUE(middle.empty()) << middle.front();
    }
  }
}

// The header first (test09 writes it at every call at the start time, which
// the error exit of a failed start is too), then one data line per output
// call: the start point, every accepted step, and an error exit.
TEST(BatteryRun, PlotTablesHaveOneLinePerOutputCall) {
  for (const DaeTest& test : kTests) {
    SCOPED_TRACE("grtest" + test.number);
    const Result result = result_of(report("test" + test.number + ".rez"), test.statistics);
    ASSERT_GE(result.ier, 0);
    const Lines lines = report("grtest" + test.number + ".rez");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), test.plot_header);
    const int error_exit = result.ier != 0 ? 1 : 0;
    const auto headers = std::count(lines.begin(), lines.end(), test.plot_header);
    EXPECT_LE(headers, test.number == "09" ? 1 + error_exit : 1);
    const char* format = test.number == "09" ? " %e   %e  %e  %e  %e\n" : "  %e   %e  %e  %e  %e\n";
    for (const std::string& line : lines) {
      EXPECT_TRUE(line == test.plot_header || is_line_of(format, line)) << line;
    }
    EXPECT_EQ(static_cast<double>(lines.size() - headers), 1 + result.statistics[2] + error_exit);
    if (result.ier == 0) {
      EXPECT_EQ(numbers_in(lines.back())[0], test.end);
    }
  }
}

// The console lines of the DAE battery, in order, with the solver's own lines
// in between; the ier lines of tests 01 to 09 with the protocols' codes,
// test03's twenty statistics after its ier line, and print00's header once
// per run of test00.
TEST(BatteryRun, ConsoleEchoInOrder) {
  const Lines lines = split_lines(battery_run().out);
  const Lines in_order = {
      "        relative tolerance - eps=0.0001", "kt=1.000000e-150 ku=1.000000e+000 ki=1.000000e+000",
      "    e= 1.000000e+000    r1= 1.000000e+000   l1= 1.001000e-147    c1= 1.000000e-153",
      "     c2= 1.000000e-153    c3= 1.000000e-150   l2= 9.990000e-148    r2= 1.000000e+000",
      "        relative tolerance - eps=0.0001",
      "al=1.500000e-018 be=2.500000e-006 ga=2.100000e-006 p=6.000000e-001 si=1.800000e-001 ta=1.600000e-002",
      "        relative tolerance - eps=1e-010", "        relative tolerance - eps=0.0001",
      "1.000000e+000 1.000000e+000 1.000000e+000",
      "      1.200000e+004    8.200000e+003    1.500000e+003    2.000000e-001",
      "2.360000e-020    2.100000e-020    1.680000e-011    8.650000e-012", "        relative tolerance - eps=0.001",
      "        relative tolerance - eps=0.001", " c1= 1.000000e+000   c2= 5.000000e-001",
      "        relative tolerance - eps=1.000000e-005", "        number of method - nm=3"};
  auto at = lines.begin();
  for (const std::string& want : in_order) {
    at = std::find(at, lines.end(), want);
    ASSERT_NE(at, lines.end()) << "missing or out of order on the console: \"" << want << "\"";
    ++at;
  }

  std::vector<int> console_codes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int ier = ier_of(lines[i].substr(std::min(lines[i].find_first_not_of(' '), lines[i].size())));
    if (ier < 0) continue;
    console_codes.push_back(ier);
    if (console_codes.size() == 3) {  // test03's statistics
      EXPECT_EQ(i + 1 < lines.size() ? lines[i + 1] : "", report("test03.rez").back());
    }
  }
  std::vector<int> protocol_codes;
  for (const DaeTest& test : kTests) {
    protocol_codes.push_back(result_of(report("test" + test.number + ".rez"), test.statistics).ier);
  }
  EXPECT_EQ(console_codes, protocol_codes);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l == "time " || l == " time "; }), 6);
}

// One line on standard error naming the file, a non-zero exit, and no report
// after it; a protocol is opened before its plot table.
TEST(BatteryStops, WhenAReportCannotBeCreated) {
  struct {
    const char* blocked;
    const char* written;  // a report that exists by then
  } const cases[] = {{"lae-solver.txt", nullptr}, {"grtest01.rez", "test01.rez"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    const test_support::ScratchDir scratch;
    const ProgramRun r = run_battery(scratch, std::string("mkdir ") + c.blocked);
    EXPECT_NE(r.exit_status, 0);
    EXPECT_EQ(split_lines(r.err).size(), 1u) << r.err;
    EXPECT_TRUE(r.err.ends_with("\n") && r.err.find('"' + std::string(c.blocked) + '"') != std::string::npos) << r.err;
    EXPECT_TRUE(c.written == nullptr || fs::exists(r.dir / c.written));
    EXPECT_FALSE(fs::exists(r.dir / "test02.rez"));
  }
}

// Nothing is lost silently: a report on a full device, a file-size limit, a
// full standard output each stop the program with one line naming the file
// and the reason.
TEST(BatteryStops, WhenAWriteFails) {
  struct {
    const char* prepare;
    const char* args;
    const char* message;
  } const cases[] = {
      {"ln -s /dev/full test04.rez", "", "battery: cannot write report file \"test04.rez\": No space left on device\n"},
      {"trap '' XFSZ && ulimit -f 8", ">/dev/null", "battery: cannot write report file \"lae-solver.txt\": File too large\n"},
      {"true", ">/dev/full", "battery: cannot write standard output: No space left on device\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const test_support::ScratchDir scratch;
    const ProgramRun r = run_battery(scratch, c.prepare, c.args);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.message);
  }
}

// With standard output closed, the console is lost but no report takes its
// descriptor: the reports come out whole.
TEST(BatteryRun, ClosedStandardOutputLeavesTheReportsWhole) {
  const test_support::ScratchDir scratch;
  const ProgramRun r = run_battery(scratch, "true", ">&-");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  for (const char* name : {"lae-solver.txt", "test04.rez"}) {
    EXPECT_EQ(read_file(r.dir / name), read_file(fs::path(GOLDEN_DIR) / name)) << name;
  }
}

// --help and --version answer and write no report; anything unknown is a
// usage error with status 2; -o writes the reports into a new folder.
TEST(CommandLine, AnswersRejectsOrRedirects) {
  struct {
    const char* args;
    int exit_status;
    const char* out_start;
    const char* err_start;
  } const cases[] = {
      {"--help", 0, "usage: battery [-o DIR] [--help] [--version]\n", ""},
      {"--version", 0, "battery ", ""},
      {"--bogus", 2, "", "battery: unknown argument '--bogus'\nusage: battery"},
      {"-o", 2, "", "battery: -o needs a folder\nusage: battery"},
      {"-o a -o b", 2, "", "battery: -o given twice\nusage: battery"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const test_support::ScratchDir scratch;
    const ProgramRun r = run_battery(scratch, "true", c.args);
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_TRUE(r.out.starts_with(c.out_start)) << r.out;
    EXPECT_TRUE(r.err.starts_with(c.err_start)) << r.err;
    EXPECT_TRUE(fs::is_empty(r.dir));
  }
  const test_support::ScratchDir scratch;
  const ProgramRun r = run_battery(scratch, "true", "-o new/reports");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(read_file(r.dir / "new/reports/test09.rez"), read_file(fs::path(GOLDEN_DIR) / "test09.rez"));
}

}  // namespace
