// End to end: the built program, run in a scratch directory, where it must
// stop with one clear line on standard error (a report that cannot be created
// or written, a full standard output), and its command line. What a normal
// run writes is pinned byte for byte by the golden-report test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;
using test_support::split_lines;

ProgramRun run_battery(const test_support::ScratchDir& scratch, const std::string& prepare = "true",
                       const std::string& args = "") {
  return test_support::run_program(scratch, BATTERY_EXE, prepare, args);
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
      {"trap '' XFSZ && ulimit -f 8", ">/dev/null",
       "battery: cannot write report file \"lae-solver.txt\": File too large\n"},
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
