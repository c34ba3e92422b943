// The report streams of the DAE test that is running: the driver opens and
// closes them, the output callbacks write them. A null stream swallows lines.
#pragma once

#include <cstdio>

namespace models {

struct TestStreams {
  std::FILE* protocol;  // testNN.rez
  std::FILE* plot;      // grtestNN.rez; null for test00, which has no plot table
};

inline TestStreams streams{nullptr, nullptr};

}  // namespace models
