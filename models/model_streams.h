// The streams of the DAE test that is running: the driver opens and closes
// the report files, the output callbacks write them. A null stream swallows
// lines.
//
//   TestStreams, streams   the current protocol, plot table and console
//   SilentStreams          for its lifetime, every callback line is swallowed
#pragma once

#include <cstdio>

namespace models {

struct TestStreams {
  std::FILE* protocol;  // testNN.rez
  std::FILE* plot;      // grtestNN.rez; null for test00, which has no plot table
  std::FILE* console;   // the console lines of an output callback (test00's errors and statistics)
};

inline TestStreams streams{nullptr, nullptr, stdout};

// For runs that want the solution but no lines: the verdict, the benchmarks,
// the sweeps. Restores the streams it found.
class SilentStreams {
 public:
  SilentStreams() : saved_(streams) { streams = {nullptr, nullptr, nullptr}; }
  ~SilentStreams() { streams = saved_; }
  SilentStreams(const SilentStreams&) = delete;
  SilentStreams& operator=(const SilentStreams&) = delete;

 private:
  TestStreams saved_;
};

}  // namespace models
