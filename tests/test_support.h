// Helpers shared by several test files.
//
//   stdout_of      what a piece of code prints on standard output
//   read_file      a whole file as a string
//   split_lines    a text as its lines, without the '\n'
//   ScratchDir     a fresh temporary directory, removed with its contents
//   run_program    a program run in <scratch>/run, with its exit status and output
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace test_support {

template <class F>
std::string stdout_of(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// <tmp>/battery-test-XXXXXX, made unique by mkdtemp.
class ScratchDir {
 public:
  ScratchDir() {
    std::string name = (std::filesystem::temp_directory_path() / "battery-test-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create a scratch directory");
    path_ = name;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct ProgramRun {
  std::filesystem::path dir;  // where the program ran and left its files
  int exit_status;
  std::string out, err;
};

// Runs `program` in <scratch>/run, after the shell command `prepare` there.
// `args` (arguments, and redirections that override the capture of standard
// output) follow the program on its command line.
inline ProgramRun run_program(const ScratchDir& scratch, const std::string& program,
                              const std::string& prepare = "true", const std::string& args = "") {
  const std::filesystem::path dir = scratch.path() / "run";
  const std::filesystem::path out = scratch.path() / "out";
  const std::filesystem::path err = scratch.path() / "err";
  std::filesystem::create_directory(dir);
  const std::string command = "cd '" + dir.string() + "' && " + prepare + " && '" + program + "' > '" + out.string() +
                              "' 2> '" + err.string() + "' " + args;
  const int status = std::system(command.c_str());
  return {dir, WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

}  // namespace test_support
