// The linear battery end to end, in-process: the report's structure, the echo
// convention against the console, the leftovers of the shared storage and the
// stop on a report that cannot be created.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "driver/linear_battery.h"
#include "driver/linear_storage.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int count_lines_starting(const std::vector<std::string>& lines, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == line) return i;
  }
  return lines.size();
}

// Runs the linear battery once in a fresh directory and keeps what it wrote.
class LinearBattery : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path dir = fs::temp_directory_path() / ("linear-battery-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    testing::internal::CaptureStdout();
    battery::run_linear_battery();
    console_ = new std::string(testing::internal::GetCapturedStdout());
    std::ifstream in("lae-solver.txt", std::ios::binary);
    report_ = new std::string(std::istreambuf_iterator<char>(in), {});
    fs::current_path(previous);
    fs::remove_all(dir);
  }
  static void TearDownTestSuite() {
    delete console_;
    delete report_;
  }
  static std::string* console_;
  static std::string* report_;
};
std::string* LinearBattery::console_ = nullptr;
std::string* LinearBattery::report_ = nullptr;

const std::string kCheckOfProgram = "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB";

TEST_F(LinearBattery, ReportIsTheConsoleWithoutSolverAndConsoleOnlyLines) {
  std::string expected;
  for (const std::string& line : split_lines(*console_)) {
    const bool solver_line = line.rfind("poi=", 0) == 0 || line.rfind("LAE_Solver_0", 0) == 0 ||
                             line.rfind("Sets of Linear Algebraic Equations Solver", 0) == 0;
    const bool console_only = line == "A nn=4" || line == "B";
    if (!solver_line && !console_only) expected += line + "\n";
  }
  EXPECT_EQ(*report_, expected);
  const std::size_t band_head = console_->find("\nA nn=4\ni=1 ,j=1 ,0-Aij=");
  ASSERT_NE(band_head, std::string::npos) << "console-only order line missing";
  EXPECT_NE(console_->find("\nB\ni=1 Bi=", band_head), std::string::npos) << "console-only B line missing";
}

TEST_F(LinearBattery, SeriesBannersTitlesAndTaskCounts) {
  const std::vector<std::string> lines = split_lines(*report_);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], kCheckOfProgram + " LAE_Solver_01");
  const std::size_t second = index_of(lines, kCheckOfProgram + " LAE_Solver_02");
  const std::size_t third = index_of(lines, kCheckOfProgram + " LAE_Solver_3diag");
  ASSERT_LT(second, third);
  ASSERT_LT(third, lines.size());

  EXPECT_EQ(count_lines_starting(lines, "ier= "), 24);
  EXPECT_EQ(count_lines_starting(lines, "vector X:"), 24);
  // A title without a line break and the order line share one line.
  EXPECT_EQ(lines[3], "Singular matrix  n= 2, matrix A: ");
  EXPECT_EQ(index_of(lines, "Belvash task01a, Zelmbrook matrix "), index_of(lines, "Belvash task01a, Zelmbrook matrix "));
  EXPECT_LT(index_of(lines, "Belvash task01a, Zelmbrook matrix "), second);
  EXPECT_EQ(index_of(lines, "Belvash task01a, Zelmbrook matrix ", second), lines.size());
  EXPECT_LT(index_of(lines, "Belvash task 02, cond(A)=2e16,  n= 2, matrix A: "), second);
  EXPECT_GT(index_of(lines, "Belvash task 00, cond(A)=2e16,  n= 2, matrix A: "), second);
  // The perturbation of D4 and the raised Hilbert entry are visible.
  EXPECT_EQ(count_lines_starting(lines, "i=1 ,j=1 ,Aij=             1.000000000000005"), 2);
  int hilbert_1_17 = 0;
  for (const std::string& line : lines) hilbert_1_17 += line.find("Aij=             0.058823529411770") != std::string::npos;
  EXPECT_EQ(hilbert_1_17, 6);
}

TEST_F(LinearBattery, FactorsFollowTaskTwentyOneColumnByColumn) {
  const std::vector<std::string> lines = split_lines(*report_);
  const std::size_t task21 = index_of(lines, "Quorrin task 00, cond(A)=2e12,  n= 5, matrix A: ",
                                      index_of(lines, kCheckOfProgram + " LAE_Solver_02"));
  const std::size_t l_head = index_of(lines, "L", task21);
  const std::size_t u_head = index_of(lines, "U", task21);
  ASSERT_LT(u_head, lines.size());
  EXPECT_EQ(u_head - l_head, 26u);
  EXPECT_EQ(lines[l_head - 6], "vector X:") << "L follows the X lines";
  EXPECT_EQ(lines[l_head + 1].substr(0, 14), "i=1 ,j=1 ,Lij=");
  EXPECT_EQ(lines[l_head + 2].substr(0, 14), "i=2 ,j=1 ,Lij=");  // column by column
  EXPECT_EQ(lines[u_head + 25].substr(0, 14), "i=5 ,j=5 ,Uij=");
  EXPECT_EQ(lines[u_head + 1], "i=1 ,j=1 ,Uij=              1.0000000000000000");
  EXPECT_EQ(count_lines_starting(lines, "L"), 1);
}

TEST_F(LinearBattery, TridiagonalTaskPrintsOnlyTheBandAndKeepsColumnFour) {
  const std::vector<std::string> lines = split_lines(*report_);
  const std::size_t third = index_of(lines, kCheckOfProgram + " LAE_Solver_3diag");
  ASSERT_LT(third + 14, lines.size());
  EXPECT_EQ(lines[third + 2], "i=1 ,j=1 ,0-Aij=              0.0000000000000000");
  EXPECT_EQ(lines[third + 13], "i=4 ,j=3 ,0-Aij=              0.0000000000000000");
  EXPECT_EQ(lines[third + 14], "i=1 Bi=         200000.0000099999888334");
  // The solver reproduces X = (1, 1, 1, 1).
  const std::size_t x_head = index_of(lines, "vector X:", third);
  ASSERT_LT(x_head + 4, lines.size());
  EXPECT_EQ(lines[x_head - 1], "ier= 0");
  EXPECT_EQ(lines[x_head + 4], "i=4 Xi=             1.000000000000000");
  EXPECT_EQ(count_lines_starting(lines, "i=1 ,j=4 ,0-Aij="), 0);
  // Column 4 of the band layout still holds what task 23 (D12, n = 5) left at index 8.
  EXPECT_EQ(battery::linear.A[8], 2.640703e-08);
}

TEST(LinearBatteryReport, UncreatableReportStopsWithOneClearLine) {
  const fs::path dir = fs::temp_directory_path() / ("linear-battery-fail-" + std::to_string(::getpid()));
  fs::create_directories(dir / "lae-solver.txt");  // a directory where the report should go
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  EXPECT_EXIT(battery::run_linear_battery(), testing::ExitedWithCode(1),
              "cannot create report file \"lae-solver.txt\": Is a directory\n");
  fs::current_path(previous);
  fs::remove_all(dir);
}

}  // namespace
