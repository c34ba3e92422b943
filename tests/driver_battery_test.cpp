// End to end: runs the built program in a fresh directory and checks the
// reports of the DAE battery (header lines, stream order, line counts), the
// console echo, the exit status, and the stop with one clear line on standard
// error when a report cannot be created.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "textout/textout.h"

namespace {

namespace fs = std::filesystem;

// --- running the program ------------------------------------------------------------

struct ProgramRun {
  fs::path dir;  // where the program ran and left its reports
  int exit_status = -1;
  std::string out, err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh directory <tmp>/battery-XXXXXX holding an empty "run" directory.
fs::path fresh_directory() {
  std::string name = (fs::temp_directory_path() / "battery-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) return {};
  fs::create_directory(fs::path(name) / "run");
  return name;
}

// Runs the program inside root/run; `prepare` is a shell command run there first.
ProgramRun run_battery(const fs::path& root, const std::string& prepare = "true") {
  ProgramRun r;
  r.dir = root / "run";
  const fs::path out = root / "stdout.txt";
  const fs::path err = root / "stderr.txt";
  const std::string command = "cd '" + r.dir.string() + "' && " + prepare + " && '" + BATTERY_EXE + "' > '" +
                              out.string() + "' 2> '" + err.string() + "'";
  const int status = std::system(command.c_str());
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = read_file(out);
  r.err = read_file(err);
  return r;
}

// --- reading the reports --------------------------------------------------------------

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A number written by %e (d.dddddde+ddd), or a non-finite value.
bool is_e_number(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  if (s == "nan" || s == "inf") return true;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (s.size() != 13 || !digit(s[0]) || s[1] != '.' || s[8] != 'e' || (s[9] != '+' && s[9] != '-')) return false;
  for (const std::size_t i : {2, 3, 4, 5, 6, 7, 10, 11, 12}) {
    if (!digit(s[i])) return false;
  }
  return true;
}

// A line of numbers, each after exactly the given run of blanks.
bool matches_numbers(std::string_view line, std::initializer_list<int> blanks) {
  for (const int count : blanks) {
    if (line.size() < static_cast<std::size_t>(count) + 1) return false;
    if (line.substr(0, count) != std::string(count, ' ') || line[count] == ' ') return false;
    line.remove_prefix(count);
    const std::size_t end = std::min(line.find(' '), line.size());
    if (!is_e_number(line.substr(0, end))) return false;
    line.remove_prefix(end);
  }
  return line.empty();
}

// "  %e   %e  %e  %e  %e" of tests 01 to 08, " %e   %e  %e  %e  %e" of test09.
bool is_plot_line(const std::string& line) { return matches_numbers(line, {2, 3, 2, 2, 2}); }
bool is_converter_line(const std::string& line) { return matches_numbers(line, {1, 3, 2, 2, 2}); }

// An integer with an optional sign, and nothing else.
bool parse_int(std::string_view s, int& value) {
  const char* end = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data(), end, value);
  return ec == std::errc() && ptr == end && !s.empty();
}

// count integers, each followed by one blank.
bool is_statistics_line(const std::string& line, int count) {
  std::string_view rest = line;
  for (int k = 0; k < count; ++k) {
    const std::size_t blank = rest.find(' ');
    int value = 0;
    if (blank == std::string_view::npos || !parse_int(rest.substr(0, blank), value)) return false;
    rest.remove_prefix(blank + 1);
  }
  return rest.empty();
}

// "ier= N " after `lead` (the whole line then is lead + "ier= N "); returns N or -1.
int ier_after(const std::string& line, std::size_t lead) {
  const std::string_view rest = std::string_view(line).substr(lead);
  int value = 0;
  if (rest.substr(0, 5) != "ier= " || rest.size() < 7 || rest.back() != ' ') return -1;
  return parse_int(rest.substr(5, rest.size() - 6), value) ? value : -1;
}

// A protocol's "ier= N " line; -1 if it is not one.
int protocol_ier(const std::string& line) { return ier_after(line, 0); }

// A console "ier= N " line; the solver's last line may have left a blank before it.
int console_ier(const std::string& line) {
  const std::size_t at = line.rfind("ier= ");
  if (at == std::string::npos || (at > 0 && line[at - 1] != ' ')) return -1;
  return ier_after(line, at);
}

std::vector<int> parse_statistics(const std::string& line) {
  std::vector<int> values{0};  // 1-based like ip
  std::istringstream in(line);
  int v = 0;
  while (in >> v) values.push_back(v);
  return values;
}

// The result of one solver run as its protocol shows it.
struct RunResult {
  int ier = -1;
  std::vector<int> ip;
};

// Reads "ier= N " and the statistics line after it, the last two lines of a protocol.
RunResult last_result(const std::vector<std::string>& lines, int statistics) {
  RunResult r;
  if (lines.size() < 2) return r;
  const int ier = protocol_ier(lines[lines.size() - 2]);
  if (ier < 0 || !is_statistics_line(lines.back(), statistics)) return r;
  r.ier = ier;
  r.ip = parse_statistics(lines.back());
  return r;
}

// "07" for 7.
std::string two_digits(int k) {
  std::string s = "00";
  s[0] = static_cast<char>('0' + k / 10);
  s[1] = static_cast<char>('0' + k % 10);
  return s;
}

// --- the shared run ---------------------------------------------------------------------

class BatteryRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fresh_directory();
    run_ = new ProgramRun(run_battery(root_));
  }
  static void TearDownTestSuite() {
    delete run_;
    run_ = nullptr;
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  static std::string report(const std::string& name) { return read_file(run_->dir / name); }
  static std::vector<std::string> report_lines(const std::string& name) { return split_lines(report(name)); }

  static fs::path root_;
  static ProgramRun* run_;
};

fs::path BatteryRun::root_;
ProgramRun* BatteryRun::run_ = nullptr;

TEST_F(BatteryRun, ExitsWithZeroAndWritesEveryReport) {
  EXPECT_EQ(run_->exit_status, 0);
  EXPECT_EQ(run_->err, "");
  EXPECT_TRUE(fs::exists(run_->dir / "lae-solver.txt"));
  for (int k = 0; k <= 9; ++k) {
    const std::string nn = two_digits(k);
    const std::string protocol = report("test" + nn + ".rez");
    EXPECT_FALSE(protocol.empty()) << "test" << nn;
    EXPECT_EQ(protocol.back(), '\n') << "test" << nn;
    if (k == 0) {
      EXPECT_FALSE(fs::exists(run_->dir / "grtest00.rez"));
    } else {
      const std::string plot = report("grtest" + nn + ".rez");
      EXPECT_FALSE(plot.empty()) << "grtest" << nn;
      EXPECT_EQ(plot.back(), '\n') << "grtest" << nn;
    }
  }
}

// Two passes, each with its parameter lines, then three runs with nm = 1, 2, 3,
// each ended by "ier= N " and sixteen statistics.
TEST_F(BatteryRun, Test00ProtocolHoldsSixRuns) {
  const std::vector<std::string> lines = report_lines("test00.rez");
  const std::vector<std::string> pass1 = {
      "",
      "ii= 1",
      "a=  1.00000e-003",
      "c1=  1.00000e+000 c2=  1.50000e+000 c3=  1.00000e+000",
      " l1= -1.00000e+005 l2= -1.00000e+000 l3=  -1.00000e+002",
      "        relative tolerance - eps=0.001",
      "",
      "        number of method - nm=1",
      "time ",
  };
  ASSERT_GE(lines.size(), pass1.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + pass1.size()), pass1);

  std::vector<std::string> methods;
  int results = 0;
  int headers = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("        number of method - nm=", 0) == 0) methods.push_back(lines[i].substr(30));
    if (lines[i] == "time ") ++headers;
    if (protocol_ier(lines[i]) >= 0) {
      ++results;
      ASSERT_LT(i + 1, lines.size());
      EXPECT_TRUE(is_statistics_line(lines[i + 1], 16)) << lines[i + 1];
    }
  }
  EXPECT_EQ(methods, (std::vector<std::string>{"1", "2", "3", "1", "2", "3"}));
  EXPECT_EQ(results, 6);
  EXPECT_EQ(headers, 6);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ii= 2"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "a=  9.99000e-001"), 1);
  EXPECT_TRUE(is_statistics_line(lines.back(), 16));
}

struct ProtocolCase {
  int test;
  std::vector<std::string> head;  // every line up to and including the method line
  int statistics;
};

const std::vector<ProtocolCase>& protocol_cases() {
  static const std::vector<ProtocolCase> cases = {
      {1,
       {"        relative tolerance - eps=0.0001", "", "        stiffness parameter - MU=1e+020", "",
        "        number of method - nm=3"},
       16},
      {2,
       {"        KT=1.000000e-150   KU=1.000000e+000   KI=1.000000e+000",
        "        KR=1.000000e+000   KC=1.000000e-150   KL=1.000000e-150",
        "    e= 1.000000e+000    r1= 1.000000e+000   l1= 1.001000e-147    c1= 1.000000e-153",
        "    c2= 1.000000e-153    c3= 1.000000e-150   l2= 9.990000e-148    r2= 1.000000e+000",
        "        relative tolerance - eps=0.0001", "", "        number of method - nm=3"},
       16},
      {3, {"        relative tolerance - eps=1e-008", "        number of method - nm=3"}, 20},
      {4,
       {"al=1.500000e-018 be=2.500000e-006 ga=2.100000e-006 p=6.000000e-001 si=1.800000e-001 ta=1.600000e-002",
        "        relative tolerance - eps=1e-010", "", "        number of method - nm=3"},
       16},
      {5, {"        relative tolerance - eps=0.0001", "", "        number of method - nm=3"}, 16},
      {6,
       {"        KT=1.000000e+000   KU=1.000000e+000   KI=1.000000e+000",
        "      1.200000e+004    8.200000e+003    1.500000e+003    2.000000e-001",
        "1.800000e+000    1.000000e-007    4.700000e-008    1.000000e-002",
        "1.000000e+001    4.290000e-014    5.780000e-014    3.830000e+001",
        "2.360000e-020    2.100000e-020    1.680000e-011    8.650000e-012", "",
        "        relative tolerance - eps=0.001", "", "        number of method - nm=3"},
       16},
      {7, {"        relative tolerance - eps=0.001", "", "        number of method - nm=3"}, 16},
      {8,
       {" c1= 1.000000e+000   c2= 5.000000e-001", "        relative tolerance - eps=1.000000e-005", "",
        "        number of method - nm=3"},
       16},
      {9,
       {"        kt=1.000000e+000   ku=1.000000e+000   ki=1.000000e+000",
        "      1.000000e+000    5.000000e+003    1.000000e-005    1.000000e+002   3.141593e+002",
        " 1.000000e-007    1.000000e-010    2.600000e-002    1.000000e-006   1.600000e-001", "",
        "        relative tolerance - eps=0.001", "", "        number of method - nm=3"},
       16},
  };
  return cases;
}

// Each protocol: its header lines, then only the lines of its output callback,
// then "ier= N " and the statistics line, which ends the file.
TEST_F(BatteryRun, ProtocolsOfTests01To09) {
  for (const ProtocolCase& c : protocol_cases()) {
    const std::string name = "test" + two_digits(c.test) + ".rez";
    SCOPED_TRACE(name);
    const std::vector<std::string> lines = report_lines(name);
    ASSERT_GE(lines.size(), c.head.size() + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + c.head.size()), c.head);
    const RunResult result = last_result(lines, c.statistics);
    EXPECT_GE(result.ier, 0) << "no result lines at the end";
    const std::vector<std::string> middle(lines.begin() + c.head.size(), lines.end() - 2);
    if (c.test == 2 && result.ier == 0) {
      ASSERT_EQ(middle.size(), 3u);
      EXPECT_EQ(middle[0], "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1");
      EXPECT_TRUE(is_plot_line(middle[1]));
      EXPECT_EQ(middle[1].substr(0, 15), "  1.256000e-146");
      EXPECT_EQ(middle[2], "");
    } else if (c.test == 5) {
      std::vector<std::string> times;  // one tabulation line per whole time 0..10
      for (const std::string& line : middle) times.push_back(line.substr(0, 17));
      std::vector<std::string> expected;
      for (int k = 0; k <= 10; ++k) expected.push_back(textout::out_format("    %e", static_cast<double>(k)));
      EXPECT_EQ(times, expected);
    } else {
      EXPECT_TRUE(middle.empty()) << middle.front();
    }
  }
}

// One header (test09: one per call at the start time) and one data line per
// output call: the start point, every accepted step, and an error exit.
TEST_F(BatteryRun, PlotTablesHaveOneLinePerOutputCall) {
  const std::vector<std::string> headers = {
      "           Van-der-pol equations,t,y1(t),yp1,y2,yp2",
      "           T11-HIGH Q FILTER,t-time,il2,uc3,il1,uc1",
      "           drovask-test-4-2,t-time,y1,xp1,y1,xp1",
      "           lazer,t-time,y2,y1,yp1,yp2",
      "           tabulation test from IMSL,t,y1(t),yp1,y2,yp2",
      "           kolpitz-oscillator,t-time,u-out,u-kollec,u-emiter,il1",
      "           chua-circuit,t-time,z1,z2,z3,xp[1]=dz[1]/dt",
      "C&nonlenear2C,t-time,ic2,uc2,EA,ER",
      "ac-to-dc-converter,t-time,diod-current,diod-voltage,ic,uc",
  };
  for (const ProtocolCase& c : protocol_cases()) {
    const std::string nn = two_digits(c.test);
    SCOPED_TRACE("grtest" + nn + ".rez");
    const RunResult result = last_result(report_lines("test" + nn + ".rez"), c.statistics);
    ASSERT_GE(result.ier, 0);
    const std::vector<std::string> lines = report_lines("grtest" + nn + ".rez");
    const auto is_data_line = c.test == 9 ? is_converter_line : is_plot_line;
    int header_lines = 0;
    int data_lines = 0;
    for (const std::string& line : lines) {
      if (line == headers[c.test - 1]) {
        ++header_lines;
      } else {
        EXPECT_TRUE(is_data_line(line)) << line;
        ++data_lines;
      }
    }
    const int error_exit = result.ier != 0 ? 1 : 0;
    // The first output call (kind 0) writes the only header; test09 writes one at
    // every call at the start time, which the error exit of a failed start is too.
    const int first_call = c.test == 9 ? header_lines - error_exit : header_lines;
    ASSERT_FALSE(lines.empty());
    if (first_call == 1) {
      EXPECT_EQ(lines.front(), headers[c.test - 1]);
    }
    EXPECT_EQ(data_lines, first_call + result.ip[3] + error_exit);
    if (result.ier == 0) {
      EXPECT_EQ(first_call, 1);
      const std::string& last = lines.back();
      const std::size_t t_at = c.test == 9 ? 1 : 2;
      const double t_end = std::stod(last.substr(t_at, 13));
      const double expected_end[] = {8.4e20, 1.256e-146, 3, 1e6, 10, 1e-3, 261.2, 4, 0.16};
      EXPECT_DOUBLE_EQ(t_end, expected_end[c.test - 1]);
    }
  }
}

// The console lines of the DAE battery, in order (the solver's own lines in between).
TEST_F(BatteryRun, ConsoleEchoInOrder) {
  const std::vector<std::string> lines = split_lines(run_->out);
  const std::vector<std::string> expected_in_order = {
      "        relative tolerance - eps=0.0001",
      "kt=1.000000e-150 ku=1.000000e+000 ki=1.000000e+000",
      "    e= 1.000000e+000    r1= 1.000000e+000   l1= 1.001000e-147    c1= 1.000000e-153",
      "     c2= 1.000000e-153    c3= 1.000000e-150   l2= 9.990000e-148    r2= 1.000000e+000",
      "        relative tolerance - eps=0.0001",
      "al=1.500000e-018 be=2.500000e-006 ga=2.100000e-006 p=6.000000e-001 si=1.800000e-001 ta=1.600000e-002",
      "        relative tolerance - eps=1e-010",
      "        relative tolerance - eps=0.0001",
      "1.000000e+000 1.000000e+000 1.000000e+000",
      "      1.200000e+004    8.200000e+003    1.500000e+003    2.000000e-001",
      "2.360000e-020    2.100000e-020    1.680000e-011    8.650000e-012",
      "        relative tolerance - eps=0.001",
      "        relative tolerance - eps=0.001",
      " c1= 1.000000e+000   c2= 5.000000e-001",
      "        relative tolerance - eps=1.000000e-005",
      "        number of method - nm=3",
  };
  std::size_t at = 0;
  for (const std::string& want : expected_in_order) {
    while (at < lines.size() && lines[at] != want) ++at;
    ASSERT_LT(at, lines.size()) << "missing or out of order on the console: \"" << want << "\"";
    ++at;
  }

  // The ier lines of tests 01 to 09 (test00's go to the protocol only), with
  // the codes of the protocols; test03's twenty statistics follow its line.
  std::vector<int> console_codes;
  std::vector<std::size_t> where;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int ier = console_ier(lines[i]);
    if (ier >= 0) {
      console_codes.push_back(ier);
      where.push_back(i);
    }
  }
  std::vector<int> protocol_codes;
  for (const ProtocolCase& c : protocol_cases()) {
    protocol_codes.push_back(last_result(report_lines("test" + two_digits(c.test) + ".rez"), c.statistics).ier);
  }
  EXPECT_EQ(console_codes, protocol_codes);
  ASSERT_EQ(where.size(), 9u);
  ASSERT_LT(where[2] + 1, lines.size());
  EXPECT_EQ(lines[where[2] + 1] + "\n", split_lines(report("test03.rez")).back() + "\n");
  EXPECT_TRUE(is_statistics_line(lines[where[2] + 1], 20));
  // print00's header, once per run of test00 (after the solver's last start-up line, which
  // leaves a blank at the start of the next line).
  const auto is_time_header = [](const std::string& line) { return line == "time " || line == " time "; };
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), is_time_header), 6);
}

// --- reports that cannot be created -------------------------------------------------------

// One line on standard error that names the file, and a non-zero exit.
void expect_clear_stop(const ProgramRun& r, const std::string& file) {
  EXPECT_NE(r.exit_status, 0);
  const std::vector<std::string> err = split_lines(r.err);
  ASSERT_EQ(err.size(), 1u) << r.err;
  EXPECT_EQ(r.err.back(), '\n');
  EXPECT_NE(err[0].find("\"" + file + "\""), std::string::npos) << err[0];
}

// The directory gone (for the first report), a protocol and a plot table
// blocked by a directory of the same name.
TEST(BatteryStops, WhenAReportCannotBeCreated) {
  struct {
    const char* prepare;
    const char* file;
    const char* written;  // a report that must exist by then
  } const cases[] = {
      {"rmdir \"$PWD\"", "lae-solver.txt", nullptr},
      {"mkdir test00.rez", "test00.rez", "lae-solver.txt"},
      {"mkdir grtest01.rez", "grtest01.rez", "test01.rez"},  // the protocol is opened first
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prepare);
    const fs::path root = fresh_directory();
    const ProgramRun r = run_battery(root, c.prepare);
    expect_clear_stop(r, c.file);
    if (c.written != nullptr) {
      EXPECT_TRUE(fs::exists(r.dir / c.written));
    }
    EXPECT_FALSE(fs::exists(r.dir / "test02.rez"));
    fs::remove_all(root);
  }
}

}  // namespace
