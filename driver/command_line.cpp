// The program's command line (see command_line.h).
#include "driver/command_line.h"

#include <string_view>
#include <utility>

namespace battery {
namespace {

CommandLine usage_error(std::string error) {
  CommandLine line;
  line.action = CommandLine::Action::usage_error;
  line.error = std::move(error);
  return line;
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::help;
      return line;
    }
    if (arg == "--version") {
      line.action = CommandLine::Action::version;
      return line;
    }
    if (arg != "-o") return usage_error("unknown argument '" + std::string(arg) + "'");
    if (k + 1 >= argc || std::string_view(argv[k + 1]).empty()) return usage_error("-o needs a folder");
    if (!line.output_dir.empty()) return usage_error("-o given twice");
    line.output_dir = argv[++k];
  }
  return line;
}

}  // namespace battery
