// The program's command line.
//
//   parse_command_line   what the arguments ask for
//   kUsage               the usage line
//
// With no arguments the program runs the whole battery in the current folder.
#pragma once

#include <string>

namespace battery {

inline constexpr const char* kUsage = "usage: battery [-o DIR] [--help] [--version]\n";

struct CommandLine {
  enum class Action { run, help, version, usage_error };
  Action action = Action::run;
  std::string output_dir;  // -o DIR; empty: the current folder
  std::string error;       // for usage_error: what was wrong, in a few words
};

CommandLine parse_command_line(int argc, const char* const* argv);

}  // namespace battery
