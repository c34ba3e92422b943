// Entry point: runs the linear battery, then the DAE battery, and returns 0.
// With no arguments the reports are written to the current folder; -o DIR
// writes them to DIR (created if missing). --help and --version answer and
// stop; anything else is a usage error (exit status 2).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/command_line.h"
#include "driver/dae_battery.h"
#include "driver/linear_battery.h"
#include "driver/report.h"

namespace {

constexpr const char* kHelp =
    "Runs a fixed battery of numerical test problems and writes what the solvers\n"
    "compute to text reports: lae-solver.txt (24 linear systems), test00.rez ..\n"
    "test09.rez (ten DAE runs) and grtest01.rez .. grtest09.rez (their plot\n"
    "tables, about 11 MB). Most report lines are echoed on the console.\n"
    "\n"
    "  -o DIR      write the reports into DIR (created if missing) instead of\n"
    "              the current folder\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

// Creates dir if needed and makes it the current folder; false after saying why.
bool enter_output_dir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "battery: cannot create folder \"%s\": %s\n", dir.c_str(), error.message().c_str());
    return false;
  }
  if (chdir(dir.c_str()) != 0) {
    std::fprintf(stderr, "battery: cannot enter folder \"%s\": %s\n", dir.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  battery::make_standard_streams_valid();
  const battery::CommandLine line = battery::parse_command_line(argc, argv);
  switch (line.action) {
    case battery::CommandLine::Action::help:
      std::fputs(battery::kUsage, stdout);
      std::fputs(kHelp, stdout);
      battery::finish_console();
      return EXIT_SUCCESS;
    case battery::CommandLine::Action::version:
      std::fputs("battery " BATTERY_VERSION "\n", stdout);
      battery::finish_console();
      return EXIT_SUCCESS;
    case battery::CommandLine::Action::usage_error:
      std::fprintf(stderr, "battery: %s\n%s", line.error.c_str(), battery::kUsage);
      return 2;
    case battery::CommandLine::Action::run:
      break;
  }
  if (!line.output_dir.empty() && !enter_output_dir(line.output_dir)) return EXIT_FAILURE;
  battery::run_linear_battery();
  battery::run_dae_battery();
  battery::finish_console();
  return EXIT_SUCCESS;
}
